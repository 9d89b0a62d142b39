// Fundamental choice by harmonic evidence.
//
// Method: the lowest-peak scan proposes a bin; the checks below, each looking only at sharp
// partials near the multiples of a candidate, may replace it:
//  0. A low sound alone. A proposal whose second partial is the stronger and has partials of its
//     own, while nothing stands at the proposal's odd multiples from the third up, is passed over
//     (the scan goes on upwards): a sampled string's loop can leave a steady sine near half the
//     note, and a note an octave down would show at least some odd partials.
//  1. Mains hum. A proposal whose interpolated frequency sits on a low multiple of 50 or 60 Hz,
//     or on a higher one of a mains series whose first members show too (a buzz), is passed
//     over when the frame is at the noise floor, when the proposal is far from the frame's
//     strongest bin, or when it is no stronger than the hum last seen at the floor (a note's
//     attack over steady hum). The scan goes on above the peak's falling flank. Notes lie at
//     least 35 cents away from the low multiples, so a tuned string never matches, and a note
//     on a higher one shows no series under it. The grid drifts by up to 0.2 Hz, so the mains
//     frequency is measured in each frame from its hum's first harmonics when they agree.
//  2. Vibrato. FM sidebands lie evenly spaced around each partial and the lowest of them may be
//     the first to qualify; above about 200 Hz the proposal moves to the carrier: the cluster
//     member on which the cluster's mean instantaneous frequency lands, or where it lands
//     between members, the member nearest the cluster's power-weighted centre when that member
//     is clearly stronger than the proposal or the proposal's mirror image about it is there
//     too. Magnitudes alone lean towards the louder end of the swing. Below
//     that, where sidebands stay far under the carrier unless the level swings with the pitch,
//     only a clearly stronger peak a sideband's reach above the proposal takes its place.
//  3. A twelfth above. When the proposal is the third partial of s = p/3 (weak even partials, as
//     on a clarinet), the odd partials of s that p does not share (n = 1, 5, 7) must carry a
//     quarter of p's own series, with at least two of them present.
//  4. A fifth above. When the proposal is 3/2 of a lower note s, the partials of s that the
//     proposal does not share are weighed against the proposal's own odd partials, which s does
//     not share; the stronger series wins.
//  5. An octave below. The odd partials of half the candidate are weighed against the
//     candidate's own series; the note is halved only when at least two odd partials are
//     present and carry a quarter of that series, so that a single partial at 1.5 f (a string
//     ringing along, a voice a fifth above) does not halve it; 0.15 of it will do when the
//     half's fifth or seventh partial, which no such voice explains, is among them. Below
//     about 200 Hz the scan's own check (a strong third harmonic of the half) still halves
//     when something stands near the half's first partial or a sharp partial at its fifth or
//     seventh; a broad hump there (the noise of an attack) does not. The same weighing over
//     twice the range, on the odd partials that are not multiples of 3, halves a low piano
//     note whose odd partials are weak up to the seventh and strong above it. No check moves
//     the note under 25 Hz, half the scan's start: the lowest notes are read through their
//     second partial.
//  6. A held octave. While a reading stands, a candidate an octave above it is halved back
//     when any odd partial of the half is still there and the candidate's partial is not
//     growing: a damped low string loses its odd partials from the top down, the third last;
//     an octave struck over it is a new attack and is read.
//  7. A nearly pure tone. The frame's strongest bin, when it stands far above the frame's mean,
//     is sharp and shows a second harmonic of at least -40 dB, is the note when the scan found
//     nothing (its second harmonic misses the scan's 1/15 bar: a flute's high notes) or when
//     the choice above is one of its harmonics (an octave voice over a decayed string). When
//     the scan found nothing in a loud frame, 40 dB above the mean will do, provided nothing
//     stands at half or a third of that bin: vibrato spreads the partials of a clarinet, whose
//     second partial is weak, and lifts the mean.
//  8. A loop's comb. When the frame's strongest bin, a note with its own second partial,
//     would be the choice's third or higher partial with nothing near the two partials on
//     either side of it (26 dB down or more), the checks start again from that bin: a sampled
//     note's loop adds lines at every multiple of its repetition rate, and the lowest of them
//     pass for a low note's series.
//  9. An odd series. Where nothing else was found, the lowest sharp peak from 25 Hz up whose
//     third and fifth partials are there, the stronger of them at the scan's 1/15 bar, is the
//     note: a square or triangle wave, a stopped pipe, an FM voice. A pure sine shows no third
//     partial and stays unread, as the scan leaves it.
// Frames whose strongest bin lies under the scan's magnitude floor are still read when that
// bin stands 46 dB above the frame's mean, or 40 dB with nothing at its half or third (vibrato
// on a string's strong upper partials lifts the mean), down to a sixteenth of the floor: the
// tail of a decaying note.
// Clean tones have nothing between their partials, so none of the checks moves them. The
// result names the partial whose phase the refinement reads and its harmonic number.
#include "analysis/harmonic_choice.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "analysis/vibrato_centre.h"

