// ui-demo: opens the toolkit demonstration window.
//   ui-demo                     runs until the window is closed
//   ui-demo --dialogs [...]     the standard dialogs and the toolbar (dialogs_demo.cpp)
//   ui-demo --screenshot FILE   presses Play (so that the information bar shows), saves
//                               the window as a PNG after a second and quits.
// The theme follows GTK_THEME (GTK_THEME=Adwaita:dark for the dark one), the scale GDK_SCALE.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "base/timer_set.h"
#include "demo_window.h"
#include "dialogs_demo.h"
#include "platform/ui/native.h"
#include "platform/ui/screen_capture.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--dialogs") == 0) {
        return tw::demo::RunDialogsDemo(argc - 1, argv + 1);
    }
    std::string screenshot;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshot = argv[++i];
        } else {
            std::fprintf(stderr, "usage: ui-demo [--screenshot FILE]\n");
            return 2;
        }
    }
    if (!tw::InitNativeUi()) {
        std::fprintf(stderr, "ui-demo: cannot open the display\n");
        return 2;
    }
    tw::LMainThreadPoster::InstallMainThreadHandler();
    tw::LTimerSet::EnableTimers(true);
    tw::demo::DemoWindow window;
    if (!window.Open()) {
        std::fprintf(stderr, "ui-demo: cannot create the window\n");
        return 2;
    }
    window.Show(true);
    int status = 0;
    std::unique_ptr<tw::EventLoopTimer> shot;
    if (!screenshot.empty()) {
        window.SendCommand(tw::demo::kPlayButton);
        shot = tw::EventLoopTimer::Install(1000, [&](tw::EventLoopTimer*) {
            if (!SaveWindowPng(*window.window, screenshot)) {
                std::fprintf(stderr, "ui-demo: cannot write %s\n", screenshot.c_str());
                status = 2;
            }
            tw::QuitApplicationEventLoop();
        });
    }
    tw::RunApplicationEventLoop();
    window.Close();
    tw::LMainThreadPoster::RemoveMainThreadHandler();
    return status;
}
