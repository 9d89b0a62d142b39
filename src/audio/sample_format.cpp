#include "audio/sample_format.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tw {

namespace {

// Level bytes span -128..127; the tables are indexed by d + 128.
constexpr int kDbTableSize = 256;
constexpr int kDbTableOffset = 128;

struct DecibelTables {
    std::array<int32_t, kDbTableSize> amplitude{};
    std::array<int32_t, kDbTableSize> power{};

    DecibelTables() {
        for (int d = -126; d <= 127; ++d) {
            amplitude[d + kDbTableOffset] = Entry(std::pow(10.0, d * 0.05));
            power[d + kDbTableOffset] = Entry(std::pow(10.0, d * 0.1));
        }
        // -127 (silence) and -128 stay 0.
    }

    static int32_t Entry(double ratio) {
        // round(x) is the integer part of x + 0.5, capped at the largest int.
        const double v = std::floor(ratio * 16777216.0 + 0.5);
        return v >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(v);
    }
};

// Built on first use and never freed; C++ makes the first use thread-safe.
const DecibelTables& Tables() {
    static const DecibelTables tables;
    return tables;
}

int TableIndex(int d) {
    return std::clamp(d, -128, 127) + kDbTableOffset;
}

}  // namespace

void ToDeviceSamples(int32_t* destination, const Sample* source, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        // Unsigned shift: left-shifting a negative value is well defined only since C++20,
        // and a value outside +-2^19 must wrap rather than be undefined.
        destination[i] = static_cast<int32_t>(static_cast<uint32_t>(source[i]) << kDeviceShift);
    }
}

void FromDeviceSamples(Sample* destination, const int32_t* source, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        // Widened so that the rounding offset cannot overflow near +2^31.
        destination[i] =
            static_cast<Sample>((static_cast<int64_t>(source[i]) + 2048) >> kDeviceShift);
    }
}

void ApplyGainQ9(int32_t gain, Sample* samples, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        samples[i] = static_cast<Sample>((static_cast<int64_t>(samples[i]) * gain) >> 9);
    }
}

int32_t MulQ24(int32_t g, int32_t s) {
    // Products in 64 bits so that out-of-range arguments wrap instead of being undefined.
    const int64_t gh = g >> 12, gl = g & 0xFFF;
    const int64_t sh = s >> 12, sl = s & 0xFFF;
    return static_cast<int32_t>(gh * sh + ((gh * sl) >> 12) + ((gl * sh) >> 12));
}

int32_t AmplitudeOfDb(int d) {
    return Tables().amplitude[TableIndex(d)];
}
int32_t PowerOfDb(int d) {
    return Tables().power[TableIndex(d)];
}
int32_t GainQ9OfDb(int d) {
    return AmplitudeOfDb(d) >> 15;
}

int32_t MeanSquare(const Sample* samples, int32_t count, int channels, int channel) {
    if (count <= 0) return 0;
    if (channels < 1) channels = 1;
    // Split accumulation: hi takes e^2 >> 13, lo the low 13 bits, so neither overflows.
    uint64_t hi = 0, lo = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int64_t e = samples[static_cast<int64_t>(i) * channels + channel] >> 5;
        const uint64_t sq = static_cast<uint64_t>(e * e);
        hi += sq >> 13;
        lo += sq & 0x1FFF;
    }
    const uint64_t total = hi + (lo >> 13);
    const uint64_t n = static_cast<uint64_t>(count);
    return static_cast<int32_t>((total % n) * 8192 / n + (total / n) * 8192);
}

int8_t MeanSquareDb(const Sample* samples, int32_t count, int channels, int channel) {
    const int32_t m = MeanSquare(samples, count, channels, channel);
    if (m == 0) return kSilenceDb;
    double v = 10.0 * std::log10(m * 1.1920903375594525e-7);
    v += (m < 8388626) ? -0.5 : 0.5;
    const int32_t r = static_cast<int32_t>(v);
    if (r >= 128) return 127;
    if (r < -127) return kSilenceDb;
    return static_cast<int8_t>(r);
}

double RoundHalfAway(double x) {
    return x >= 0 ? std::floor(x + 0.5) : std::ceil(x - 0.5);
}

int8_t AmplitudeToDb(double x) {
    if (x <= 0) return kSilenceDb;
    const double v = std::clamp(20.0 * std::log10(x), -127.0, 127.0);
    return static_cast<int8_t>(RoundHalfAway(v));
}

int64_t MsToFrames(int64_t ms, int64_t rate) {
    return rate * (ms / 1000) + rate * (ms % 1000) / 1000;
}

int32_t PeakOf(const Sample* samples, int32_t count) {
    int32_t largest = 0, smallest = 0;
    for (int32_t i = 0; i < count; ++i) {
        largest = std::max(largest, samples[i]);
        smallest = std::min(smallest, samples[i]);
    }
    // -INT32_MIN does not exist; such a sample is far outside the 20-bit range anyway.
    return std::max(largest, smallest == INT32_MIN ? INT32_MAX : -smallest);
}

int8_t BlockPeakDb(const Sample* samples, int32_t count, int channels, int channel) {
    // Reference peak 2^17 reads as 0 dB.
    constexpr int32_t kReferencePeak = 131072;
    int32_t largest = 0, smallest = 0;
    for (int32_t i = 0; i < count; ++i) {
        const Sample s = samples[static_cast<int64_t>(i) * channels + channel];
        largest = std::max(largest, s);
        smallest = std::min(smallest, s);
    }
    const int32_t peak = std::max(largest, smallest == INT32_MIN ? INT32_MAX : -smallest);
    if (peak == 0) return kSilenceDb;
    double x = 20.0 * std::log10(peak * 7.62939453125e-6);
    x += (peak >= kReferencePeak) ? 0.5 : -0.5;
    const int32_t r = static_cast<int32_t>(x);
    return static_cast<int8_t>(std::clamp(r, -127, 127));
}

}  // namespace tw
