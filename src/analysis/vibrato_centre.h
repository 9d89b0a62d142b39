// The centre of a vibrato from one frame's spectrum: the mean instantaneous frequency of the
// band around a partial's sideband cluster.
#pragma once

#include <cstdint>

namespace tw {

// Capture thread. `re` and `im` hold the frame's Hamming-windowed spectrum (bins 0 .. n - 1);
// the band is bins lo .. hi. Returns the band's mean instantaneous frequency as a fractional
// bin, or a negative value when the band is too wide or holds too little of the frame to say.
double MeanInstantaneousBin(const double* re, const double* im, uint32_t n, int32_t lo, int32_t hi);

}  // namespace tw
