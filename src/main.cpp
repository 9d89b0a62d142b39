// Entry point: the desktop application (no arguments, --demo), or a command-line mode.
#include <string>
#include <vector>

#include "app/application.h"
#include "app/command_line.h"
#include "app/crash_box.h"
#include "app/crash_report.h"
#include "app/startup.h"
#include "platform/audio/audio_hal.h"
#include "tuner/main_window.h"

int main(int argc, char** argv) {
    tw::InstallCrashHandlers();
    const std::vector<std::string> args = tw::CopyArguments(argc, argv);
    const std::string first = args.size() > 1 ? args[1] : "";
    if (first == tw::kCrashReportOption) {
        return tw::RunCrashReport(args.size() > 2 ? args[2] : "", args.size() > 3 ? args[3] : "");
    }
    if (first.empty() || first == "--demo" || first == "-installer") {
        // The virtual backend's demo input: the tuner at work without a microphone.
        if (first == "--demo") tw::hal::SelectBackend("virtual");
        tw::MainWindow window;
        return tw::RunApplication(args, [&window] {
            tw::MainWindowHooks hooks;
            hooks.window = &window;
            hooks.showPreferences = [&window] { return window.ShowPreferences(); };
            return hooks;
        });
    }
    return tw::RunCommandLine(argc, argv);
}
