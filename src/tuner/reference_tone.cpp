#include "tuner/reference_tone.h"

#include <cmath>

#include "audio/device_catalogue.h"
#include "audio/sound_source.h"
#include "tuner/tuner_settings.h"

namespace tw {

namespace {

// The source is made at 0 dB and the player brings it up to the loudest clean level.
constexpr int8_t kToneLevelDb = 0;

SourceRef MakeTone(double hz) {
    return SourceRef::Adopt(new LToneSource(ReferenceTone::kSampleRate, PlayableToneFrequency(hz),
                                            LToneSource::kSine, kToneLevelDb,
                                            LToneSource::kReferenceLengthMs));
}

}  // namespace

double PlayableToneFrequency(double hz) {
    const double nyquist = ReferenceTone::kSampleRate / 2.0;
    return std::isfinite(hz) && hz > 0 && hz < nyquist ? hz : 0.0;
}

ReferenceTone::~ReferenceTone() {
    Stop();
}

bool ReferenceTone::Start(double hz) {
    SourceRef tone = MakeTone(hz);
    frequency_ = PlayableToneFrequency(hz);
    player_.SetVolume(LToneSource::kReferenceVolumeDb);
    OutputSelection output;
    output.deviceIndex = OutputDeviceIndexByName(GetPlayerDevice());
    player_.SetDevice(output);
    return player_.Play(tone.get(), false);
}

void ReferenceTone::Stop() {
    player_.StopPlayback();
}

void ReferenceTone::Follow(double hz) {
    if (!player_.IsPlaying()) return;
    SourceRef tone = MakeTone(hz);
    frequency_ = PlayableToneFrequency(hz);
    player_.LockFeeder();
    player_.ReplaceSource(tone.get());
    player_.Resync(true);
    player_.UnlockFeeder();
    // Our reference goes with `tone`; the player holds its own.
}

}  // namespace tw
