// The input and output units of virtual devices: each runs on its own paced thread, the
// input handing generated buffers to its callback, the output keeping what it renders.
#pragma once

#include <memory>

#include "platform/audio/audio_hal.h"

namespace tw::hal {

class VirtualBackend;

std::unique_ptr<InputUnit> MakeVirtualInputUnit(VirtualBackend& backend);
std::unique_ptr<OutputUnit> MakeVirtualOutputUnit(VirtualBackend& backend);

}  // namespace tw::hal
