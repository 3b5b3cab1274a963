// Alert sounds. StopSound ends what plays; PlaySoundFile plays a wave file asynchronously,
// or the desktop's default alert when the file does not exist. Neither call ever blocks
// the caller or fails loudly: a desk without a sound server simply stays silent.
//
// The sounds go to the installed player: the desktop's sound system unless a test
// installs a recorder (RecordingSound installs itself while it lives).
#pragma once

#include <string>

namespace platform {

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void Stop() = 0;
    // Both return at once; the sound plays in the background.
    virtual void PlayFile(const std::string& absolutePath) = 0;
    virtual void PlayAlert() = 0;
};

void StopSound();

// A relative path is taken from the current directory at the time of the call.
void PlaySoundFile(const std::string& path);

// Installs a player (not owned); null restores the desktop player. Returns the previous
// one (null for the desktop player).
SoundPlayer* SetSoundPlayer(SoundPlayer* player);

}  // namespace platform
