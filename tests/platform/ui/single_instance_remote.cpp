// A second launch, as the program makes it: registers under the id given, asks the running
// copy to show itself and ends at once. It shares one processor with a busy thread, as a
// launch does on a loaded machine, so that nothing is sent for it after it returns.
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <thread>

#include "platform/ui/single_instance.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    sched_setaffinity(0, sizeof one, &one);
    static std::atomic<bool> spin{true};
    std::thread([] {
        while (spin.load(std::memory_order_relaxed)) {
        }
    }).detach();
    const tw::InstanceRole role = tw::RegisterSingleInstance(argv[1], nullptr);
    return role == tw::InstanceRole::kRemote ? 0 : 1;
}
