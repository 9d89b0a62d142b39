// The signal a virtual input device plays: silence, a sine, a harmonic tone, an audio file
// (looped) or frames from code, as full-scale 32-bit samples.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio/sound_file.h"
#include "platform/audio/virtual/virtual_device_description.h"

namespace tw::hal {

// Thread: the device thread that owns it.
class SignalGenerator {
  public:
    SignalGenerator(const VirtualSignal& signal, int32_t rate);
    // False when the signal is a file that cannot be read.
    bool Ready() const;
    // Fills `frames` frames of `channels` interleaved channels, starting at frame `first`.
    void Fill(int32_t* destination, int32_t frames, int channels, int64_t first);

  private:
    void FillFromFile(int32_t* destination, int32_t frames, int channels);

    VirtualSignal signal_;
    int32_t rate_;
    std::unique_ptr<SoundFileReader> file_;
    std::vector<int32_t> scratch_;
    int64_t rewinds_ = 0;
};

}  // namespace tw::hal
