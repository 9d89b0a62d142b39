#include "tuner/notes.h"

#include <cmath>

namespace tw {

namespace {

constexpr int kNameableNotes = 156;  // the octave texts cover indices 0..155
// Bits of the pitch classes that are sharps: 1, 3, 6, 8, 10.
constexpr uint32_t kSharpMask = 0x54A;

constexpr const char* kPitchClassNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                              "F#", "G",  "G#", "A",  "A#", "B"};
constexpr const char* kNoteLetters[12] = {"C", "C", "D", "D", "E", "F",
                                          "F", "G", "G", "A", "A", "B"};
constexpr const char* kOctaveTexts[13] = {"",  "0", "1", "2", "3",  "4", "5",
                                          "6", "7", "8", "9", "10", "11"};

struct TargetNames {
    std::string storage[kTargetNoteCount];
    const char* list[kTargetNoteCount + 1];
    TargetNames() {
        for (int k = 0; k < kTargetNoteCount; ++k) {
            const int note = k + kFirstTargetNote;
            // The octave digit stands before the sharp: "C4#".
            storage[k] = std::string(kNoteLetters[note % 12]) + kOctaveTexts[note / 12] +
                         (IsSharpNote(note) ? "#" : "");
            list[k] = storage[k].c_str();
        }
        list[kTargetNoteCount] = nullptr;
    }
};

constexpr const char* kInstrumentNames[kInstrumentCount + 1] = {"None",
                                                                "Select Target Note",
                                                                "Select Target Frequency",
                                                                "Banjo",
                                                                "Baritone Guitar",
                                                                "Bass Guitar",
                                                                "Cello",
                                                                "Double Bass",
                                                                "Fiddle",
                                                                "Guitar",
                                                                "Mandolin",
                                                                "Ukulele",
                                                                "Viola",
                                                                "Violin",
                                                                nullptr};

struct Instrument {
    const char* const* names;
    const int32_t* const* notes;
};

constexpr int32_t kEmpty[] = {-1};
constexpr const char* kNoNames[] = {nullptr};
constexpr const int32_t* kNoNotes[] = {kEmpty};

constexpr const char* kBanjoNames[] = {"Standard G",  "Double C",       "G Modal", "Drop C",
                                       "Tenor Banjo", "Plectrum Banjo", nullptr};
constexpr int32_t kBanjoStandardG[] = {67, 50, 55, 59, 62, -1};
constexpr int32_t kBanjoDoubleC[] = {67, 48, 55, 60, 62, -1};  // also "Drop C"
constexpr int32_t kBanjoGModal[] = {67, 50, 55, 60, 62, -1};
constexpr int32_t kBanjoTenor[] = {48, 55, 62, 69, -1};
constexpr int32_t kBanjoPlectrum[] = {48, 55, 59, 62, -1};
constexpr const int32_t* kBanjoNotes[] = {kBanjoStandardG, kBanjoDoubleC, kBanjoGModal,
                                          kBanjoDoubleC,   kBanjoTenor,   kBanjoPlectrum};

constexpr const char* kBaritoneNames[] = {"Standard 4th Lower", "Standard 5th Lower",
                                          "Octave Lower", nullptr};
constexpr int32_t kBaritone4th[] = {35, 40, 45, 50, 54, 59, -1};
constexpr int32_t kBaritone5th[] = {33, 38, 43, 48, 52, 57, -1};
constexpr int32_t kBaritoneOctave[] = {28, 33, 38, 43, 47, 52, -1};
constexpr const int32_t* kBaritoneNotes[] = {kBaritone4th, kBaritone5th, kBaritoneOctave};

constexpr const char* kBassNames[] = {"Standard", "5 string", "6 string", nullptr};
constexpr int32_t kBassStandard[] = {28, 33, 38, 43, -1};
constexpr int32_t kBass5[] = {23, 28, 33, 38, 43, -1};
constexpr int32_t kBass6[] = {23, 28, 33, 38, 43, 48, -1};
constexpr const int32_t* kBassNotes[] = {kBassStandard, kBass5, kBass6};

constexpr const char* kCelloNames[] = {"Standard", "5th suite", "Zoltan Kodaly", nullptr};
constexpr int32_t kCelloStandard[] = {36, 43, 50, 57, -1};
constexpr int32_t kCello5thSuite[] = {36, 43, 50, 55, -1};
constexpr int32_t kCelloKodaly[] = {35, 42, 50, 57, -1};
constexpr const int32_t* kCelloNotes[] = {kCelloStandard, kCello5thSuite, kCelloKodaly};

constexpr const char* kDoubleBassNames[] = {"Orchestral", "Solo", nullptr};
constexpr int32_t kDoubleBassOrchestral[] = {28, 33, 38, 43, -1};
constexpr int32_t kDoubleBassSolo[] = {30, 35, 40, 45, -1};
constexpr const int32_t* kDoubleBassNotes[] = {kDoubleBassOrchestral, kDoubleBassSolo};

constexpr const char* kFiddleNames[] = {"Standard",
                                        "Cajun",
                                        "Open G",
                                        "Sawmill",
                                        "Gee-dad",
                                        "Open D",
                                        "Old-timey D",
                                        "Cross, High bass, High counter",
                                        "Calico, Black Mountain Rag",
                                        "Sweden",
                                        nullptr};
constexpr int32_t kFiddleStandard[] = {55, 62, 69, 76, -1};
constexpr int32_t kFiddleCajun[] = {53, 60, 67, 77, -1};
constexpr int32_t kFiddleOpenG[] = {55, 62, 67, 71, -1};
constexpr int32_t kFiddleSawmill[] = {55, 62, 67, 74, -1};
constexpr int32_t kFiddleGeeDad[] = {55, 62, 69, 74, -1};
constexpr int32_t kFiddleOpenD[] = {50, 62, 69, 74, -1};
constexpr int32_t kFiddleOldTimeyD[] = {57, 62, 69, 76, -1};
constexpr int32_t kFiddleCross[] = {57, 64, 69, 76, -1};
constexpr int32_t kFiddleCalico[] = {57, 64, 69, 73, -1};  // also "Sweden"
constexpr const int32_t* kFiddleNotes[] = {
    kFiddleStandard, kFiddleCajun,     kFiddleOpenG, kFiddleSawmill, kFiddleGeeDad,
    kFiddleOpenD,    kFiddleOldTimeyD, kFiddleCross, kFiddleCalico,  kFiddleCalico};

constexpr const char* kGuitarNames[] = {
    "Standard",     "Asus2",         "Asus4",        "Dsus2",        "Dsus4 (DADGAD)",
    "Gsus2",        "Gsus4",         "Drop B",       "Drop C",       "Drop C#",
    "Drop D",       "Double drop D", "Open A major", "Open A minor", "Open C major",
    "Open C minor", "Open D major",  "Open D minor", "Open E major", "Open E minor",
    "Open G major", "Open G minor",  nullptr};
constexpr int32_t kGuitarStandard[] = {40, 45, 50, 55, 59, 64, -1};
constexpr int32_t kGuitarAsus2[] = {40, 45, 47, 52, 57, 64, -1};
constexpr int32_t kGuitarAsus4[] = {40, 45, 50, 52, 57, 64, -1};
constexpr int32_t kGuitarDsus2[] = {38, 45, 50, 52, 57, 62, -1};
constexpr int32_t kGuitarDsus4[] = {38, 45, 50, 55, 57, 62, -1};
constexpr int32_t kGuitarGsus2[] = {38, 43, 50, 55, 57, 62, -1};
constexpr int32_t kGuitarGsus4[] = {38, 43, 50, 55, 60, 62, -1};
constexpr int32_t kGuitarDropB[] = {47, 42, 59, 52, 56, 61, -1};
constexpr int32_t kGuitarDropC[] = {36, 43, 48, 53, 57, 62, -1};
constexpr int32_t kGuitarDropCSharp[] = {37, 44, 49, 54, 58, 63, -1};
constexpr int32_t kGuitarDropD[] = {38, 45, 50, 55, 59, 64, -1};
constexpr int32_t kGuitarDoubleDropD[] = {38, 45, 50, 55, 59, 62, -1};
constexpr int32_t kGuitarOpenAMajor[] = {40, 45, 52, 57, 49, 64, -1};
constexpr int32_t kGuitarOpenAMinor[] = {40, 45, 52, 57, 48, 64, -1};
constexpr int32_t kGuitarOpenCMajor[] = {36, 43, 48, 55, 60, 64, -1};
constexpr int32_t kGuitarOpenCMinor[] = {36, 43, 48, 55, 60, 63, -1};
constexpr int32_t kGuitarOpenDMajor[] = {38, 45, 50, 54, 57, 62, -1};
constexpr int32_t kGuitarOpenDMinor[] = {38, 45, 50, 53, 57, 62, -1};
constexpr int32_t kGuitarOpenEMajor[] = {40, 47, 52, 56, 59, 64, -1};
constexpr int32_t kGuitarOpenEMinor[] = {40, 47, 52, 55, 59, 64, -1};
constexpr int32_t kGuitarOpenGMajor[] = {38, 43, 50, 55, 59, 62, -1};
constexpr int32_t kGuitarOpenGMinor[] = {38, 43, 50, 55, 58, 62, -1};
constexpr const int32_t* kGuitarNotes[] = {
    kGuitarStandard,   kGuitarAsus2,       kGuitarAsus4,      kGuitarDsus2,      kGuitarDsus4,
    kGuitarGsus2,      kGuitarGsus4,       kGuitarDropB,      kGuitarDropC,      kGuitarDropCSharp,
    kGuitarDropD,      kGuitarDoubleDropD, kGuitarOpenAMajor, kGuitarOpenAMinor, kGuitarOpenCMajor,
    kGuitarOpenCMinor, kGuitarOpenDMajor,  kGuitarOpenDMinor, kGuitarOpenEMajor, kGuitarOpenEMinor,
    kGuitarOpenGMajor, kGuitarOpenGMinor};

constexpr const char* kMandolinNames[] = {"Standard",      "Low",     "Alto", "Mandola",
                                          "OctaveMandola", "Piccolo", nullptr};
constexpr int32_t kMandolinStandard[] = {55, 62, 69, 76, -1};
constexpr int32_t kMandolinLow[] = {53, 60, 67, 74, -1};
constexpr int32_t kMandolinAlto[] = {50, 57, 64, 71, -1};
constexpr int32_t kMandolinMandola[] = {48, 55, 62, 69, -1};
constexpr int32_t kMandolinOctave[] = {43, 50, 57, 64, -1};
constexpr int32_t kMandolinPiccolo[] = {60, 67, 74, 81, -1};
constexpr const int32_t* kMandolinNotes[] = {kMandolinStandard, kMandolinLow,    kMandolinAlto,
                                             kMandolinMandola,  kMandolinOctave, kMandolinPiccolo};

constexpr const char* kUkuleleNames[] = {"C", "D", "G", nullptr};
constexpr int32_t kUkuleleC[] = {67, 60, 64, 69, -1};
constexpr int32_t kUkuleleD[] = {69, 62, 66, 71, -1};
constexpr int32_t kUkuleleG[] = {62, 55, 59, 64, -1};
constexpr const int32_t* kUkuleleNotes[] = {kUkuleleC, kUkuleleD, kUkuleleG};

constexpr const char* kViolaNames[] = {"Standard", nullptr};
constexpr int32_t kViolaStandard[] = {48, 55, 62, 69, -1};
constexpr const int32_t* kViolaNotes[] = {kViolaStandard};

constexpr const char* kViolinNames[] = {"Standard", "Cajun", nullptr};
constexpr int32_t kViolinStandard[] = {55, 62, 69, 76, -1};
constexpr int32_t kViolinCajun[] = {53, 60, 67, 74, -1};
constexpr const int32_t* kViolinNotes[] = {kViolinStandard, kViolinCajun};

constexpr Instrument kTuningTable[kInstrumentCount] = {{kNoNames, kNoNotes},
                                                       {kNoNames, kNoNotes},
                                                       {kNoNames, kNoNotes},
                                                       {kBanjoNames, kBanjoNotes},
                                                       {kBaritoneNames, kBaritoneNotes},
                                                       {kBassNames, kBassNotes},
                                                       {kCelloNames, kCelloNotes},
                                                       {kDoubleBassNames, kDoubleBassNotes},
                                                       {kFiddleNames, kFiddleNotes},
                                                       {kGuitarNames, kGuitarNotes},
                                                       {kMandolinNames, kMandolinNotes},
                                                       {kUkuleleNames, kUkuleleNotes},
                                                       {kViolaNames, kViolaNotes},
                                                       {kViolinNames, kViolinNotes}};

const Instrument& InstrumentAt(int instrument) {
    if (instrument < 0 || instrument >= kInstrumentCount) instrument = 0;
    return kTuningTable[instrument];
}

bool Nameable(int32_t note) {
    return note >= 0 && note < kNameableNotes;
}

}  // namespace

