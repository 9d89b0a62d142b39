// What a virtual device is: its name, rate, channels, data sources and the signal its input
// plays, as described in code or read from an option string (virtual_options.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tw::hal {

struct VirtualSignal {
    enum class Kind {
        kSilence,   // zeros, delivered on time
        kNothing,   // the device runs but never delivers a buffer
        kTone,      // a sine; channel c plays (c + 1) x hz so that channels differ
        kHarmonic,  // a tone with four harmonics; channel c as above
        kFile,      // an audio file, looped; channel c takes file channel c mod its count
        kGenerator  // frames from `generator` (code only)
    };
    Kind kind = Kind::kSilence;
    double hz = 440.0;
    double level = 0.25;  // peak, as a fraction of full scale
    std::string path;
    // (destination, frames, channels, first frame index): full-scale 32-bit samples.
    std::function<void(int32_t*, int32_t, int, int64_t)> generator;
};

struct VirtualDeviceSpec {
    std::string name;
    int32_t rate = 44100;
    std::vector<int> inputBuffers;  // channels per input buffer; empty: no input
    int outputChannels = 0;
    std::vector<std::string> dataSources;  // one per input buffer; empty: no data sources
    VirtualSignal signal;
    int32_t silentAfterMs = -1;  // stops delivering after this much audio time
    int32_t vanishAfterMs = -1;  // leaves the device list and stops after this much audio time
    bool busy = false;           // refuses to open, as a device held by another program
    bool defaultInput = false;
    bool defaultOutput = false;
    int32_t bufferMinimum = 32;
    int32_t bufferMaximum = 8192;
    int32_t outputSliceFrames = 512;
};

}  // namespace tw::hal
