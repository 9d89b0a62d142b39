#include "analysis/offline_analysis.h"

#include <algorithm>

#include "analysis/rate_converter.h"
#include "audio/sample_format.h"

namespace tw {

namespace {

// Capture buffers hold about 100 ms, within these bounds.
constexpr int32_t kMinBlockFrames = 512;
constexpr int32_t kMaxBlockFrames = 8192;

// The end of the chain: hands every block to the analysis core at 16000 Hz, mono.
class CoreSink final : public LSoundSink {
  public:
    explicit CoreSink(AnalysisCore& core) : LSoundSink(kAnalysisRate, 1), core_(core) {}
    void WriteBlock(const Sample* samples, int32_t frames) override {
        if (frames > 0) core_.ProcessBlock(samples, static_cast<uint32_t>(frames));
    }

  private:
    AnalysisCore& core_;
};

}  // namespace

int32_t CaptureBlockFrames(int32_t rate) {
    return std::clamp(static_cast<int32_t>(0.1 * rate), kMinBlockFrames, kMaxBlockFrames);
}

uint32_t OfflineAnalysis::AudioClock::NowMilliseconds() const {
    return static_cast<uint32_t>(core_.FrameEndSample() * 1000 / kAnalysisRate);
}

OfflineAnalysis::OfflineAnalysis(int32_t inputRate, PublicationListener* listener)
    : clock_(core_), blockFrames_(CaptureBlockFrames(inputRate)), internal_(blockFrames_) {
    core_.SetClock(&clock_);
    core_.SetListener(listener);
    SinkRef sink = SinkRef::Adopt(new CoreSink(core_));
    chain_ = ConverterFor(inputRate, sink.get());
}

OfflineAnalysis::~OfflineAnalysis() {
    Finish();
}

void OfflineAnalysis::WriteDeviceBlock(const int32_t* samples, int32_t frames) {
    if (!chain_) return;
    while (frames > 0) {
        const int32_t piece = std::min(frames, blockFrames_);
        FromDeviceSamples(internal_.data(), samples, piece);
        chain_->WriteBlock(internal_.data(), piece);
        samples += piece;
        frames -= piece;
    }
}

void OfflineAnalysis::Finish() {
    // Dropping the last reference to a converter flushes its tail into the core.
    chain_ = SinkRef();
}

}  // namespace tw