float NoteFrequency(int32_t note) {
    const float d = static_cast<float>(note - kNoteA4) * 0.0833333358168602f;
    return static_cast<float>(std::pow(2.0, static_cast<double>(d)) * 440.0);
}

int32_t NearestNote(float frequency) {
    const float q = frequency * 0.0022727272f;
    double x = std::log10(static_cast<double>(q)) * 39.8631372154762 + 69.0;
    // 0 Hz, a negative or NaN frequency has no note: the lowest an int holds, rather than the
    // undefined conversion of -inf or NaN.
    constexpr double kLowest = -2147483647.0;
    constexpr double kHighest = 2147483647.0;
    if (!(x >= kLowest)) x = kLowest;
    if (x > kHighest) x = kHighest;
    int32_t n = static_cast<int32_t>(x);
    if (x - n > 0.5) n += 1;  // an exact half rounds down
    return n;
}

bool IsSharpNote(int32_t note) {
    const int32_t p = note % 12;
    return p >= 0 && p <= 10 && ((kSharpMask >> p) & 1u) != 0;
}

const char* NoteLetter(int32_t note) {
    return Nameable(note) ? kNoteLetters[note % 12] : "";
}

const char* PitchClassName(int32_t note) {
    return Nameable(note) ? kPitchClassNames[note % 12] : "";
}

