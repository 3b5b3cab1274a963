// The desktop's sound system (libcanberra where the build found it). Requests go to a
// worker thread, so neither connecting to a sound server nor decoding a file ever holds
// up the caller; every failure is silent. Without libcanberra nothing plays.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "platform/qt/Sound.h"

namespace platform {

class DesktopSound : public SoundPlayer {
public:
    // The theme sound played when the file is missing or cannot be played.
    static constexpr char kAlertEventId[] = "bell";

    DesktopSound();
    ~DesktopSound() override;
    DesktopSound(const DesktopSound&) = delete;
    DesktopSound& operator=(const DesktopSound&) = delete;

    void Stop() override;
    void PlayFile(const std::string& absolutePath) override;
    void PlayAlert() override;

    // Waits until every request made so far has been handed to the sound system.
    void Flush();

private:
    struct Request {
        enum Kind { Stop, File, Alert } kind;
        std::string path;
    };

    void Post(Request request);
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Request> queue_;
    bool busy_ = false;
    bool quit_ = false;
    std::thread worker_;  // started by the first request
};

}  // namespace platform
