// The corpus: MIDI written here, rendered by fluidsynth, disturbances mixed in afterwards at
// exact levels (a second voice at -12 dB, hum or buzz 30 dB and noise 20 dB under the held
// notes).
// Vibrato is played through pitch bend, as a player's finger would move the pitch, and in one
// take with the level swinging along through expression.
#include "corpus/corpus.h"

#include <cmath>

#include "corpus/midi.h"
#include "platform/audio/sound_file.h"
#include "synth/synth.h"

namespace tw::corpus {

namespace {
constexpr double kTwoPi = 6.283185307179586;
constexpr int kVelocity = 96;
// A second voice a fifth or an octave above, 12 dB under the note.
constexpr double kSecondVoiceGain = 0.25119;
// Hum 30 dB and noise 20 dB under the RMS of the held notes.
constexpr double kHumUnderDb = 30.0;
constexpr double kNoiseUnderDb = 20.0;
// Hum as a transformer and a rectifier make it: the mains frequency and four harmonics.
const std::vector<double> kHumShape{1.0, 0.5, 0.3, 0.2, 0.1};
// A buzz as a dimmer or a ground loop through an amplifier makes it: twenty harmonics falling
// as n^-0.7, on a grid running 0.1 Hz low, at the hum's level.
constexpr double kBuzzMainsHz = 49.9;
constexpr int kBuzzHarmonics = 20;
constexpr double kBuzzSlope = 0.7;
// Vibrato: 6 Hz (and a slow 5 Hz, whose sidebands lie a fractional number of bins apart),
// +-15 cents, bend messages every 10 ms.
constexpr double kVibratoHz = 6.0;
constexpr double kSlowVibratoHz = 5.0;
constexpr double kVibratoCents = 15.0;
constexpr double kBendStepMs = 10.0;
// A bowed or blown note's level swings with its pitch: loudest at the flat end of the swing,
// this much quieter at the sharp end (partials moving over a body's resonances).
constexpr double kVibratoLevelDb = 6.0;
constexpr uint32_t kNoiseSeed = 2024;

double Rms(const std::vector<double>& signal, const std::vector<NoteSpan>& notes, int rate) {
    double sum = 0.0;
    size_t count = 0;
    for (const NoteSpan& n : notes) {
        const size_t first = static_cast<size_t>(n.onset * rate);
        const size_t last = std::min(signal.size(), static_cast<size_t>(n.offset * rate));
        for (size_t i = first; i < last; ++i, ++count) sum += signal[i] * signal[i];
    }
    return count ? std::sqrt(sum / count) : 0.0;
}

// `vibratoHz` 0 plays the notes without vibrato; `levelDb` swings the level with it.
std::string MidiFor(const Instrument& instrument, int transpose, double vibratoHz, double levelDb,
                    const std::string& workDir, std::vector<NoteSpan>& spans) {
    MidiTrack track;
    track.Program(0, instrument.program, 0.0);
    spans.clear();
    double at = kLeadInSeconds;
    for (int note : instrument.notes) {
        const double on = at * 1000.0, off = (at + kHoldSeconds) * 1000.0;
        track.NoteOn(0, note + transpose, kVelocity, on);
        if (vibratoHz > 0.0) {
            for (double ms = on; ms < off; ms += kBendStepMs) {
                const double swing = std::sin(kTwoPi * vibratoHz * (ms - on) / 1000.0);
                track.Bend(0, kVibratoCents * swing, ms);
                if (levelDb > 0.0) track.Expression(0, -levelDb * (1.0 + swing) / 2.0, ms);
            }
            track.Bend(0, 0.0, off);
            if (levelDb > 0.0) track.Expression(0, 0.0, off);
        }
        track.NoteOff(0, note + transpose, off);
        spans.push_back({note, at, at + kHoldSeconds});
        at += kHoldSeconds + kPauseSeconds;
    }
    const std::string path = workDir + "/take" + std::to_string(transpose) + ".mid";
    return track.Write(path) ? path : std::string();
}
}  // namespace

const std::vector<Instrument>& CorpusInstruments() {
    static const std::vector<Instrument> instruments = {
        {"nylon-guitar", 24, {40, 45, 50, 55, 59, 64}},
        {"steel-guitar", 25, {40, 45, 50, 55, 59, 64}},
        {"bass-5string", 33, {23, 28, 33, 38, 43}},
        {"violin", 40, {55, 62, 69, 76}},
        {"viola", 41, {48, 55, 62, 69}},
        {"cello", 42, {36, 43, 50, 57}},
        {"double-bass", 43, {28, 33, 38, 43}},
        {"piano", 0, {21, 33, 45, 57, 69, 84}},
        {"flute", 73, {60, 69, 81}},
        {"clarinet", 71, {50, 57, 69, 76}},
        {"trumpet", 56, {55, 62, 69, 74}},
        // Both soundfonts' choir sample is an ensemble: six or seven lines spread over 60 or 90
        // cents. "Voice" is the solo voice ("oohs"), one voice with faint companions.
        {"choir", 52, {48, 57, 64, 69}},
        {"voice", 53, {48, 57, 64, 69}},
    };
    return instruments;
}

const char* DisturbanceName(Disturbance d) {
    switch (d) {
        case Disturbance::kClean:
            return "clean";
        case Disturbance::kFifth:
            return "fifth-12dB";
        case Disturbance::kOctave:
            return "octave-12dB";
        case Disturbance::kHum50:
            return "hum50";
        case Disturbance::kHum60:
            return "hum60";
        case Disturbance::kBuzz:
            return "buzz49.9";
        case Disturbance::kNoise:
            return "noise20dB";
        case Disturbance::kVibrato:
            return "vibrato";
        case Disturbance::kVibratoSlow:
            return "vibrato5Hz";
        case Disturbance::kVibratoLevel:
            return "vibrato-level6dB";
    }
    return "?";
}

const std::vector<Disturbance>& AllDisturbances() {
    static const std::vector<Disturbance> all = {
        Disturbance::kClean,       Disturbance::kFifth,   Disturbance::kOctave,
        Disturbance::kHum50,       Disturbance::kHum60,   Disturbance::kBuzz,
        Disturbance::kNoise,       Disturbance::kVibrato, Disturbance::kVibratoSlow,
        Disturbance::kVibratoLevel};
    return all;
}

bool WriteTake(const Take& take, const std::string& folder, std::string* error) {
    std::string name = take.label;
    for (char& c : name) c = c == ' ' ? '-' : c;
    const auto device = synth::ToDeviceSamples(take.signal);
    return WriteSoundFile(folder + "/" + name + ".wav", SoundFileFormat::kWav16, take.rate, 1,
                          device.data(), static_cast<int64_t>(device.size()), error);
}

bool BuildTake(const Instrument& instrument, const Soundfont& soundfont, Disturbance disturbance,
               int rate, const std::string& workDir, Take& take, std::string* error) {
    take = Take{};
    take.rate = rate;
    take.label = std::string(instrument.name) + " " + soundfont.name + " " +
                 DisturbanceName(disturbance) + " " + std::to_string(rate);
    const double vibratoHz =
        disturbance == Disturbance::kVibrato || disturbance == Disturbance::kVibratoLevel
            ? kVibratoHz
        : disturbance == Disturbance::kVibratoSlow ? kSlowVibratoHz
                                                   : 0.0;
    const double levelDb = disturbance == Disturbance::kVibratoLevel ? kVibratoLevelDb : 0.0;
    const std::string midi = MidiFor(instrument, 0, vibratoHz, levelDb, workDir, take.notes);
    if (midi.empty()) {
        if (error) *error = "cannot write MIDI in " + workDir;
        return false;
    }
    take.signal = Render(soundfont, midi, rate, workDir, error);
    if (take.signal.empty()) return false;

    if (disturbance == Disturbance::kFifth || disturbance == Disturbance::kOctave) {
        std::vector<NoteSpan> unused;
        const int interval = disturbance == Disturbance::kFifth ? 7 : 12;
        const std::string second = MidiFor(instrument, interval, 0.0, 0.0, workDir, unused);
        std::vector<double> voice = Render(soundfont, second, rate, workDir, error);
        if (voice.empty()) return false;
        for (double& v : voice) v *= kSecondVoiceGain;
        synth::Mix(take.signal, voice);
    }
    const double rms = Rms(take.signal, take.notes, rate);
    const double seconds = static_cast<double>(take.signal.size()) / rate;
    if (disturbance == Disturbance::kHum50 || disturbance == Disturbance::kHum60 ||
        disturbance == Disturbance::kBuzz) {
        std::vector<double> shape = kHumShape;
        if (disturbance == Disturbance::kBuzz) {
            shape.clear();
            for (int n = 1; n <= kBuzzHarmonics; ++n) shape.push_back(std::pow(n, -kBuzzSlope));
        }
        double shapeRms = 0.0;
        for (double a : shape) shapeRms += a * a / 2.0;
        const double gain = rms * std::pow(10.0, -kHumUnderDb / 20.0) / std::sqrt(shapeRms);
        for (double& a : shape) a *= gain;
        const double mains = disturbance == Disturbance::kHum50   ? 50.0
                             : disturbance == Disturbance::kHum60 ? 60.0
                                                                  : kBuzzMainsHz;
        synth::Mix(take.signal, synth::HarmonicTone(mains, rate, seconds, shape));
    }
    if (disturbance == Disturbance::kNoise) {
        // Uniform noise of amplitude A has an RMS of A / sqrt(3).
        const double amplitude = std::sqrt(3.0) * rms * std::pow(10.0, -kNoiseUnderDb / 20.0);
        synth::Mix(take.signal, synth::Noise(rate, seconds, amplitude, kNoiseSeed));
    }
    return true;
}

}  // namespace tw::corpus
