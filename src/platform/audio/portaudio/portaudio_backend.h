// The PortAudio backend: real devices through ALSA (and PulseAudio or PipeWire behind it) or
// JACK. Samples are 32-bit integers at the device's own default rate, so that our sample-rate
// converter, not the host's, brings input to the analysis rate.
#pragma once

#include "platform/audio/audio_hal.h"

namespace tw::hal {

// The process's PortAudio backend; nullptr when PortAudio cannot start.
AudioBackend* PortAudio();

}  // namespace tw::hal
