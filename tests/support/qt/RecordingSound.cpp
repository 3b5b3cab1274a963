#include "tests/support/qt/RecordingSound.h"

namespace platform {

RecordingSound::RecordingSound() : previous_(SetSoundPlayer(this)) {}

RecordingSound::~RecordingSound() { SetSoundPlayer(previous_); }

void RecordingSound::Stop() { calls_.push_back("stop"); }

void RecordingSound::PlayFile(const std::string& absolutePath) { calls_.push_back("play " + absolutePath); }

void RecordingSound::PlayAlert() { calls_.push_back("alert"); }

}  // namespace platform
