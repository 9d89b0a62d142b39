// Crash detection: a registry of thread names and a run-phase marker that say where the
// program was, the crash identifier built from them, and the handlers of fatal signals,
// which show the "Abnormal Signal Crash" box from a fresh process and end the program.
//
// Thread: any. The fatal-signal handler does only what is safe in a signal handler: it reads
// the registry and the marker without locks and formats into static storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tw {

// Values of the run-phase marker; any other value is the id of the command being handled.
enum RunPhase : std::int32_t {
    kPhaseIdle = 0,
    kPhaseGlobalInit = 1,
    kPhaseGuiInit = 2,
    kPhaseGuiDestroy = 3,
    kPhaseGlobalDestroy = 4,
};

inline constexpr int kMaxRegisteredThreads = 64;
// A crash identifier is at most this long.
inline constexpr std::size_t kMaxCrashIdLength = 259;
// Exit status after a fatal fault (SIGFPE, SIGBUS, SIGSEGV, SIGILL).
inline constexpr int kCrashExitStatus = 666;

// Adds the calling thread under `name` (at most 4 characters; nullptr: its kernel id modulo
// 10000, "%.4d"). Does nothing when all entries are in use.
void RegisterThread(const char* name);
// Sets the calling thread's location text (at most 31 characters), shown after its name.
void SetThreadLocation(const char* location);

// Sets the marker; a command id (anything but the phases) is also kept as the last command.
void SetRunPhase(std::int32_t phase_or_command);
std::int32_t GetRunPhase();
std::int32_t GetLastCommand();

// "code-MacIntel1006-module-" then the thread's name, location and (main thread) the phase.
std::string MakeCrashId(const char* code, const char* module);
// The same into `out` (always NUL-terminated); signal-safe. The length written.
std::size_t FormatCrashId(char* out, std::size_t size, const char* code, const char* module);

// Once, early in main: clears the registry, sets the marker to global initialisation,
// remembers the calling thread as the main thread, ignores SIGPIPE and installs the
// fatal-signal handlers (SIGQUIT, SIGILL, SIGFPE, SIGBUS, SIGSEGV).
void InstallCrashHandlers();

// The command the fatal-signal handler runs and waits for; it gets two more arguments, the
// signal number and the crash identifier. By default the program itself with
// "--crash-report" (kCrashReportOption). Tests point it elsewhere. Not signal-safe: call
// before a crash.
inline constexpr const char* kCrashReportOption = "--crash-report";
void SetCrashReporter(const char* program, const char* option);

}  // namespace tw
