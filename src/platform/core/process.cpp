#include "platform/core/process.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace tw::process {

bool RaiseOpenFileLimit(std::uint64_t wanted) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
    rlim_t target = static_cast<rlim_t>(wanted);
    if (limit.rlim_max != RLIM_INFINITY && target > limit.rlim_max) target = limit.rlim_max;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur >= target) return true;
    if (limit.rlim_cur == RLIM_INFINITY) return true;
    limit.rlim_cur = target;
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

void SetLocaleFromEnvironment() {
    std::setlocale(LC_ALL, "");
}

bool InstallSignalHandler(int signal, SignalHandler handler) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigfillset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(signal, &action, nullptr) == 0;
}

void IgnoreSignal(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

std::int32_t CurrentThreadId() {
    return static_cast<std::int32_t>(syscall(SYS_gettid));
}

const char* ProgramPath() {
    static char path[4096] = {};
    static const bool read = [] {
        const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        path[n > 0 ? n : 0] = '\0';
        return n > 0;
    }();
    (void)read;
    return path;
}

std::int64_t ProgramChangeTime() {
    struct stat st {};
    if (ProgramPath()[0] == '\0' || stat(ProgramPath(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_ctime);
}

int SpawnAndWait(const char* const argv[]) {
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        execve(argv[0], const_cast<char* const*>(argv), environ);
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ExitNow(int status) {
    _exit(status);
}

SystemVersion GetSystemVersion() {
    SystemVersion version;
    if (const char* text = std::getenv("TUNEWRIGHT_SYSTEM_VERSION")) {
        int major = 0;
        int minor = 0;
        if (std::sscanf(text, "%d.%d", &major, &minor) == 2 && major >= 0 && minor >= 0) {
            version.major = major;
            version.minor = minor;
        }
    }
    return version;
}

}  // namespace tw::process
