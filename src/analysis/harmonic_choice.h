// Choice of the fundamental by harmonic evidence: the scan's lowest qualifying peak, corrected
// where the partials around it say that it is a vibrato sideband, mains hum, the second or
// third harmonic of a note whose fundamental is weak, or a voice a fifth above a lower note.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/detection.h"
#include "analysis/spectrum.h"

namespace tw {

// What the frame's surroundings tell the choice, and what the choice learns for later frames.
struct ChoiceContext {
    // The block's level is within a few dB of the running noise floor: a steady series at a
    // mains frequency there is hum, not a note.
    bool nearFloor = false;
    // Magnitude of the hum last passed over at the floor (0: none yet). Hum keeps its level
    // when a note starts over it, so a mains peak no stronger than this is still hum.
    double humMagnitude = 0.0;
    // The reading that stands (published in the frame before), in Hz; 0: none. A note keeps
    // its octave while its odd partials are still there.
    double heldHz = 0.0;
    // The partial the previous frame's choice refined from, and its magnitude there: a partial
    // that grows is a new attack.
    int32_t lastPeak = 0;
    double lastPeakMagnitude = 0.0;
};

// Capture thread. The same answer as LocateFundamental on tones whose partials leave no doubt;
// `scratch` holds the magnitudes between calls; `context` keeps the hum level between calls.
FundamentalPeak ChooseFundamental(const LSpectrum& spectrum, uint32_t n,
                                  const PeakSearchBounds& bounds, std::vector<double>& scratch,
                                  ChoiceContext& context);

// The strongest sharp partial within the tolerance around fractional bin `at`: its bin, or 0
// when nothing there stands out from the frame's mean. Exposed for the tests.
int32_t PartialNear(const FrameMagnitudes& frame, double at);

}  // namespace tw
