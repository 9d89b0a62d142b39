// The instrument corpus: which instruments and notes, the disturbances laid over them, and the
// rendering of one take (one instrument, soundfont, disturbance and rate) into samples.
#pragma once

#include <string>
#include <vector>

#include "corpus/render.h"

namespace tw::corpus {

// Layout of every take: a lead-in, then each note held and followed by a pause.
inline constexpr double kLeadInSeconds = 1.0;
inline constexpr double kHoldSeconds = 2.5;
inline constexpr double kPauseSeconds = 1.5;

struct Instrument {
    const char* name;
    int program;             // General MIDI program, 0-based
    std::vector<int> notes;  // MIDI note numbers (A4 = 69)
};

// Guitars, basses, bowed strings, piano, winds, a choir and a solo voice, each with its open
// strings or a few notes across its range.
const std::vector<Instrument>& CorpusInstruments();

enum class Disturbance {
    kClean,
    kFifth,
    kOctave,
    kHum50,
    kHum60,
    kBuzz,
    kNoise,
    kVibrato,
    kVibratoSlow,
    kVibratoLevel
};
const char* DisturbanceName(Disturbance d);
const std::vector<Disturbance>& AllDisturbances();

struct NoteSpan {
    int note;
    double onset;   // seconds
    double offset;  // note off
};

struct Take {
    std::string label;
    int rate = 0;
    std::vector<double> signal;  // mono, -1..1
    std::vector<NoteSpan> notes;
};

// Writes the take to `folder` as its label, spaces turned to dashes, .wav (16-bit mono).
bool WriteTake(const Take& take, const std::string& folder, std::string* error);

// Renders a take; false (with `error`) when fluidsynth or the soundfont fails.
bool BuildTake(const Instrument& instrument, const Soundfont& soundfont, Disturbance disturbance,
               int rate, const std::string& workDir, Take& take, std::string* error);

}  // namespace tw::corpus
