#include "platform/audio/virtual/signal_generator.h"

#include <algorithm>
#include <cmath>

namespace tw::hal {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kFullScale = 2147483647.0;
// The harmonic signal's partials, relative to the fundamental; the peak is scaled to the level.
constexpr double kHarmonics[] = {1.0, 0.5, 0.33, 0.25};

}  // namespace

SignalGenerator::SignalGenerator(const VirtualSignal& signal, int32_t rate)
    : signal_(signal), rate_(rate) {
    if (signal_.kind == VirtualSignal::Kind::kFile) {
        std::string error;
        file_ = SoundFileReader::Open(signal_.path, &error);
    }
}

bool SignalGenerator::Ready() const {
    return signal_.kind != VirtualSignal::Kind::kFile || file_ != nullptr;
}

void SignalGenerator::Fill(int32_t* destination, int32_t frames, int channels, int64_t first) {
    using Kind = VirtualSignal::Kind;
    switch (signal_.kind) {
        case Kind::kSilence:
        case Kind::kNothing:
            std::fill(destination, destination + static_cast<size_t>(frames) * channels, 0);
            return;
        case Kind::kGenerator:
            if (signal_.generator) {
                signal_.generator(destination, frames, channels, first);
            } else {
                std::fill(destination, destination + static_cast<size_t>(frames) * channels, 0);
            }
            return;
        case Kind::kTone:
        case Kind::kHarmonic: {
            const int partials = signal_.kind == Kind::kTone ? 1 : 4;
            double norm = 0;
            for (int k = 0; k < partials; ++k) norm += kHarmonics[k];
            const double scale = signal_.level * kFullScale / norm;
            for (int32_t i = 0; i < frames; ++i) {
                const double t = static_cast<double>(first + i) / rate_;
                for (int c = 0; c < channels; ++c) {
                    double v = 0;
                    for (int k = 0; k < partials; ++k) {
                        v += kHarmonics[k] * std::sin(kTwoPi * signal_.hz * (c + 1) * (k + 1) * t);
                    }
                    destination[static_cast<size_t>(i) * channels + c] =
                        static_cast<int32_t>(std::lround(v * scale));
                }
            }
            return;
        }
        case Kind::kFile:
            FillFromFile(destination, frames, channels);
            return;
    }
}

void SignalGenerator::FillFromFile(int32_t* destination, int32_t frames, int channels) {
    const int fileChannels = file_->Channels();
    scratch_.resize(static_cast<size_t>(frames) * fileChannels);
    int32_t done = 0;
    while (done < frames) {
        const int64_t n = file_->Read(scratch_.data(), frames - done);
        if (n <= 0) {
            // Looped, so that a short clip plays for as long as the device runs.
            if (!file_->Rewind() || ++rewinds_ > 1000000) break;
            continue;
        }
        for (int64_t i = 0; i < n; ++i) {
            for (int c = 0; c < channels; ++c) {
                destination[static_cast<size_t>(done + i) * channels + c] =
                    scratch_[static_cast<size_t>(i) * fileChannels + c % fileChannels];
            }
        }
        done += static_cast<int32_t>(n);
    }
    std::fill(destination + static_cast<size_t>(done) * channels,
              destination + static_cast<size_t>(frames) * channels, 0);
}

}  // namespace tw::hal
