// Phase-vocoder refinement across a change of level.
//
// Bin k of a frame starting at t holds a partial of frequency f as
//   X_k(t) = exp(i 2 pi f t) S_t(f - c_k),   S_t(d) = sum w(n) a(t + n) exp(i 2 pi d n),
// with c_k the bin's centre and a the partial's level. The phase of S_t is about 2 pi d
// times the centre of the partial's energy inside the frame. While the level is steady that
// centre stays put and the phase advance over one hop is 2 pi f dt exactly. When the note
// starts or stops inside the frame the centre moves by some m samples between the frames,
// and the estimate of every bin the partial covers becomes
//   e_k = c_k + g (f - c_k),   g = 1 + m / hop.
// The same g holds for the peak bin k and its stronger neighbour j, so
//   g = 1 - (e_j - e_k) / (c_j - c_k),   f = c_k + (e_k - c_k) / g.
// On steady tones leakage from the other partials makes the two estimates disagree a little;
// only a clear disagreement while the level jumps is corrected, so steady readings stay
// exactly the phase vocoder's.
#include "analysis/level_change.h"

#include <cmath>

namespace tw {

namespace {

double BinMagnitude(const LSpectrum& s, int32_t k) {
    return Magnitude(s, static_cast<uint32_t>(k));
}

}  // namespace

LevelChangeRefinement RefineAcrossLevelChange(const LSpectrum& current, const LSpectrum& previous,
                                              const FundamentalPeak& found, uint32_t n,
                                              uint32_t hop, uint32_t rate, double heldMagnitude) {
    LevelChangeRefinement r;
    r.frequency = RefineFundamental(current, previous, found, n, hop, rate);
    const int32_t k = found.peak;
    if (k < 2 || static_cast<uint32_t>(k) + 2 >= n / 2) return r;

    // The neighbour on the partial's side of the peak carries more of it than the other.
    const double atPeak = BinMagnitude(current, k);
    const int32_t j = BinMagnitude(current, k + 1) > BinMagnitude(current, k - 1) ? k + 1 : k - 1;
    const double binHz = static_cast<double>(rate) / n;
    const double centreK = binHz * k;
    const double centreJ = binHz * j;
    const double atK = r.frequency * found.harmonic;
    const double atJ = RefineFrequency(current, previous, static_cast<uint32_t>(j), n, hop, rate);
    const double disagreement = (atJ - atK) / (centreJ - centreK);
    r.gain = 1.0 - disagreement;

    if (std::abs(disagreement) <= kSteadyDisagreement) return r;
    const double before = BinMagnitude(previous, k);
    if (before <= 0.0 || std::abs(atPeak / before - 1.0) <= kLevelStep) return r;
    if (atPeak < kTailShare * heldMagnitude) return r;
    if (r.gain < kLeastGain || r.gain > kMostGain) return r;

    r.frequency = (centreK + (atK - centreK) / r.gain) / found.harmonic;
    r.corrected = true;
    return r;
}

}  // namespace tw
