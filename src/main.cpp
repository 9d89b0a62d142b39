// Entry point: the command-line jobs; the window comes later.
#include "app/command_line.h"

int main(int argc, char** argv) {
    return tw::RunCommandLine(argc, argv);
}
