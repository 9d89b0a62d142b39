// The state of one virtual device that the backend and its units share.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/audio/virtual/virtual_backend.h"

namespace tw::hal {

struct VirtualBackend::Device {
    DeviceId id = kNoDevice;
    VirtualDeviceSpec spec;
    std::atomic<bool> vanished{false};
    std::atomic<bool> silenced{false};
    std::mutex outputMutex;
    std::vector<int32_t> output;  // under outputMutex
    int outputChannels = 0;       // under outputMutex

    int InputChannels() const {
        int total = 0;
        for (int c : spec.inputBuffers) total += c;
        return total;
    }
};

}  // namespace tw::hal
