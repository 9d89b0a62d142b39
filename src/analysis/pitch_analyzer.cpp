#include "analysis/pitch_analyzer.h"

#include <strings.h>

#include "analysis/rate_converter.h"
#include "audio/device_catalogue.h"

namespace tw {

LPitchAnalyzerSink::LPitchAnalyzerSink(LPitchAnalyzer* analyzer)
    : LSoundSink(kAnalysisRate, 1), analyzer_(analyzer) {}

// Capture thread.
void LPitchAnalyzerSink::WriteBlock(const Sample* samples, int32_t frames) {
    // A paused core ignores the block itself; only a real block reaches it.
    if (frames > 0) analyzer_->core_.ProcessBlock(samples, static_cast<uint32_t>(frames));
}

LPitchAnalyzer::LPitchAnalyzer(const MillisecondClock* clock)
    : LSoundRecorder(&ConverterFor), core_(clock) {}

LPitchAnalyzer::~LPitchAnalyzer() {
    // The capture thread and the converter's final flush call into the core: both happen
    // before the core goes.
    Shutdown();
}

void LPitchAnalyzer::StartAnalysis(const char* deviceName, const char* channelName) {
    core_.SetPaused(false);
    if (State() != kStopped) return;

    DeviceSelection selection{0, 0, false};
    int32_t index = 0;
    if (FindInputDeviceByName(deviceName ? deviceName : "", &index, nullptr)) {
        selection.deviceIndex = index;
    } else if (GetDefaultInputDevice(&index, nullptr) && index >= 0) {
        // A name that matches no device ("[Default Sound In]", an empty name, a device that
        // was unplugged) opens the system's default input: on Linux the sound server, where
        // the first device of the list is a raw card that the server may hold.
        selection.deviceIndex = index;
    }
    // The channel count is asked anew on each pass, as devices may change meanwhile.
    const std::string wanted = channelName ? channelName : "";
    for (int32_t i = 0; i < CountChannels(selection.deviceIndex); ++i) {
        if (strcasecmp(GetChannelName(selection.deviceIndex, i).c_str(), wanted.c_str()) == 0) {
            selection.channelIndex = i;
            break;
        }
    }
    SetInputSelection(selection);

    SinkRef sink = SinkRef::Adopt(new LPitchAnalyzerSink(this));
    Start(sink.get(), 0, kStartThresholdDb, kSilenceTimeoutMs, kFlags);
}

}  // namespace tw
