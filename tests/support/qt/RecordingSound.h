// A sound player for tests: installs itself while it lives and records every request.
#pragma once

#include <string>
#include <vector>

#include "platform/qt/Sound.h"

namespace platform {

class RecordingSound : public SoundPlayer {
public:
    RecordingSound();
    ~RecordingSound() override;
    RecordingSound(const RecordingSound&) = delete;
    RecordingSound& operator=(const RecordingSound&) = delete;

    void Stop() override;
    void PlayFile(const std::string& absolutePath) override;
    void PlayAlert() override;

    // "stop", "play PATH" or "alert", in call order.
    const std::vector<std::string>& Calls() const { return calls_; }
    void Clear() { calls_.clear(); }

private:
    std::vector<std::string> calls_;
    SoundPlayer* previous_;
};

}  // namespace platform
