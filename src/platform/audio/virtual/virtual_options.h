// Virtual devices described by an option string.
//
// Option string (TUNEWRIGHT_VIRTUAL_DEVICES), devices separated by ';', fields by ',':
//   name=Mic,rate=44100,in=1,signal=tone:440            a mono microphone playing A4
//   name=Interface,in=2,sources=Line|Mic,signal=file:/path/a.flac
//   name=Speakers,out=2,default_out                      an output-only device
// Fields: name, rate, in (channels per input buffer, '+' separated: "2+2"), out, sources ('|'
// separated, one per input buffer), signal (silence | nothing | tone:HZ[:LEVEL] |
// harmonic:HZ[:LEVEL] | file:PATH), silent_after=MS, vanish_after=MS, busy, default_in,
// default_out, no_default_in. LEVEL is a fraction of full scale.
// TUNEWRIGHT_VIRTUAL_SPEED: 1 = real time (default), N = N times faster, 0 = as fast as it goes.
#pragma once

#include <string>
#include <vector>

#include "platform/audio/virtual/virtual_device_description.h"

namespace tw::hal {

struct VirtualDeviceOptions {
    std::vector<VirtualDeviceSpec> devices;  // devices without a name are left out
    bool noDefaultInput = false;
};

// Reads an option string; false (with `error`, when given) at the first field it cannot read.
bool ParseVirtualDevices(const std::string& option, VirtualDeviceOptions* out, std::string* error);

}  // namespace tw::hal
