#include "tuner/tuner_settings.h"

#include "store/settings.h"
#include "tuner/notes.h"

namespace tw {

namespace {

int FindName(const char* const* list, const std::string& name) {
    for (int i = 0; list != nullptr && list[i] != nullptr; ++i) {
        if (name == list[i]) return i;
    }
    return -1;
}

}  // namespace

std::string GetInstrumentName() {
    return GetSetting(kTunerSection, tuner_keys::kInstrument, kDefaultInstrument);
}
void SetInstrumentName(const std::string& name) {
    SetSetting(kTunerSection, tuner_keys::kInstrument, name.c_str());
}

std::string GetTuningName() {
    return GetSetting(kTunerSection, tuner_keys::kTuning, kDefaultTuning);
}
void SetTuningName(const std::string& name) {
    SetSetting(kTunerSection, tuner_keys::kTuning, name.c_str());
}

int GetUserNotePosition() {
    const int position = GetSettingInt(kTunerSection, tuner_keys::kUserNote, 0);
    // The pop-up selects its first item for any position past its end.
    return position >= 0 && position < kTargetNoteCount ? position : 0;
}
void SetUserNotePosition(int position) {
    SetSettingInt(kTunerSection, tuner_keys::kUserNote, position);
}
int32_t GetUserNote() {
    return TargetNoteToIndex(GetUserNotePosition());
}

int GetUserFrequency() {
    return GetSettingInt(kTunerSection, tuner_keys::kUserFreq, kDefaultUserFreq);
}
void SetUserFrequency(int hz) {
    SetSettingInt(kTunerSection, tuner_keys::kUserFreq, hz);
}

std::string GetSoundInDevice(const char* def) {
    return GetSetting(kTunerSection, tuner_keys::kSoundInDevice, def);
}
void SetSoundInDevice(const std::string& name) {
    SetSetting(kTunerSection, tuner_keys::kSoundInDevice, name.c_str());
}

std::string SoundInDeviceChannelKey() {
    return std::string(tuner_keys::kSoundInDevice) + "Channel";
}
int GetSoundInDeviceChannel() {
    return GetSettingInt(kTunerSection, SoundInDeviceChannelKey().c_str(), 0);
}
void SetSoundInDeviceChannel(int channel) {
    SetSettingInt(kTunerSection, SoundInDeviceChannelKey().c_str(), channel);
}

std::string GetInputChannel() {
    return GetSetting(kTunerSection, tuner_keys::kInputChannel, kDefaultInputChannel);
}

bool GetAlwaysOnTop() {
    return GetSettingBool(kTunerSection, tuner_keys::kAlwaysOnTop, false);
}
void SetAlwaysOnTop(bool on_top) {
    SetSettingBool(kTunerSection, tuner_keys::kAlwaysOnTop, on_top);
}

int GetRunTimesRecording() {
    return GetSettingInt(kTunerSection, tuner_keys::kRunTimesRecording, 0);
}
void SetRunTimesRecording(int runs) {
    SetSettingInt(kTunerSection, tuner_keys::kRunTimesRecording, runs);
}
bool MayShowNoSoundHint(int runs) {
    // Unsigned, so that a counter of -1 still counts as a first run and a wrapped one
    // never does.
    return static_cast<unsigned>(runs) + 1u <= kNoSoundHintRuns;
}

std::string GetPlayerDevice() {
    return GetSetting(kPlayerSection, tuner_keys::kPlayerDevice, "");
}

int FindInstrumentIndex(const std::string& name) {
    return FindName(InstrumentNames(), name);
}

int FindTuningIndex(int instrument, const std::string& name) {
    return FindName(TuningNamesOf(instrument), name);
}

TunerChoice RestoreTunerChoice() {
    TunerChoice choice;
    const int instrument = FindInstrumentIndex(GetInstrumentName());
    if (instrument >= 0) choice.instrument = instrument;
    const int tuning = FindTuningIndex(choice.instrument, GetTuningName());
    if (tuning >= 0) choice.tuning = tuning;
    return choice;
}

}  // namespace tw
