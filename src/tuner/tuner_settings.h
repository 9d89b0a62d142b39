// The tuner's settings: the keys of sections "Settings" and "Player" with their types
// and defaults, as typed accessors over the settings store. Nothing is cached: every
// call reads or writes the store, so the main window and the preferences dialog see
// each other's writes at once.
//
// Thread: main thread (the store is safe elsewhere too, but its users are all there).
#pragma once

#include <cstdint>
#include <string>

namespace tw {

inline constexpr char kTunerSection[] = "Settings";
inline constexpr char kPlayerSection[] = "Player";

namespace tuner_keys {
inline constexpr char kInstrument[] = "Instrument";
inline constexpr char kTuning[] = "Tuning";
inline constexpr char kUserNote[] = "UserNote";
inline constexpr char kUserFreq[] = "UserFreq";
inline constexpr char kSoundInDevice[] = "SoundInDevice";
inline constexpr char kInputChannel[] = "InputChannel";
inline constexpr char kAlwaysOnTop[] = "AlwaysOnTop";
inline constexpr char kRunTimesRecording[] = "RunTimesRecording";
inline constexpr char kPlayerDevice[] = "Device";
}  // namespace tuner_keys

inline constexpr char kDefaultInstrument[] = "Guitar";
inline constexpr char kDefaultTuning[] = "Standard";
inline constexpr int kDefaultUserFreq = 440;
inline constexpr char kDefaultSoundInDevice[] = "[Default Sound In]";
inline constexpr char kDefaultInputChannel[] = "None";
// The "Player"/"Device" value that names the device "Default Playback Device".
inline constexpr char kDefaultSoundOutName[] = "[Default Sound Out]";
// The "No sound is heard" hint shows in at most this many runs.
inline constexpr unsigned kNoSoundHintRuns = 10;

std::string GetInstrumentName();
void SetInstrumentName(const std::string& name);
// Empty when the instrument has no tunings.
std::string GetTuningName();
void SetTuningName(const std::string& name);

// The position in TargetNoteNames chosen under "Select Target Note"; a stored value
// outside the list (116 or more, or negative) selects the first note, C0.
int GetUserNotePosition();
void SetUserNotePosition(int position);
// GetUserNotePosition as a note index (position + 12).
int32_t GetUserNote();

// Whole hertz; text without leading digits reads 0.
int GetUserFrequency();
void SetUserFrequency(int hz);

// `def` differs by reader: the main window's "[Default Sound In]", the preferences
// dialog's name of the system's default input device.
std::string GetSoundInDevice(const char* def = kDefaultSoundInDevice);
void SetSoundInDevice(const std::string& name);
// The channel index kept under the device key followed by "Channel".
int GetSoundInDeviceChannel();
void SetSoundInDeviceChannel(int channel);
std::string SoundInDeviceChannelKey();

std::string GetInputChannel();

bool GetAlwaysOnTop();
void SetAlwaysOnTop(bool on_top);

int GetRunTimesRecording();
void SetRunTimesRecording(int runs);
// Whether a check that read `runs` may show the hint: runs + 1, as unsigned, at most 10.
bool MayShowNoSoundHint(int runs);

// Section "Player": the output device of the reference tone; empty means the system's
// default output device.
std::string GetPlayerDevice();

// Text matching of the stored names against the pop-up texts: exact and case-sensitive,
// first match; -1 when none matches.
int FindInstrumentIndex(const std::string& name);
int FindTuningIndex(int instrument, const std::string& name);

// The instrument and tuning to restore at start. A name that matches nothing leaves the
// pop-up at its first item (index 0).
struct TunerChoice {
    int instrument = 0;
    int tuning = 0;
};
TunerChoice RestoreTunerChoice();

}  // namespace tw
