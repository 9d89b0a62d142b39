// The box that tells the user about a crash. The crashed process cannot safely show a
// window, so its signal handler starts the program again as
//   tunewright --crash-report SIGNAL ID
// which shows "Abnormal Signal Crash" and, on "Report", opens the bug-report page.
//
// Thread: main thread.
#pragma once

#include <string>

namespace tw {

// The text of the box for a signal.
std::string CrashBoxText(int signal);

// The --crash-report mode; 0 whatever the answer, 2 for bad arguments.
int RunCrashReport(const std::string& signal, const std::string& id);

}  // namespace tw
