#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/qt/DesktopSound.h"
#include "platform/qt/Sound.h"
#include "tests/support/Fixture.h"
#include "tests/support/qt/RecordingSound.h"

namespace {

// A short, silent 8 kHz mono wave file.
void WriteSilentWave(const std::string& path) {
    const uint32_t samples = 800;
    auto u32 = [](std::ofstream& out, uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::ofstream& out, uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    u32(out, 36 + samples * 2);
    out.write("WAVEfmt ", 8);
    u32(out, 16);
    u16(out, 1);  // PCM
    u16(out, 1);  // mono
    u32(out, 8000);
    u32(out, 16000);
    u16(out, 2);
    u16(out, 16);
    out.write("data", 4);
    u32(out, samples * 2);
    const std::vector<char> silence(samples * 2, 0);
    out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
}

class CurrentDir {
public:
    explicit CurrentDir(const std::string& dir) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CurrentDir() { std::filesystem::current_path(previous_); }
    CurrentDir(const CurrentDir&) = delete;
    CurrentDir& operator=(const CurrentDir&) = delete;

private:
    std::filesystem::path previous_;
};

}  // namespace

TEST(SoundTest, MissingFileAsksForTheDefaultAlertAndAnExistingOneIsPlayedByAbsolutePath) {
    TempDir dir;
    WriteSilentWave(dir.File("notify.wav"));
    platform::RecordingSound sound;
    {
        CurrentDir cd(dir.Path());
        platform::StopSound();
        platform::PlaySoundFile("./notify.wav");
        platform::PlaySoundFile("./missing.wav");
        platform::PlaySoundFile("");
    }
    const std::string expectedPath = (std::filesystem::canonical(dir.Path()) / "notify.wav").string();
    const std::vector<std::string> expected{"stop", "play " + expectedPath, "alert", "alert"};
    EXPECT_EQ(sound.Calls(), expected);
}

TEST(SoundTest, RecorderRestoresThePlayerItReplaced) {
    platform::RecordingSound outer;
    {
        platform::RecordingSound inner;
        platform::StopSound();
        EXPECT_EQ(inner.Calls().size(), 1u);
    }
    platform::StopSound();
    EXPECT_EQ(outer.Calls(), std::vector<std::string>{"stop"});
}

// CI has no sound server: every request must come back at once and fail silently.
TEST(SoundTest, DesktopPlayerNeverBlocksNorCrashesWithoutASoundServer) {
    TempDir dir;
    WriteSilentWave(dir.File("notify.wav"));
    using Clock = std::chrono::steady_clock;
    // First every request on its own (each reaches the sound system), then a burst that
    // is still queued when the player goes.
    {
        platform::DesktopSound desktop;
        const auto start = Clock::now();
        desktop.Stop();
        desktop.Flush();
        desktop.PlayFile(dir.File("notify.wav"));
        desktop.Flush();
        desktop.PlayFile(dir.File("missing.wav"));
        desktop.Flush();
        desktop.PlayAlert();
        desktop.Flush();
        desktop.Stop();
        desktop.Flush();
        // Generous: without a server each request fails at once.
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    }
    {
        platform::DesktopSound desktop;
        const auto start = Clock::now();
        for (int i = 0; i < 20; ++i) {
            desktop.PlayFile(dir.File("notify.wav"));
            desktop.PlayAlert();
            desktop.Stop();
        }
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(200));
    }
}
