#include "synth/synth.h"

#include <algorithm>
#include <cmath>

namespace tw::synth {

namespace {
constexpr double kTwoPi = 6.283185307179586;
// Partials above this fraction of the sample rate are left out (no aliasing).
constexpr double kMaxPartialFraction = 0.45;
// Where the string is plucked, as a fraction of its length.
constexpr double kPluckPosition = 0.2;
// Partials of a plucked string in the synthesis.
constexpr int kPluckPartials = 24;
// Decay time of the fundamental in seconds; partial n decays n^0.7 times faster.
constexpr double kFundamentalDecay = 2.5;
// Onset ramp that keeps the attack from clicking.
constexpr double kAttackSeconds = 0.004;

int32_t ClipToInt(double v, double scale) {
    const double x = std::round(v * scale);
    return static_cast<int32_t>(std::clamp(x, -scale, scale - 1));
}
}  // namespace

std::vector<double> HarmonicTone(double f0, double rate, double seconds,
                                 const std::vector<double>& amplitudes) {
    const size_t n = static_cast<size_t>(seconds * rate);
    std::vector<double> out(n, 0.0);
    for (size_t h = 0; h < amplitudes.size(); ++h) {
        const double f = f0 * static_cast<double>(h + 1);
        if (amplitudes[h] == 0.0 || f >= rate * kMaxPartialFraction) continue;
        const double phase = 0.7 * static_cast<double>(h * h);
        for (size_t i = 0; i < n; ++i)
            out[i] += amplitudes[h] * std::sin(kTwoPi * f * i / rate + phase);
    }
    return out;
}

std::vector<double> PluckedString(double f0, double rate, double seconds, double peak) {
    const size_t n = static_cast<size_t>(seconds * rate);
    std::vector<double> out(n, 0.0);
    for (int h = 1; h <= kPluckPartials; ++h) {
        const double f = f0 * h;
        if (f >= rate * kMaxPartialFraction) break;
        const double level =
            std::abs(std::sin(h * kTwoPi * 0.5 * kPluckPosition)) / (h * h) + 0.02 / h;
        const double decay = 1.0 / (kFundamentalDecay / std::pow(h, 0.7));
        const double phase = 0.9 * h;
        for (size_t i = 0; i < n; ++i) {
            const double t = i / rate;
            out[i] += level * std::exp(-decay * t) * std::sin(kTwoPi * f * t + phase);
        }
    }
    const size_t attack = static_cast<size_t>(kAttackSeconds * rate);
    for (size_t i = 0; i < std::min(attack, n); ++i) out[i] *= static_cast<double>(i) / attack;
    double largest = 0.0;
    for (double v : out) largest = std::max(largest, std::abs(v));
    if (largest > 0) {
        for (double& v : out) v *= peak / largest;
    }
    return out;
}

std::vector<double> Noise(double rate, double seconds, double amplitude, uint32_t seed) {
    const size_t n = static_cast<size_t>(seconds * rate);
    std::vector<double> out(n);
    uint32_t state = seed ? seed : 1u;
    for (size_t i = 0; i < n; ++i) {
        // xorshift32: small, fast and the same on every machine.
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        out[i] = amplitude * (static_cast<double>(state) / 4294967295.0 * 2.0 - 1.0);
    }
    return out;
}

double DetuneCents(double hz, double cents) {
    return hz * std::pow(2.0, cents / 1200.0);
}

void Mix(std::vector<double>& a, const std::vector<double>& b) {
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) a[i] += b[i];
}

std::vector<int32_t> ToDeviceSamples(const std::vector<double>& signal) {
    std::vector<int32_t> out(signal.size());
    for (size_t i = 0; i < signal.size(); ++i) out[i] = ClipToInt(signal[i], 2147483648.0);
    return out;
}

std::vector<int32_t> ToInternalSamples(const std::vector<double>& signal) {
    std::vector<int32_t> out(signal.size());
    for (size_t i = 0; i < signal.size(); ++i) out[i] = ClipToInt(signal[i], 524288.0);
    return out;
}

}  // namespace tw::synth
