// Deterministic signal synthesis for the demo clip, the tests and the benchmarks.
// Signals are doubles in -1..1 of full scale unless said otherwise.
#pragma once

#include <cstdint>
#include <vector>

namespace tw::synth {

// A steady tone: harmonic n (1-based) has amplitude amplitudes[n-1] (relative to full scale)
// and a phase that varies with n so that the waveform is not a symmetric pulse.
std::vector<double> HarmonicTone(double f0, double rate, double seconds,
                                 const std::vector<double>& amplitudes);

// A plucked string by additive synthesis: exactly harmonic partials whose levels follow a pluck
// a fifth of the way along the string and whose decay quickens with the partial number.
// `peak` is the largest absolute value of the result.
std::vector<double> PluckedString(double f0, double rate, double seconds, double peak);

// White noise from a fixed seed, uniform in -amplitude..amplitude.
std::vector<double> Noise(double rate, double seconds, double amplitude, uint32_t seed);

// Frequency `cents` away from `hz`.
double DetuneCents(double hz, double cents);

// In place: a += b (b may be shorter).
void Mix(std::vector<double>& a, const std::vector<double>& b);

// Full-scale 32-bit device samples (clipped).
std::vector<int32_t> ToDeviceSamples(const std::vector<double>& signal);
// Internal samples: full scale +-2^19.
std::vector<int32_t> ToInternalSamples(const std::vector<double>& signal);

}  // namespace tw::synth
