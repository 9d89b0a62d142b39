// Peak limiting by per-block gains with three blocks of look-ahead and a linear gain ramp per
// block, all in Q24 fixed point; crossfading by a linear Q24 ramp between the history of what
// was played and the new source.
#include "audio/source_adapters.h"

#include <algorithm>

namespace tw {

namespace {
// Limiter block lengths as fractions of a second.
constexpr int32_t kOpenEndedBlocksPerSecond = 70;
constexpr int32_t kBlocksPerSecond = 35;
}  // namespace

LPeakLimiter::LPeakLimiter(LSoundSource* inner, int32_t ceiling)
    : LSoundSource(inner->SampleRate(), inner->Channels()),
      inner_(SourceRef::Share(inner)),
      ceiling_(std::min(ceiling, kMaxCeiling)) {
    const int32_t perSecond = inner->IsOpenEnded() ? kOpenEndedBlocksPerSecond : kBlocksPerSecond;
    block_ = std::clamp(inner->SampleRate() / perSecond, kMinBlock, kMaxBlock);
    const size_t samples = static_cast<size_t>(block_) * Channels();
    current_.assign(samples, 0);
    next_.assign(samples, 0);
    after_.assign(samples, 0);
    peak_ = std::min(inner->NominalPeak(), ceiling_);
    Prime();
}

int32_t LPeakLimiter::BlockGain(const Sample* samples, int32_t count) const {
    const int32_t p = PeakOf(samples, count);
    if (ceiling_ >= p) return kUnityQ24;
    const int64_t gain = int64_t{ceiling_} * 512 / ((int64_t{p} + 64) >> 6);
    return static_cast<int32_t>(gain << 9);
}

void LPeakLimiter::ReadBlock(std::vector<Sample>& buffer) {
    const int32_t n = std::max(inner_->Read(buffer.data(), block_), 0);
    // Past the inner source's end the look-ahead holds silence.
    std::fill(buffer.begin() + static_cast<size_t>(n) * Channels(), buffer.end(), 0);
}

void LPeakLimiter::Prime() {
    const int32_t count = block_ * Channels();
    ReadBlock(current_);
    ReadBlock(next_);
    ReadBlock(after_);
    gPrev_ = gCur_ = BlockGain(current_.data(), count);
    gNext_ = BlockGain(next_.data(), count);
    gAfter_ = BlockGain(after_.data(), count);
    running_ = gCur_;
    UpdateRamp();
    offset_ = 0;
}

void LPeakLimiter::UpdateRamp() {
    const int64_t mean = (int64_t{gCur_} + gNext_ + gPrev_ + gAfter_) / 4 - running_;
    const int64_t lower = int64_t{std::min(gCur_, gNext_)} - running_;
    const int64_t d = std::min(mean, lower);
    step_ = static_cast<int32_t>(d / block_);
    running_ += static_cast<int32_t>(d % block_);
}

int32_t LPeakLimiter::Read(Sample* destination, int32_t frames) {
    const int channels = Channels();
    const int32_t n = static_cast<int32_t>(
        std::clamp<int64_t>(GetLength() - GetPosition(), 0, std::max(frames, 0)));
    int32_t done = 0;
    while (done < n) {
        if (offset_ == block_) {
            std::swap(current_, next_);
            std::swap(next_, after_);
            gPrev_ = gCur_;
            gCur_ = gNext_;
            gNext_ = gAfter_;
            ReadBlock(after_);
            gAfter_ = BlockGain(after_.data(), block_ * channels);
            UpdateRamp();
            offset_ = 0;
        }
        const int32_t piece = std::min(n - done, block_ - offset_);
        const Sample* in = current_.data() + static_cast<size_t>(offset_) * channels;
        Sample* out = destination + static_cast<size_t>(done) * channels;
        if (running_ >= kUnityQ24 && step_ == 0) {
            std::copy(in, in + static_cast<size_t>(piece) * channels, out);
        } else {
            for (int32_t i = 0; i < piece; ++i) {
                for (int c = 0; c < channels; ++c)
                    out[i * channels + c] = MulQ24(running_, in[i * channels + c]);
                running_ += step_;
            }
        }
        offset_ += piece;
        done += piece;
    }
    handedOut_ += n;
    return n;
}

int64_t LPeakLimiter::GetPosition() {
    return handedOut_;
}

int64_t LPeakLimiter::GetLength() {
    return inner_->GetLength();
}

void LPeakLimiter::Seek(int64_t frame) {
    inner_->Seek(frame);
    handedOut_ = inner_->GetPosition();
    Prime();
}

LHistorySource::LHistorySource(LSoundSource* inner, HistoryRing* history)
    : LSoundSource(inner->SampleRate(), inner->Channels()),
      inner_(SourceRef::Share(inner)),
      history_(history) {
    peak_ = inner->NominalPeak();
    if (Channels() <= kMaxChannels)
        staging_.assign(static_cast<size_t>(kStagingFrames) * Channels(), 0);
}

int32_t LHistorySource::Read(Sample* destination, int32_t frames) {
    const int channels = Channels();
    if (channels > kMaxChannels) {
        history_->crossfadePending = false;
        return inner_->Read(destination, frames);
    }
    int32_t done = 0;
    while (done < frames) {
        const int32_t want = std::min(frames - done, kStagingFrames);
        const int32_t n = inner_->Read(staging_.data(), want);
        if (n <= 0) break;
        const int64_t count = int64_t{n} * channels;
        HistoryRing& h = *history_;
        if (h.crossfadePending.exchange(false)) {
            // The new audio fades in over what the history holds at the same place.
            const int32_t delta = kUnityQ24 / n;
            int32_t c = kUnityQ24;
            int32_t f = 0;
            for (int32_t i = 0; i < n; ++i) {
                for (int ch = 0; ch < channels; ++ch) {
                    const int64_t k = int64_t{i} * channels + ch;
                    const Sample old = h.samples[(h.writeIndex + k) & (HistoryRing::kSize - 1)];
                    staging_[k] = MulQ24(f, staging_[k]) + MulQ24(c, old);
                }
                c -= delta;
                f += delta;
            }
        }
        for (int64_t k = 0; k < count; ++k) {
            h.samples[(h.writeIndex + k) & (HistoryRing::kSize - 1)] = staging_[k];
        }
        h.writeIndex = (h.writeIndex + count) & (HistoryRing::kSize - 1);
        std::copy(staging_.begin(), staging_.begin() + count,
                  destination + static_cast<size_t>(done) * channels);
        done += n;
        if (n < want) break;
    }
    return done;
}

void LHistorySource::Seek(int64_t frame) {
    const int64_t old = inner_->GetPosition();
    inner_->Seek(frame);
    const int64_t moved = (frame - old) * Channels();
    history_->writeIndex =
        ((history_->writeIndex + moved) % HistoryRing::kSize + HistoryRing::kSize) %
        HistoryRing::kSize;
}

}  // namespace tw
