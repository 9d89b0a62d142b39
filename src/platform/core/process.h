// What the program asks of its own process: the open-files limit, the locale, signal
// handlers, its own path, the kernel id of a thread, the system version, and starting a
// helper process from inside a signal handler.
//
// Thread: any, unless a function says otherwise. Functions marked "signal-safe" may be called
// from a signal handler.
#pragma once

#include <cstdint>

namespace tw::process {

// Raises the soft limit of open files to `wanted`, or to the hard limit when that is lower.
// Never lowers it. False when the limit cannot be read or set.
bool RaiseOpenFileLimit(std::uint64_t wanted);

// The process locale, all categories, from the user's environment (LANG, LC_*).
void SetLocaleFromEnvironment();

using SignalHandler = void (*)(int);
// Installs `handler` for `signal`, with all signals blocked while it runs and interrupted
// calls restarted. False when the system refuses.
bool InstallSignalHandler(int signal, SignalHandler handler);
// Ignores `signal` (SIGPIPE: a closed socket is a return value, not a death).
void IgnoreSignal(int signal);

// The kernel id of the calling thread. Signal-safe.
std::int32_t CurrentThreadId();

// The absolute path of the running program, read once on the first call; call it before a
// signal handler may need it. Then signal-safe. Empty when it cannot be read.
const char* ProgramPath();

// The status-change time of the program's file (seconds since the epoch): it moves when the
// program is installed or replaced. -1 when it cannot be read.
std::int64_t ProgramChangeTime();

// Starts `argv[0]` (an absolute path) with `argv` (null-terminated) and the process's
// environment, and waits for it. Its exit status, or -1 when it could not be started or
// died of a signal. Signal-safe (fork, execve, waitpid).
int SpawnAndWait(const char* const argv[]);

// Ends the process at once, without running exit handlers or destructors. Signal-safe.
[[noreturn]] void ExitNow(int status);

// The system version that start-up checks and crash reports name. This platform reports
// 10.6 (every feature the program asks for is there); TUNEWRIGHT_SYSTEM_VERSION="MAJOR.MINOR"
// overrides it for tests.
struct SystemVersion {
    int major = 10;
    int minor = 6;
};
SystemVersion GetSystemVersion();

}  // namespace tw::process
