// Sample-rate converter: polyphase FIR with an exact rational step.
//
// L phases and a step of M input frames per L outputs give M / L = input rate / output rate
// exactly. Each phase is a 15-tap Kaiser-windowed sinc in Q16, designed once; the per-sample
// path is integer multiply-adds only. Input is pre-shifted right by 4 so that the products fit,
// and the two half-sums are shifted by 1 and the result by 11: the overall gain is 1.
#include "analysis/rate_converter.h"

#include <algorithm>
#include <cmath>

#include "analysis/spectrum.h"

namespace tw {

namespace {

// Kaiser parameters: a gentle window when upsampling, a steeper one when decimating, with the
// cut-off pulled below the output Nyquist frequency by this much.
constexpr double kUpBeta = 2.12;
constexpr double kUpCutoff = 0.975;
constexpr double kDownBeta = 4.538;
constexpr double kDownCutoffMargin = 0.046875;
// Half-width of the window in taps: 64 = 8 x 8.
constexpr double kWindowHalfWidthSquared = 64.0;
// Q16 taps.
constexpr double kTapScale = 65536.0;
// Leading zero frames after a reset put the centre tap on input frame 0.
constexpr int32_t kLeadFrames = 7;
// Zero frames that flush the tail.
constexpr int32_t kFlushFrames = 8;
// Input samples lose 4 bits before filtering so that 15 Q16 products fit.
constexpr int kPreShift = 4;

// Modified Bessel function of the first kind, order 0: seven terms of its power series.
long double BesselI0(long double z) {
    const long double q = z * z / 4.0L;
    long double sum = 0.0L, term = 1.0L;
    for (int k = 0; k <= 6; ++k) {
        if (k > 0) term *= q / (static_cast<long double>(k) * k);
        sum += term;
    }
    return sum;
}

int32_t RoundHalfAwayToInt(long double v) {
    return static_cast<int32_t>(v >= 0 ? std::floor(v + 0.5L) : std::ceil(v - 0.5L));
}

}  // namespace

LRateConverter::LRateConverter(LSoundSink* next, int32_t inputRate)
    : LSoundSink(inputRate, next->Channels()),
      next_(SinkRef::Share(next)),
      history_(static_cast<size_t>(kBlockFrames + kTaps) * next->Channels()),
      output_(static_cast<size_t>(kBlockFrames) * next->Channels()) {
    Design(inputRate, next->SampleRate());
    Reset();
    length_ = static_cast<int32_t>(MsToFrames(next->PositionMs(), inputRate));
}

LRateConverter::~LRateConverter() {
    Finish();
}

void LRateConverter::Design(int32_t a, int32_t b) {
    const int64_t rem = a % b;
    int64_t l = 1;
    while ((rem * l) % b != 0) ++l;
    phases_ = static_cast<int32_t>(l);
    step_ = static_cast<int32_t>((static_cast<int64_t>(a) * l) / b);
    if (step_ == 0) step_ = 1;

    const double beta = a < b ? kUpBeta : kDownBeta;
    const double fc = a < b ? kUpCutoff : static_cast<double>(b) / a - kDownCutoffMargin;
    const double scale = fc * kTapScale;
    const int32_t centre = static_cast<int32_t>(scale + 0.5);
    const long double i0Beta = BesselI0(beta);

    coefficients_.assign(static_cast<size_t>(phases_) * kTaps, 0);
    for (int32_t p = 0; p < phases_; ++p) {
        for (int j = 0; j < kTaps; ++j) {
            const double x = (j - kCentre) - static_cast<double>(p) / phases_;
            int32_t tap;
            if (x == 0.0) {
                tap = centre;
            } else {
                const long double w =
                    BesselI0(beta * std::sqrt(1.0 - x * x / kWindowHalfWidthSquared));
                const double arg = fc * kPi * x;
                const double s = std::sin(arg) / arg;
                tap = RoundHalfAwayToInt((scale / i0Beta) * w * s);
            }
            coefficients_[static_cast<size_t>(p) * kTaps + j] = tap;
        }
    }
}

void LRateConverter::Reset() {
    held_ = kLeadFrames * channels_;
    skip_ = 0;
    std::fill(history_.begin(), history_.begin() + held_, 0);
    phase_ = 0;
}

void LRateConverter::Finish() {
    const std::vector<Sample> zeros(static_cast<size_t>(kFlushFrames) * channels_, 0);
    Append(zeros.data(), kFlushFrames);
    Run();
}

void LRateConverter::Append(const Sample* samples, int32_t frames) {
    // Steps of more than 15 input frames per output can run past the input; those frames
    // are skipped as they arrive.
    const int32_t skipped = std::min(frames, skip_);
    skip_ -= skipped;
    samples += static_cast<size_t>(skipped) * channels_;
    const int32_t count = (frames - skipped) * channels_;
    for (int32_t i = 0; i < count; ++i) history_[held_ + i] = samples[i] >> kPreShift;
    held_ += count;
}

void LRateConverter::WriteBlock(const Sample* samples, int32_t frames) {
    length_ += frames;
    // The history has room for one block of up to 8192 frames beside what the filter holds back.
    while (frames > 0) {
        const int32_t piece = std::min(frames, kBlockFrames);
        Append(samples, piece);
        Run();
        samples += static_cast<size_t>(piece) * channels_;
        frames -= piece;
    }
}

void LRateConverter::TrimTo(int32_t q) {
    Finish();
    length_ = q;
    const int64_t l = phases_, m = step_;
    next_->TrimTo(static_cast<int32_t>(l * (q / m) + l * (q % m) / m));
    Reset();
}

void LRateConverter::Run() {
    const int32_t ch = channels_;
    const int32_t available = held_ / ch;
    int32_t d = 0, c = 0;
    while (d < available - kTaps) {
        if (c > kBlockFrames - 1) {
            next_->WriteBlock(output_.data(), kBlockFrames);
            c = 0;
        }
        const int32_t* row = Row(phase_);
        for (int32_t k = 0; k < ch; ++k) {
            const Sample* x = &history_[static_cast<size_t>(d) * ch + k];
            // Sums are 64-bit: a full-scale input can overflow 32 bits.
            int64_t low = 0, high = 0;
            for (int t = 0; t <= kCentre; ++t) low += static_cast<int64_t>(row[t]) * x[t * ch];
            for (int t = kCentre + 1; t < kTaps; ++t)
                high += static_cast<int64_t>(row[t]) * x[t * ch];
            output_[static_cast<size_t>(c) * ch + k] =
                static_cast<Sample>(((low >> 1) + (high >> 1) + 1024) >> 11);
        }
        phase_ += step_;
        d += phase_ / phases_;
        phase_ %= phases_;
        ++c;
    }
    next_->WriteBlock(output_.data(), c);
    if (d > available) {
        skip_ = d - available;
        d = available;
    }
    const int32_t remaining = (available - d) * ch;
    std::copy(history_.begin() + static_cast<ptrdiff_t>(d) * ch,
              history_.begin() + static_cast<ptrdiff_t>(d) * ch + remaining, history_.begin());
    held_ = remaining;
}

SinkRef ConverterFor(int32_t inputRate, LSoundSink* next) {
    if (next->SampleRate() == inputRate) return SinkRef::Share(next);
    return SinkRef::Adopt(new LRateConverter(next, inputRate));
}

}  // namespace tw
