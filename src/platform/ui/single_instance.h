// One running copy per user and display session: a second launch asks the first to show its
// window and ends. It goes through the session bus (GApplication's uniqueness); with no
// session bus every launch runs as a lone instance.
//
// Thread: main thread. The reopen handler runs from the main loop.
#pragma once

#include <functional>
#include <string>

namespace tw {

enum class InstanceRole {
    kPrimary,  // this process runs the program; reopen requests arrive at the handler
    kRemote,   // another process runs it and was asked to reopen; this one should end
    kAlone,    // no session bus: runs without uniqueness
};

// `id` is a reverse-DNS application id. Registers this process and, when another already
// runs, sends it a reopen request.
InstanceRole RegisterSingleInstance(const std::string& id, std::function<void()> on_reopen);
// Drops the registration (at quit), so that a launch from now on starts a new copy.
void UnregisterSingleInstance();

}  // namespace tw
