#include "app/crash_box.h"

#include <cstdio>
#include <cstdlib>

#include "app/maker_web.h"
#include "platform/core/open_uri.h"
#include "platform/ui/native.h"
#include "ui/message_box.h"

namespace tw {

std::string CrashBoxText(int signal) {
    return "Tunewright Musical Instrument Tuner has crashed with an abnormal exception.\r\n\r\n"
           "Would you be willing to complete a Orvane Software Bug Report so our programmers "
           "can try to fix this? If so, please click Report and then enter the field to tell "
           "us exactly what you were doing and that you received a \"SIGNAL" +
           std::to_string(signal) + "\" exception code.";
}

int RunCrashReport(const std::string& signal, const std::string& id) {
    char* end = nullptr;
    const long number = std::strtol(signal.c_str(), &end, 10);
    if (signal.empty() || *end != '\0' || number <= 0 || number > 64) {
        std::fprintf(stderr, "tunewright: --crash-report needs a signal number and an id\n");
        return 2;
    }
    if (!InitNativeUi()) {
        // Without a display the terminal is told instead.
        std::fprintf(stderr, "tunewright: crashed with signal %ld (%s)\n", number, id.c_str());
        return 0;
    }
    if (AskQuestion(nullptr, CrashBoxText(int(number)), "Abnormal Signal Crash", "Report",
                    "Don't Report")) {
        OpenUri(BugReportUrl("GUI-" + id));
    }
    return 0;
}

}  // namespace tw
