// The demonstration of the standard dialogs and the toolbar (ui-demo --dialogs).
#pragma once

namespace tw::demo {

// argv[0] is "--dialogs"; returns the exit status.
int RunDialogsDemo(int argc, char** argv);

}  // namespace tw::demo
