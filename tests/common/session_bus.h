// Shell commands for the tests that drive whole processes: a command's output, and a private
// session bus for the single-instance cases.
#pragma once

#include <signal.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace tw::test {

// Standard output of a shell command; empty when it could not run.
inline std::string CommandOutput(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    return out;
}

// A dbus-daemon of its own for the object's lifetime; address() is empty when it did not start.
class SessionBus {
  public:
    SessionBus() {
        std::istringstream in(
            CommandOutput("dbus-daemon --session --fork --print-address=1 --print-pid=1"));
        in >> address_ >> pid_;
    }
    ~SessionBus() {
        if (pid_ > 0) kill(pid_, SIGTERM);
    }
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;
    const std::string& address() const { return address_; }

  private:
    std::string address_;
    int pid_ = -1;
};

}  // namespace tw::test
