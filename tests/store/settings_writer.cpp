// A second process for the settings tests: writes settings the way the program does,
// so that tests can run writers side by side or kill one in the middle of a write.
//
//   settings_writer keys PREFIX COUNT   sets Load/<PREFIX><i> = i for i < COUNT
//   settings_writer loop-pref           sets Kill/Value to KillValue(1), (2), ... forever
//   settings_writer loop-shared         the same in the shared settings file
// After its first write it prints "ready" on stdout.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "store/kill_value.h"
#include "store/settings.h"

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "keys") == 0) {
        const int count = atoi(argv[3]);
        for (int i = 0; i < count; ++i) {
            tw::SetSettingInt("Load", (std::string(argv[2]) + std::to_string(i)).c_str(), i);
        }
        return 0;
    }
    const bool pref = argc == 2 && strcmp(argv[1], "loop-pref") == 0;
    const bool shared = argc == 2 && strcmp(argv[1], "loop-shared") == 0;
    if (!pref && !shared) return 2;
    for (int n = 1;; ++n) {
        const std::string v = tw::test::KillValue(n);
        if (pref) {
            tw::SetSetting("Kill", "Value", v.c_str());
        } else {
            tw::SetSharedSetting("Kill", "Value", v.c_str());
        }
        if (n == 1) {
            printf("ready\n");
            fflush(stdout);
        }
    }
}