namespace tw {

namespace {

// The analysis rate: a bin is this over the transform size wide.
constexpr double kRateHz = 16000.0;
// A partial stands out when it reaches this many times the frame's mean magnitude (the same
// bar as the scan's own peaks).
constexpr double kPartialMeanFactor = 5.0;
// Partials may sit this fraction of their frequency off the exact multiple (vibrato of +-15
// cents, stiff strings) plus one bin of quantisation.
constexpr double kPartialTolerance = 0.01;
// Sharp: within 3 bins on each side the magnitude falls below half the peak.
constexpr int32_t kSharpWidth = 3;
constexpr double kSharpDivisor = 2.0;
// Partials weighed per candidate: enough to see a series, few enough to stay below the scan's
// upper bound for most notes.
constexpr int32_t kSeriesLength = 8;

// A note decaying under the scan's magnitude floor (a piano's tail, a soft flute) keeps being
// read while its strongest bin stands this far above the frame's mean (46 dB): only a clean,
// tonal frame does; noise stays within a few times its mean.
constexpr double kQuietProminence = 200.0;
// ... down to this share of the floor (-24 dB): a sine about 80 dB under full scale.
constexpr double kQuietFloorShare = 1.0 / 16.0;

// A nearly pure tone (a flute's high notes) has its second harmonic under the scan's 1/15 bar.
// Its strongest bin still stands for the note when it stands the prominence above the mean and
// shows a second harmonic of at least this share (-40 dB).
constexpr double kPureSecondShare = 0.01;

// Where the scan found nothing, or under the floor, this much (40 dB) will do when nothing
// stands under the strongest bin: noise stays within a few times the mean.
constexpr double kAloneProminence = 100.0;

// A tone of odd partials alone (a square or triangle wave, a stopped pipe, an FM voice) has no
// second harmonic for the scan to confirm. Its third and fifth partials must be there, the
// stronger of them at the scan's own bar for a confirming partial, 1/15 of the frame's
// strongest bin; the fifth only while it lies under this frequency, for the rate converter's
// passband ends near 7.2 kHz.
constexpr double kOddThirdShare = 1.0 / 15.0;
constexpr double kOddFifthTopHz = 6000.0;
// Above this the third partial itself leaves the passband: no odd series can be seen.
constexpr double kOddThirdTopHz = 7000.0;

// Mains: 50 and 60 Hz and their harmonics up to this number.
constexpr double kMainsHz[] = {50.0, 60.0};
static_assert(sizeof(kMainsHz) == sizeof(FrameMagnitudes::mainsHz));
constexpr int32_t kMainsHarmonics = 4;
// The grid runs up to this share off its nominal frequency (0.2 Hz at 50 Hz), and its hum's
// harmonics as far off in proportion, beyond the 0.3 Hz tolerance below. The frame's own mains
// frequency is measured from the hum's first harmonics instead.
constexpr double kGridDriftShare = 0.004;
// At least this many of those harmonics must agree on the frequency within this (the peaks'
// interpolation is good to about 0.05 Hz).
constexpr int32_t kMainsSeriesAgreeing = 2;
constexpr double kMainsAgreementHz = 0.1;
// A buzz (a rectifier, a dimmer, a hum loop through an amplifier) carries mains harmonics far
// up, up to this number; a peak on one of them above the fourth is hum only when the series it
// belongs to shows as well, at least this many of its first four members. Equal-tempered notes
// come no closer than 0.74 Hz to these multiples (E5 against 660 Hz), and a note tuned onto
// one shows no series under it.
constexpr int32_t kBuzzHarmonics = 40;
constexpr int32_t kBuzzSeriesShown = 2;
// Hum carries harmonics this far up; partials there do not count as a note's evidence.
constexpr int32_t kHumSeriesLength = 8;
// How close an interpolated peak must come to a mains frequency, in Hz. Equal-tempered notes
// keep at least 1 Hz away from 50, 60, ..., 240 Hz (G1 at 49.0 Hz is the closest).
constexpr double kMainsToleranceHz = 0.3;
// Away from the floor, hum is passed over while it is this far under the strongest bin, or
// no stronger than this many times the hum last seen at the floor (6 dB: a note on that
// frequency would stand far above the hum).
constexpr double kHumUnderMax = 0.5;
constexpr double kHumLevelMatch = 2.0;

// Vibrato sidebands up to 8 Hz apart (4 bins) and the cluster members this many bins apart
// at most, with one bin of slack for the spacing.
constexpr int32_t kSidebandReach = 5;
constexpr int32_t kSpacingSlack = 1;
// Members weaker than this fraction of the proposal are leakage, not sidebands.
constexpr double kSidebandFloor = 0.25;
// A cluster member this much stronger than the proposal is the carrier of its sidebands.
constexpr double kCarrierOverSideband = 1.25;
// Paired sidebands may differ in height by this factor (the vibrato also moves the level).
constexpr double kPairTolerance = 2.0;
// The band whose mean instantaneous frequency is the vibrato's centre: the cluster and the main
// lobes of its outer members.
constexpr int32_t kBandMargin = 2;
// That centre names a member when it lies within this share of the sideband spacing of it; a
// centre between members (two voices beating, a frame the note fills in part) says nothing.
constexpr double kCentreOnMember = 0.3;

// Octave: halve when the odd partials of the half carry at least this share of the energy of
// the proposal's own series, and at least this many of them are present.
constexpr double kOddShare = 0.25;
constexpr int32_t kMinOddPartials = 2;
// ... or this share when one of them is the fifth or the seventh, which no voice a fifth or a
// twelfth above explains (a low piano note early in its attack shows 0.18-0.21).
constexpr double kOddShareUnexplained = 0.15;
// The longer octave check looks this far up the half's series (its 16th partial is the
// candidate's 8th) and wants at least this many of the odd partials it weighs (1, 5, 7, 11, 13).
constexpr int32_t kLongSeriesLength = 2 * kSeriesLength;
constexpr int32_t kMinLongOddPartials = 3;
// A held octave's partial may grow this much from frame to frame (a steady tone's wobble);
// more is a new attack.
constexpr double kHeldGrowth = 1.05;
// The strongest bin stands alone in the chosen series when it is at least this partial of it
// and its neighbouring partials, two on each side, stay under this share of it (-26 dB).
constexpr double kLoneLowestPartial = 3.0;
constexpr double kLoneNeighbourShare = 0.05;
// Fifth: the lower note must show at least this many partials of its own.
constexpr int32_t kMinOwnPartials = 2;

bool IsLocalPeak(const double* m, int32_t p) {
    return m[p] >= m[p - 1] && m[p] >= m[p + 1];
}

// Fractional bin of the peak at p from the parabola through the log magnitudes around it.
double InterpolatedBin(const double* m, int32_t p) {
    const double a = std::log(std::max(m[p - 1], 1e-12));
    const double b = std::log(std::max(m[p], 1e-12));
    const double c = std::log(std::max(m[p + 1], 1e-12));
    const double d = a - 2.0 * b + c;
    if (d >= 0.0) return p;
    return p + 0.5 * (a - c) / d;
}

// The mains frequency near `nominal` as the frame's hum shows it: from the sharp peaks within
// the grid's drift of its first harmonics, each divided by its number and weighed by it, when
// at least two of them agree; `nominal` otherwise. A lone peak there may be a note's partial or
// a body's resonance.
double MeasuredMains(const FrameMagnitudes& frame, double binHz, double nominal) {
    double sum = 0.0, lowest = nominal * 2.0, highest = 0.0;
    int32_t weight = 0, found = 0;
    for (int32_t j = 1; j <= kMainsHarmonics; ++j) {
        const int32_t q = PartialNear(frame, j * nominal / binHz);
        if (q == 0) continue;
        const double hz = InterpolatedBin(frame.m, q) * binHz;
        if (std::abs(hz - j * nominal) > kMainsToleranceHz + kGridDriftShare * j * nominal)
            continue;
        sum += hz;
        weight += j;
        ++found;
        lowest = std::min(lowest, hz / j);
        highest = std::max(highest, hz / j);
    }
    if (found < kMainsSeriesAgreeing || highest - lowest > kMainsAgreementHz) return nominal;
    return sum / weight;
}

// The multiple of `mains` that `hz` sits on within the tolerance; 0 when none does. Only the
// nearest multiple can: they lie 50 Hz or more apart.
int32_t MainsMultiple(double hz, double mains) {
    const double k = std::round(hz / mains);
    return std::abs(hz - k * mains) <= kMainsToleranceHz ? static_cast<int32_t>(k) : 0;
}

// True when the peak at p sits on one of the first `harmonics` multiples of 50 or 60 Hz, as the
// frame's hum shows them.
bool OnMains(const FrameMagnitudes& frame, int32_t p, double binHz, int32_t harmonics) {
    const double hz = InterpolatedBin(frame.m, p) * binHz;
    for (double mains : frame.mainsHz) {
        const int32_t k = MainsMultiple(hz, mains);
        if (k >= 1 && k <= harmonics) return true;
    }
    return false;
}

// True when the peak at p sits on a low multiple of 50 or 60 Hz, or on a higher one of a mains
// series that the frame shows.
bool OnMainsSeries(const FrameMagnitudes& frame, int32_t p, double binHz) {
    const double hz = InterpolatedBin(frame.m, p) * binHz;
    for (double mains : frame.mainsHz) {
        const int32_t k = MainsMultiple(hz, mains);
        if (k < 1 || k > kBuzzHarmonics) continue;
        if (k <= kMainsHarmonics) return true;
        int32_t shown = 0;
        for (int32_t j = 1; j <= kMainsHarmonics; ++j)
            shown += PartialNear(frame, j * mains / binHz) != 0;
        if (shown >= kBuzzSeriesShown) return true;
    }
    return false;
}

bool IsMainsHum(const FrameMagnitudes& frame, int32_t p, double binHz, ChoiceContext& context) {
    if (!OnMainsSeries(frame, p, binHz)) return false;
    if (context.nearFloor) {
        context.humMagnitude = std::max(context.humMagnitude, frame.m[p]);
        return true;
    }
    return frame.m[p] < kHumUnderMax * frame.max ||
           frame.m[p] <= kHumLevelMatch * context.humMagnitude;
}

// Next cluster member from `at` in direction `step` (+1 up, -1 down): the first local peak
// within reach that is not leakage, and whose distance matches the spacing found so far.
int32_t NextMember(const FrameMagnitudes& frame, int32_t at, int32_t step, double floor,
                   int32_t& spacing) {
    for (int32_t d = 1; d <= kSidebandReach; ++d) {
        const int32_t q = at + step * d;
        if (q < 1 || q >= frame.last) return 0;
        if (!IsLocalPeak(frame.m, q) || frame.m[q] < floor) continue;
        if (spacing != 0 && std::abs(d - spacing) > kSpacingSlack) return 0;
        if (spacing == 0) spacing = d;
        return q;
    }
    return 0;
}

// True when the peak at q is a sharp partial with a second partial of its own: a note.
bool IsSharpNote(const FrameMagnitudes& frame, int32_t q) {
    return PartialNear(frame, q) == q && PartialNear(frame, 2.0 * InterpolatedBin(frame.m, q)) != 0;
}

// Below about 200 Hz: the peak within a sideband's reach above p that is clearly stronger than p,
// sharp, off the mains and with its own second partial, when there is one; p otherwise. Low
// notes' sidebands are far under their carrier, unless the level swings with the pitch.
int32_t CarrierAbove(const FrameMagnitudes& frame, int32_t p, double binHz) {
    const double* m = frame.m;
    for (int32_t q = p + 1; q <= p + kSidebandReach && q < frame.last; ++q) {
        if (m[q] < kCarrierOverSideband * m[p] || !IsSharpNote(frame, q)) continue;
        if (!OnMains(frame, q, binHz, kHumSeriesLength)) return q;
    }
    return p;
}

// The member nearest the fractional bin `at`; the first of two as near.
int32_t NearestMember(const int32_t* members, int32_t count, double at) {
    int32_t nearest = members[0];
    for (int32_t i = 1; i < count; ++i) {
        if (std::abs(members[i] - at) < std::abs(nearest - at)) nearest = members[i];
    }
    return nearest;
}

// The carrier of the sideband cluster around p (check 2 above), or p where there is none.
int32_t ClusterCentre(const FrameMagnitudes& frame, int32_t p) {
    constexpr int32_t kMaxMembers = 16;
    const double* m = frame.m;
    const double floor = kSidebandFloor * m[p];
    int32_t members[kMaxMembers];
    int32_t count = 0;
    members[count++] = p;
    int32_t spacing = 0;
    for (int32_t step : {1, -1}) {
        int32_t at = p;
        while (count < kMaxMembers) {
            const int32_t next = NextMember(frame, at, step, floor, spacing);
            if (next == 0) break;
            members[count++] = next;
            at = next;
        }
    }
    // A lone peak, or two peaks without a third to make a cluster, stay as found.
    if (count < 3) return p;
    // The cluster's mean instantaneous frequency names the carrier where it lands on a member.
    if (frame.re != nullptr) {
        const auto [lowest, highest] = std::minmax_element(members, members + count);
        const double mean = MeanInstantaneousBin(frame.re, frame.im, frame.size,
                                                 *lowest - kBandMargin, *highest + kBandMargin);
        if (mean > 0.0) {
            const int32_t nearest = NearestMember(members, count, mean);
            if (std::abs(nearest - mean) <= kCentreOnMember * spacing) return nearest;
        }
    }
    // Otherwise the centre weighs power, so that the carrier outweighs its sidebands.
    double weight = 0.0, moment = 0.0;
    for (int32_t i = 0; i < count; ++i) {
        const double power = m[members[i]] * m[members[i]];
        weight += power;
        moment += power * members[i];
    }
    const double centre = moment / weight;
    const int32_t best = NearestMember(members, count, centre);
    if (best == p) return p;
    // A member near the centre clearly stronger than p is the carrier, paired or not: a level
    // that swings with the pitch can take p's partner on the other side away.
    if (m[best] >= kCarrierOverSideband * m[p]) return best;
    // FM sidebands come in pairs of equal height around the carrier: p's partner on the other
    // side must be there. Ensemble voices (a choir) make clusters without that symmetry.
    // The spacing need not be a whole number of bins (5 Hz is 2.56 bins), so the partner is the
    // strongest local peak within one bin of p's mirror image.
    const int32_t mirror = 2 * best - p;
    if (mirror < 2 || mirror >= frame.last - 1) return p;
    int32_t partner = 0;
    for (int32_t q = mirror - 1; q <= mirror + 1; ++q) {
        if (IsLocalPeak(m, q) && (partner == 0 || m[q] > m[partner])) partner = q;
    }
    if (partner == 0) return p;
    const double ratio = m[partner] / m[p];
    const bool paired = ratio >= 1.0 / kPairTolerance && ratio <= kPairTolerance;
    return paired ? best : p;
}

// Sum of the partials k x fundamental for the numbers k that `take` accepts, k = 1 .. length;
// `present` counts them, `strongest` and `strongestNumber` name the loudest.
// Partials on mains frequencies are left out: under a decaying note, hum at 50, 150, 250 Hz
// would otherwise pass for the odd partials of a note an octave down.
template <typename Take>
double SeriesEnergy(const FrameMagnitudes& frame, double binHz, double fundamental, Take take,
                    int32_t& present, int32_t& strongest, int32_t& strongestNumber,
                    int32_t length = kSeriesLength) {
    double energy = 0.0;
    present = 0;
    strongest = 0;
    strongestNumber = 0;
    for (int32_t k = 1; k <= length; ++k) {
        if (!take(k)) continue;
        const int32_t bin = PartialNear(frame, k * fundamental);
        if (bin == 0 || OnMains(frame, bin, binHz, kHumSeriesLength)) continue;
        energy += frame.m[bin];
        ++present;
        if (strongest == 0 || frame.m[bin] > frame.m[strongest]) {
            strongest = bin;
            strongestNumber = k;
        }
    }
    return energy;
}

// The strongest magnitude of any bin within a partial's tolerance of `at`.
double StrongestNear(const FrameMagnitudes& frame, double at) {
    const double reach = 1.0 + kPartialTolerance * at;
    const int32_t first = std::max<int32_t>(1, static_cast<int32_t>(std::ceil(at - reach)));
    const int32_t last = std::min<int32_t>(frame.last, static_cast<int32_t>(at + reach));
    double strongest = 0.0;
    for (int32_t b = first; b <= last; ++b) strongest = std::max(strongest, frame.m[b]);
    return strongest;
}

// True when any bin within a partial's tolerance of `at` stands out from the frame's mean,
// sharp or not.
bool AnythingNear(const FrameMagnitudes& frame, double at) {
    return StrongestNear(frame, at) >= kPartialMeanFactor * frame.mean;
}

// True when nothing stands at half or a third of the peak at p: no lower note of which p would
// be the second or third partial.
bool NothingUnder(const FrameMagnitudes& frame, int32_t p) {
    const double at = InterpolatedBin(frame.m, p);
    return !AnythingNear(frame, at / 2.0) && !AnythingNear(frame, at / 3.0);
}

bool StandsOutWhenQuiet(const FrameMagnitudes& frame) {
    if (frame.max < kQuietFloorShare * kMagnitudeFloor) return false;
    if (frame.max >= kQuietProminence * frame.mean) return true;
    return frame.max >= kAloneProminence * frame.mean && NothingUnder(frame, frame.strongest);
}

// The strongest bin of the scan when it is a nearly pure tone's fundamental (see above); 0 if not.
int32_t NearlyPureTone(const FrameMagnitudes& frame, const PeakSearchBounds& bounds,
                       double prominence) {
    const double* m = frame.m;
    const int32_t p = frame.strongest;
    // The strongest bin may lie in the margins around the scan: no note of the scan's then.
    if (p < bounds.lo || p >= bounds.hi) return 0;
    if (!IsLocalPeak(m, p) || m[p] < prominence * frame.mean) return 0;
    if (!IsSharpPeak(m, p, kSharpWidth, kSharpDivisor)) return 0;
    const double second = std::max({m[2 * p - 1], m[2 * p], m[2 * p + 1]});
    return second >= kPureSecondShare * m[p] ? p : 0;
}

// The same in a loud frame where the scan found nothing, at a lower prominence, when nothing
// stands at half or a third of the strongest bin: vibrato spreads a clarinet's or a flute's
// partials and lifts the mean, while an attack whose strongest bin is a higher partial shows
// the note under it.
int32_t LoudPureTone(const FrameMagnitudes& frame, const PeakSearchBounds& bounds) {
    const int32_t p = NearlyPureTone(frame, bounds, kAloneProminence);
    return p != 0 && NothingUnder(frame, p) ? p : 0;
}

FundamentalPeak Halved(FundamentalPeak choice, double half) {
    choice.bin = static_cast<int32_t>(half);
    choice.harmonic *= 2;
    return choice;
}

}  // namespace

int32_t PartialNear(const FrameMagnitudes& frame, double at) {
    const double reach = 1.0 + kPartialTolerance * at;
    const int32_t first = std::max<int32_t>(kSharpWidth + 1, static_cast<int32_t>(at - reach));
    const int32_t last =
        std::min<int32_t>(frame.last - kSharpWidth - 1, static_cast<int32_t>(at + reach + 1.0));
    const double* m = frame.m;
    int32_t best = 0;
    for (int32_t b = first; b <= last; ++b) {
        if (std::abs(b - at) > reach) continue;
        if (!IsLocalPeak(m, b) || m[b] < kPartialMeanFactor * frame.mean) continue;
        if (!IsSharpPeak(m, b, kSharpWidth, kSharpDivisor)) continue;
        if (best == 0 || m[b] > m[best]) best = b;
    }
    return best;
}

namespace {

// True when p is a low sound alone under the note the frame holds: p's second partial q is the
// stronger and carries a series of its own (2q and 3q), while nothing at all stands at the odd
// multiples of q / 2 from the third to the fifteenth. A note an octave down shows some of them,
// however weak; a sample's loop or a body resonance near q / 2 shows none.
bool IsLoneSubOctave(const FrameMagnitudes& frame, int32_t p) {
    const int32_t q = PartialNear(frame, 2.0 * InterpolatedBin(frame.m, p));
    if (q == 0 || frame.m[q] < frame.m[p]) return false;
    const double note = InterpolatedBin(frame.m, q);
    if (PartialNear(frame, 2.0 * note) == 0 || PartialNear(frame, 3.0 * note) == 0) return false;
    for (int32_t k = 3; k < kLongSeriesLength; k += 2) {
        if (AnythingNear(frame, k * note / 2.0)) return false;
    }
    return true;
}

// The frame's strongest bin s when it is a sharp note of its own (its second partial is there)
// that the choice c takes for a high partial k c (k >= 3) with nothing near the partials around
// it, k - 2 .. k + 2 all 26 dB or more under it; 0 otherwise. A real note's partials around its
// loudest one are never that far down; a sampled note's loop adds lines at every multiple of
// the loop's rate, which the lowest-peak scan and the octave checks read as a low note.
int32_t LoneStrongest(const FrameMagnitudes& frame, const PeakSearchBounds& bounds,
                      const FundamentalPeak& choice) {
    const int32_t s = frame.strongest;
    if (choice.bin == 0 || s < bounds.lo || s >= bounds.hi) return 0;
    if (!IsSharpNote(frame, s)) return 0;
    const double c = InterpolatedBin(frame.m, choice.peak) / choice.harmonic;
    const double at = InterpolatedBin(frame.m, s);
    const double k = std::round(at / c);
    if (k < kLoneLowestPartial || std::abs(at - k * c) > 1.0 + kPartialTolerance * at) return 0;
    for (double j : {k - 2.0, k - 1.0, k + 1.0, k + 2.0}) {
        if (StrongestNear(frame, j * c) > kLoneNeighbourShare * frame.m[s]) return 0;
    }
    return s;
}

// The checks on the scan's proposal p (see the top of the file).
FundamentalPeak ChooseFromProposal(const FrameMagnitudes& frame, const PeakSearchBounds& bounds,
                                   double binHz, ChoiceContext& context, int32_t p) {
    // Below about 200 Hz a vibrato of +-15 cents swings less than 2 Hz, its sidebands stay
    // far under the carrier, and close peaks there are partials of other voices; only a
    // sideband that a swing of level has lifted over the scan's bar gives way to its carrier.
    p = p >= bounds.lo2 ? ClusterCentre(frame, p) : CarrierAbove(frame, p, binHz);

    // The scan starts at 50 Hz and reads the notes down to half that through their second
    // partial; a move to anything lower names no note.
    const double lowest = bounds.lo / 2.0;
    // The candidate fundamental as a fractional bin, and the partial whose phase refines it.
    double fundamental = p;
    FundamentalPeak choice{p, p, 1};
    int32_t present = 0, strongest = 0, number = 0, unused = 0, unusedNumber = 0;

    // A twelfth above a lower note s = p/3 (a clarinet's weak even partials leave its third
    // partial the first to qualify): s's partials that p lacks against p's series.
    {
        // Only the odd partials of s that p lacks (n = 1, 5, 7): its even ones belong as well to
        // 2p/3, the note a fifth below p, which the next check weighs.
        const double lower = p / 3.0;
        const double lowerOwn = SeriesEnergy(
            frame, binHz, lower, [](int32_t k) { return k % 2 == 1 && k % 3 != 0; }, present,
            strongest, number);
        if (present >= kMinOwnPartials && lower >= lowest) {
            const double own = SeriesEnergy(
                frame, binHz, p, [](int32_t k) { return k <= kSeriesLength / 2; }, unused, unused,
                unusedNumber);
            if (lowerOwn >= kOddShare * own) {
                fundamental = lower;
                choice = {static_cast<int32_t>(std::lround(lower)), p, 3};
            }
        }
    }

    // A fifth above a lower note s = 2c/3: s's partials that c lacks against c's odd partials,
    // which s lacks.
    if (choice.harmonic == 1) {
        const double lower = 2.0 * fundamental / 3.0;
        const double lowerOwn = SeriesEnergy(
            frame, binHz, lower, [](int32_t k) { return k % 3 != 0; }, present, strongest, number);
        if (present >= kMinOwnPartials && lower >= lowest) {
            const double own = SeriesEnergy(
                frame, binHz, fundamental, [](int32_t k) { return k % 2 == 1; }, unused, unused,
                unusedNumber);
            if (lowerOwn > own) {
                fundamental = lower;
                choice = {static_cast<int32_t>(std::lround(lower)), strongest, number};
            }
        }
    }

    // An octave below: the odd partials of c / 2 against c's own series.
    const double half = fundamental / 2.0;
    if (half < lowest) return choice;
    int32_t oddPresent = 0;
    const double odd = SeriesEnergy(
        frame, binHz, half, [](int32_t k) { return k % 2 == 1; }, oddPresent, unused, unusedNumber);
    if (oddPresent >= kMinOddPartials) {
        const double even = SeriesEnergy(
            frame, binHz, fundamental, [](int32_t k) { return k <= kSeriesLength / 2; }, unused,
            unused, unusedNumber);
        // The half's odd partials that no voice a fifth above explains (5, 7).
        int32_t unexplained = 0;
        SeriesEnergy(
            frame, binHz, half, [](int32_t k) { return k > 1 && k % 2 == 1 && k % 3 != 0; },
            unexplained, unused, unusedNumber);
        const double bar = unexplained > 0 ? kOddShareUnexplained : kOddShare;
        if (odd >= bar * even) return Halved(choice, half);
    }
    // A low string's odd partials may be weak up to the seventh and strong above it (a piano
    // struck near a node of its low partials). Over twice the range, the half's odd partials
    // that no voice a fifth or a twelfth above explains (not multiples of 3) are weighed
    // against the candidate's series over the same range.
    {
        int32_t longPresent = 0;
        const double longOdd = SeriesEnergy(
            frame, binHz, half, [](int32_t k) { return k % 2 == 1 && k % 3 != 0; }, longPresent,
            unused, unusedNumber, kLongSeriesLength);
        if (longPresent >= kMinLongOddPartials) {
            const double longEven = SeriesEnergy(
                frame, binHz, fundamental, [](int32_t) { return true; }, unused, unused,
                unusedNumber, kLongSeriesLength / 2);
            if (longOdd >= kOddShare * longEven) return Halved(choice, half);
        }
    }
    // A note that stands keeps its octave while any of its odd partials is still there and
    // nothing grows: a damped low string loses them from the top down, the third last, while
    // an octave struck over it is a new attack.
    if (context.heldHz > 0.0 && oddPresent >= 1 &&
        std::abs(half * binHz - context.heldHz) <= binHz + kPartialTolerance * context.heldHz &&
        std::abs(choice.peak - context.lastPeak) <= 1 &&
        frame.m[choice.peak] <= kHeldGrowth * context.lastPeakMagnitude) {
        return Halved(choice, half);
    }
    // Low notes keep the scan's own octave check, which reads a smeared attack better, unless
    // the third harmonic of the half is all there is: nothing at all near its first, fifth and
    // seventh.
    if (choice.harmonic == 1 && p < bounds.lo2) {
        const int32_t third = ThirdHarmonicOfHalf(frame, p);
        // Hum at 150 or 180 Hz is no third harmonic of a note.
        if (third != 0 && !OnMains(frame, third, binHz, kHumSeriesLength) &&
            (AnythingNear(frame, half) || PartialNear(frame, 5 * half) != 0 ||
             PartialNear(frame, 7 * half) != 0)) {
            return Halved(choice, half);
        }
    }
    return choice;
}

// The bin where the falling flank above the peak at p ends. The scan goes on from there past a
// peak it passes over: the bins of the flank pass its right-hand test too, and one of them,
// read from off the peak's centre, would no longer sit on the mains frequency it belongs to.
int32_t PastFlank(const FrameMagnitudes& frame, const PeakSearchBounds& bounds, int32_t p) {
    int32_t q = p + 1;
    while (q + 1 < bounds.hi && frame.m[q + 1] < frame.m[q]) ++q;
    return q;
}

// The scan's proposal, checked; the strongest bin in its place when it stands alone.
FundamentalPeak ChooseFromScan(const FrameMagnitudes& frame, const PeakSearchBounds& bounds,
                               double binHz, ChoiceContext& context) {
    int32_t p = 0;
    // The hum level is learnt afresh in every frame at the floor.
    if (context.nearFloor) context.humMagnitude = 0.0;
    for (int32_t from = bounds.lo;; from = PastFlank(frame, bounds, p)) {
        p = NextQualifyingPeak(frame, bounds, from);
        if (p == 0) break;
        if (!IsMainsHum(frame, p, binHz, context) && !IsLoneSubOctave(frame, p)) break;
    }
    if (p == 0) return {};
    const FundamentalPeak choice = ChooseFromProposal(frame, bounds, binHz, context, p);
    // The loudest sound of the frame standing alone in the chosen series is the note, and
    // what lies under it is a comb (a sample's loop) or noise.
    const int32_t alone = LoneStrongest(frame, bounds, choice);
    if (alone != 0 && !IsMainsHum(frame, alone, binHz, context))
        return ChooseFromProposal(frame, bounds, binHz, context, alone);
    return choice;
}

// The lowest peak of the scan's range that carries an odd series without a second partial
// (see above), hum passed over; 0 if none. Asked only where the scan found nothing, so its
// second partial is under the scan's bar; a pure sine, with no third partial, stays unread.
int32_t OddSeriesTone(const FrameMagnitudes& frame, const PeakSearchBounds& bounds, double binHz,
                      ChoiceContext& context) {
    const double* m = frame.m;
    const double bar = kOddThirdShare * frame.max;
    // From half the scan's start: the scan reads the lowest notes through their second partial,
    // which an odd series lacks, so their fundamental is looked at itself.
    for (int32_t p = bounds.lo / 2; p < bounds.hi; ++p) {
        if (m[p] < bar || PartialNear(frame, p) != p) continue;
        const double at = InterpolatedBin(m, p);
        if (3.0 * at * binHz > kOddThirdTopHz) break;
        const int32_t third = PartialNear(frame, 3.0 * at);
        if (third == 0) continue;
        const bool fifthSeen = 5.0 * at * binHz <= kOddFifthTopHz;
        const int32_t fifth = fifthSeen ? PartialNear(frame, 5.0 * at) : 0;
        if (fifthSeen && fifth == 0) continue;
        if (std::max(m[third], fifth != 0 ? m[fifth] : 0.0) < bar) continue;
        if (IsMainsHum(frame, p, binHz, context)) continue;
        return p;
    }
    return 0;
}

// True when the chosen fundamental is the second or a higher harmonic of the peak at `low`.
bool IsHarmonicOf(const FrameMagnitudes& frame, const FundamentalPeak& choice, int32_t low) {
    const double chosen = InterpolatedBin(frame.m, choice.peak) / choice.harmonic;
    const double base = InterpolatedBin(frame.m, low);
    const double k = std::round(chosen / base);
    return k >= 2.0 && std::abs(chosen - k * base) <= 1.0 + kPartialTolerance * chosen;
}

// The choice in a frame loud or tonal enough to be read.
FundamentalPeak ChooseInFrame(const FrameMagnitudes& frame, const PeakSearchBounds& bounds,
                              double binHz, ChoiceContext& context) {
    const FundamentalPeak choice = ChooseFromScan(frame, bounds, binHz, context);
    // A nearly pure tone misses the scan's second-harmonic bar. It is the note when the scan
    // found nothing, or only its own harmonics (an octave voice over a decaying string).
    int32_t pure = NearlyPureTone(frame, bounds, kQuietProminence);
    if (pure == 0 && choice.bin == 0 && frame.max >= kMagnitudeFloor)
        pure = LoudPureTone(frame, bounds);
    if (pure != 0 && (choice.bin == 0 || IsHarmonicOf(frame, choice, pure)) &&
        !IsMainsHum(frame, pure, binHz, context)) {
        // The strongest bin of a vibrato may be a sideband, as for the scan's proposal.
        if (pure >= bounds.lo2) pure = ClusterCentre(frame, pure);
        return {pure, pure, 1};
    }
    if (choice.bin == 0 && pure == 0) {
        const int32_t odd = OddSeriesTone(frame, bounds, binHz, context);
        if (odd != 0) return ChooseFromProposal(frame, bounds, binHz, context, odd);
    }
    return choice;
}

}  // namespace

FundamentalPeak ChooseFundamental(const LSpectrum& spectrum, uint32_t n,
                                  const PeakSearchBounds& bounds, std::vector<double>& scratch,
                                  ChoiceContext& context) {
    FrameMagnitudes frame;
    const bool loud = MeasureFrame(spectrum, n, bounds, scratch, frame);
    FundamentalPeak choice;
    if (loud || StandsOutWhenQuiet(frame)) {
        for (size_t i = 0; i < std::size(kMainsHz); ++i)
            frame.mainsHz[i] = MeasuredMains(frame, kRateHz / n, kMainsHz[i]);
        choice = ChooseInFrame(frame, bounds, kRateHz / n, context);
    }
    // The next frame's octave hold looks at how this partial changes.
    context.lastPeak = choice.peak;
    context.lastPeakMagnitude = choice.bin > 0 ? frame.m[choice.peak] : 0.0;
    return choice;
}

}  // namespace tw
