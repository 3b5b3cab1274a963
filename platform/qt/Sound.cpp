#include "platform/qt/Sound.h"

#include <atomic>
#include <filesystem>
#include <system_error>

#include "platform/qt/DesktopSound.h"

namespace platform {

namespace {

std::atomic<SoundPlayer*> g_player{nullptr};

SoundPlayer& Player() {
    SoundPlayer* player = g_player.load();
    if (player != nullptr) return *player;
    static DesktopSound desktop;
    return desktop;
}

}  // namespace

void StopSound() { Player().Stop(); }

void PlaySoundFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::path file(path);
    if (path.empty() || !std::filesystem::is_regular_file(file, error)) {
        Player().PlayAlert();
        return;
    }
    // The sound plays later, on another thread: fix the path now.
    std::filesystem::path absolute = std::filesystem::absolute(file, error);
    Player().PlayFile(error ? path : absolute.lexically_normal().string());
}

SoundPlayer* SetSoundPlayer(SoundPlayer* player) { return g_player.exchange(player); }

}  // namespace platform
