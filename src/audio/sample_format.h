// The one sample representation shared by capture, analysis and playback, its conversions
// to and from the device format, fixed-point gains, decibel tables and level measurements.
//
// Internal sample: a signed 32-bit int holding a 20-bit value (full scale +-2^19), channels
// interleaved. Device sample: 32-bit signed integer PCM. Everything per sample is integer
// arithmetic; floating point appears only in table construction and per-block dB conversions.
#pragma once

#include <cstdint>

namespace tw {

using Sample = int32_t;

// Full scale of an internal sample.
inline constexpr int32_t kInternalFullScale = 1 << 19;
// Shift between device samples (32-bit) and internal samples (20-bit).
inline constexpr int kDeviceShift = 12;
// A level byte of -127 means silence or below range.
inline constexpr int8_t kSilenceDb = -127;
// Q9: 512 means x1. Q24: 2^24 means x1.
inline constexpr int32_t kUnityQ9 = 512;
inline constexpr int32_t kUnityQ24 = 1 << 24;

// destination[i] = source[i] << 12.
void ToDeviceSamples(int32_t* destination, const Sample* source, int32_t count);
// destination[i] = (source[i] + 2048) >> 12, rounding to nearest.
void FromDeviceSamples(Sample* destination, const int32_t* source, int32_t count);
// In place: sample = (sample * gain) >> 9.
void ApplyGainQ9(int32_t gain, Sample* samples, int32_t count);
// Overflow-free approximation of (g * s) / 2^24; the low x low term is dropped.
int32_t MulQ24(int32_t gain, int32_t sample);

// Decibel tables indexed by a level byte; -127 and -128 map to 0.
int32_t AmplitudeOfDb(int d);
int32_t PowerOfDb(int d);
// amplitude[d] >> 15: 512 at 0 dB.
int32_t GainQ9OfDb(int d);

// Mean square of one channel, in units where full scale reads about 2^23.
int32_t MeanSquare(const Sample* samples, int32_t count, int channels, int channel);
int8_t MeanSquareDb(const Sample* samples, int32_t count, int channels, int channel);
int8_t AmplitudeToDb(double x);
double RoundHalfAway(double x);
int64_t MsToFrames(int64_t ms, int64_t rate);
int32_t PeakOf(const Sample* samples, int32_t count);

// Peak level of a block in whole dB against a reference peak of 2^17, rounded away from zero,
// -127 for silence: the level gate of the analysis and the capture level report both use it.
int8_t BlockPeakDb(const Sample* samples, int32_t count, int channels = 1, int channel = 0);

}  // namespace tw