const char* OctaveText(int32_t note) {
    return Nameable(note) ? kOctaveTexts[note / 12] : "";
}

std::string ScientificName(int32_t note) {
    // Floor division so that notes below C0 name octave -1 and lower.
    const int32_t pitchClass = ((note % 12) + 12) % 12;
    const int32_t octave = (note - pitchClass) / 12 - 1;
    return std::string(kPitchClassNames[pitchClass]) + std::to_string(octave);
}

double CentsFrom(double frequency, int32_t note) {
    return 1200.0 * std::log2(frequency / static_cast<double>(NoteFrequency(note)));
}

const char* const* TargetNoteNames() {
    static const TargetNames names;
    return names.list;
}

const char* const* InstrumentNames() {
    return kInstrumentNames;
}

const char* const* TuningNamesOf(int instrument) {
    return InstrumentAt(instrument).names;
}

int TuningCountOf(int instrument) {
    const char* const* names = TuningNamesOf(instrument);
    int count = 0;
    while (names[count]) ++count;
    return count;
}

const int32_t* TuningNotesOf(int instrument, int tuning) {
    if (instrument < 0 || instrument >= kInstrumentCount) instrument = 0;
    if (tuning < 0 || tuning >= TuningCountOf(instrument)) tuning = 0;
    return kTuningTable[instrument].notes[tuning];
}

std::span<const int32_t> NotesOfList(const int32_t* list) {
    size_t n = 0;
    while (static_cast<uint32_t>(list[n]) < 128u) ++n;
    return {list, n};
}

}  // namespace tw
