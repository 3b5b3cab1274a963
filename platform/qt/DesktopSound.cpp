#include "platform/qt/DesktopSound.h"

#include <utility>

#ifdef ORVANTA_HAVE_CANBERRA
#include <canberra.h>
#endif

namespace platform {

namespace {

#ifdef ORVANTA_HAVE_CANBERRA
// Every sound of ours has this id, so one cancel stops whatever of ours plays.
constexpr uint32_t kSoundId = 1;

// Owned by the worker thread only.
class CanberraContext {
public:
    CanberraContext() = default;
    ~CanberraContext() {
        if (context_ != nullptr) ca_context_destroy(context_);
    }
    CanberraContext(const CanberraContext&) = delete;
    CanberraContext& operator=(const CanberraContext&) = delete;

    void Stop() {
        if (context_ != nullptr) ca_context_cancel(context_, kSoundId);
    }

    void PlayFile(const std::string& path) {
        if (!Ready()) return;
        ca_context_cancel(context_, kSoundId);
        const int result = ca_context_play(context_, kSoundId, CA_PROP_MEDIA_FILENAME, path.c_str(),
                                           CA_PROP_CANBERRA_CACHE_CONTROL, "never", nullptr);
        // A file that is there but cannot be played still alerts, as a missing one does.
        // (Other errors mean the sound system itself is unusable; an alert would fail too.)
        if (result == CA_ERROR_CORRUPT || result == CA_ERROR_NOTSUPPORTED || result == CA_ERROR_ACCESS ||
            result == CA_ERROR_TOOBIG || result == CA_ERROR_IO)
            PlayAlert();
    }

    void PlayAlert() {
        if (!Ready()) return;
        ca_context_cancel(context_, kSoundId);
        ca_context_play(context_, kSoundId, CA_PROP_EVENT_ID, DesktopSound::kAlertEventId, nullptr);
    }

private:
    // Opened on first use and again after a failure, so a sound server that starts after
    // the program is still found.
    bool Ready() {
        if (context_ != nullptr) return true;
        ca_context* context = nullptr;
        if (ca_context_create(&context) != CA_SUCCESS) return false;
        ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Orvanta", nullptr);
        if (ca_context_open(context) != CA_SUCCESS) {
            ca_context_destroy(context);
            return false;
        }
        context_ = context;
        return true;
    }

    ca_context* context_ = nullptr;
};
#endif

}  // namespace

DesktopSound::DesktopSound() = default;

DesktopSound::~DesktopSound() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void DesktopSound::Stop() { Post({Request::Stop, {}}); }

void DesktopSound::PlayFile(const std::string& absolutePath) { Post({Request::File, absolutePath}); }

void DesktopSound::PlayAlert() { Post({Request::Alert, {}}); }

void DesktopSound::Post(Request request) {
#ifdef ORVANTA_HAVE_CANBERRA
    {
        std::lock_guard lock(mutex_);
        if (quit_) return;
        // Only the newest request matters: a sound still waiting to start is replaced.
        queue_.clear();
        queue_.push_back(std::move(request));
        if (!worker_.joinable()) worker_ = std::thread(&DesktopSound::Run, this);
    }
    wake_.notify_one();
#else
    (void)request;
#endif
}

void DesktopSound::Flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return quit_ || (queue_.empty() && !busy_); });
}

void DesktopSound::Run() {
#ifdef ORVANTA_HAVE_CANBERRA
    CanberraContext canberra;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (quit_) break;
        Request request = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        switch (request.kind) {
            case Request::Stop: canberra.Stop(); break;
            case Request::File: canberra.PlayFile(request.path); break;
            case Request::Alert: canberra.PlayAlert(); break;
        }
        lock.lock();
        busy_ = false;
        if (queue_.empty()) idle_.notify_all();
    }
    busy_ = false;
    idle_.notify_all();
#endif
}

}  // namespace platform
