#include "tests/support/qt/RecordingNotifier.h"

namespace platform {

RecordingNotifier::RecordingNotifier() : previous_(SetNotifier(this)) {}

RecordingNotifier::~RecordingNotifier() { SetNotifier(previous_); }

void RecordingNotifier::Notify(const std::string& tag, const std::string& summary, const std::string& body) {
    notices_.push_back({tag, summary, body});
}

}  // namespace platform
