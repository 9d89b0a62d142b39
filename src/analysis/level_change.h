// Refinement across a change of level: a note that starts or stops inside the 512 ms frame
// pulls the phase-vocoder estimate towards the centre of its bin; the neighbouring bin,
// pulled towards its own centre by the same share, gives the frequency back.
#pragma once

#include <cstdint>

#include "analysis/detection.h"
#include "analysis/spectrum.h"

namespace tw {

// Share of a bin by which the estimates of a steady partial's two bins may disagree through
// the leakage of other partials; only a larger disagreement is taken as a change of level.
inline constexpr double kSteadyDisagreement = 0.1;
// A note starting or stopping inside the frame moves the peak's magnitude by more than this
// share over one hop; a steady tone's bins may disagree through leakage, its level does not.
inline constexpr double kLevelStep = 0.03;
// A tail 30 dB under the held note fills too little of the frame for its bins to be read
// this finely; it is left as the phase vocoder gives it.
inline constexpr double kTailShare = 0.03;
// Below this gain so little of the note is in the frame that the correction is not trusted.
inline constexpr double kLeastGain = 0.25;
// A note's start or end stays put in time while the frame moves on, so the energy centre can
// only move towards the frame's start: g stays under 1. A larger g is leakage.
inline constexpr double kMostGain = 1.0;

struct LevelChangeRefinement {
    double frequency = 0.0;  // of the fundamental, Hz
    double gain = 1.0;       // g: the share of its offset from the bin centre each bin kept
    bool corrected = false;  // frequency differs from RefineFundamental's
};

// Capture thread. The fundamental of `found` refined from the phase advance at its peak bin,
// corrected for a change of level when the peak's stronger neighbour says so.
// `heldMagnitude` is the peak magnitude the note had while its reading stood.
LevelChangeRefinement RefineAcrossLevelChange(const LSpectrum& current, const LSpectrum& previous,
                                              const FundamentalPeak& found, uint32_t n,
                                              uint32_t hop, uint32_t rate, double heldMagnitude);

}  // namespace tw
