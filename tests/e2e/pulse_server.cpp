#include "e2e/pulse_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tw::test {

namespace {

// How long the daemon gets to go after SIGTERM before it is killed.
constexpr auto kStopGrace = std::chrono::seconds(5);

pid_t Spawn(const std::vector<std::string>& argv, int stdoutFd) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(stdoutFd >= 0 ? stdoutFd : null, 1);
        dup2(null, 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

int Reap(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int RunQuietly(const std::vector<std::string>& argv) {
    const pid_t pid = Spawn(argv, -1);
    return pid > 0 ? Reap(pid) : -1;
}

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& argv, bool pipeOutput) {
    int fds[2] = {-1, -1};
    if (pipeOutput && pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = Spawn(argv, fds[1]);
    if (fds[1] >= 0) close(fds[1]);
    outFd_ = fds[0];
}

BackgroundProgram::~BackgroundProgram() {
    if (pid_ > 0) Stop(SIGKILL);
    if (outFd_ >= 0) close(outFd_);
}

void BackgroundProgram::Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
}

int BackgroundProgram::Stop(int signal) {
    if (pid_ <= 0) return -1;
    kill(pid_, signal);
    return Wait();
}

int BackgroundProgram::Wait() {
    if (pid_ <= 0) return -1;
    const int status = Reap(pid_);
    pid_ = -1;
    return status;
}

PrivatePulseServer::~PrivatePulseServer() {
    Stop();
}

bool PrivatePulseServer::Start(std::string* error) {
    char pattern[] = "/tmp/tw-pulse-XXXXXX";
    if (!mkdtemp(pattern)) {
        *error = "cannot make a folder for the sound server";
        return false;
    }
    folder_ = pattern;
    for (const char* sub : {"run", "state", "home"}) mkdir((folder_ + "/" + sub).c_str(), 0700);
    // Everything of the daemon and its clients stays in the folder; the clients (this process,
    // the program under test, pactl, parecord) find the daemon through the same variables.
    setenv("PULSE_RUNTIME_PATH", (folder_ + "/run").c_str(), 1);
    setenv("PULSE_STATE_PATH", (folder_ + "/state").c_str(), 1);
    setenv("HOME", (folder_ + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder_ + "/home/.config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (folder_ + "/run").c_str(), 1);
    unsetenv("PULSE_SERVER");
    setenv("TUNEWRIGHT_AUDIO", "portaudio", 1);

    const int started = RunQuietly(
        {"pulseaudio", "-n", "--daemonize=yes", "--exit-idle-time=-1", "--use-pid-file=yes",
         "--log-target=stderr", "-L", "module-null-sink sink_name=speaker", "-L",
         "module-pipe-source source_name=mic file=" + FifoPath() +
             " format=s16le rate=48000 channels=1",
         "-L", "module-native-protocol-unix", "-L", "module-always-sink"});
    if (started != 0) {
        *error = "pulseaudio did not start (exit status " + std::to_string(started) +
                 "); are the packages pulseaudio and pulseaudio-utils installed?";
        return false;
    }
    std::ifstream pidFile(folder_ + "/run/pid");
    pidFile >> pid_;
    if (pid_ <= 0) {
        *error = "pulseaudio left no pid file";
        return false;
    }
    if (RunQuietly({"pactl", "set-default-source", "mic"}) != 0) {
        *error = "pactl could not make the FIFO source the default";
        return false;
    }
    return true;
}

void PrivatePulseServer::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
        while (kill(pid_, 0) == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (kill(pid_, 0) == 0) kill(pid_, SIGKILL);
        pid_ = -1;
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        folder_.clear();
    }
}

}  // namespace tw::test
