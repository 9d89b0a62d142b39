// The desktop's sound settings, where the player sets input volumes and channels: the first
// of pavucontrol and "gnome-control-center sound" that is installed.
//
// Thread: main thread.
#pragma once

#include <string>
#include <vector>

namespace tw {

// The command that would open the sound settings (program path first), found on PATH;
// empty when none is installed.
std::vector<std::string> SoundSettingsCommand();

// Starts it without waiting for it (it outlives nothing of ours). False when none is
// installed or it could not be started.
bool OpenSoundSettings();

}  // namespace tw
