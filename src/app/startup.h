// The process-wide steps of start-up that come before any window: the argument copy, the
// system-version check and the new-version bookkeeping.
//
// Thread: main thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/process.h"

namespace tw {

// The arguments, program path first; the first argument after it is dropped when it begins
// with "-psn" (a process serial number a launcher may pass). All others stay, in order.
std::vector<std::string> CopyArguments(int argc, const char* const* argv);

// The oldest system the program runs on is 10.4; versions compare as numbers (10.10 is
// newer than 10.4).
bool SystemVersionSupported(const process::SystemVersion& version);
// "Tunewright requires OS X version 10.4 or later."
std::string SystemVersionMessage();

// Whether the new-version set-up must run: no "InstallDate" stored, another "CurrentVersion",
// or the program's file changed after the stored install date.
bool NeedsNewVersionSetup(std::int64_t program_change_time);
// Copies `install_folder` (when it exists) into the shared data folder, removes "Thanks",
// stores "InstallDate" = `now` and the version texts ("PreviousVersion" when another version
// was installed before).
void RunNewVersionSetup(std::int64_t now, const std::string& install_folder);

}  // namespace tw
