// A private PulseAudio for the audio end-to-end tests: a null sink "speaker" whose monitor can
// be recorded and a source "mic" fed through a FIFO, in a folder of its own, reached through
// the environment of this process and its children. Stopped by its own pid.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tw::test {

class PrivatePulseServer {
  public:
    PrivatePulseServer() = default;
    ~PrivatePulseServer();
    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    // Starts the daemon and makes "mic" the default source; false (with `error`) when it cannot.
    bool Start(std::string* error);
    void Stop();

    const std::string& Folder() const { return folder_; }
    std::string FifoPath() const { return folder_ + "/mic.fifo"; }

  private:
    std::string folder_;
    pid_t pid_ = -1;
};

// Runs a program to its end (output discarded); its exit status, -1 when it did not exit.
int RunQuietly(const std::vector<std::string>& argv);

// A program running in the background, its standard output on a pipe.
class BackgroundProgram {
  public:
    explicit BackgroundProgram(const std::vector<std::string>& argv, bool pipeOutput = false);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    bool Running() const { return pid_ > 0; }
    int OutputFd() const { return outFd_; }
    // Sends the signal and returns at once.
    void Signal(int signal) const;
    // Sends the signal and waits for the end; the exit status, -1 when it did not exit normally.
    int Stop(int signal);
    // Waits for the end.
    int Wait();

  private:
    pid_t pid_ = -1;
    int outFd_ = -1;
};

}  // namespace tw::test
