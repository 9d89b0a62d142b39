// Notes, frequencies and the instruments' tuning tables.
//
// A note index counts equal-tempered semitones with 69 = A4 = 440 Hz; pitch class = index mod 12
// (sharps only), octave = index / 12 - 1.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tw {

inline constexpr int kNoteA4 = 69;
inline constexpr int kTargetNoteCount = 116;  // note indices 12 (C0) .. 127 (G9)
inline constexpr int kFirstTargetNote = 12;
inline constexpr int kInstrumentCount = 14;
// Note lists end at the first value that, as unsigned, is not below 128.
inline constexpr int32_t kNoteListEnd = -1;

// Instrument indices with a special meaning.
enum InstrumentIndex : int {
    kInstrumentNone = 0,
    kInstrumentTargetNote = 1,
    kInstrumentTargetFrequency = 2,
};

float NoteFrequency(int32_t note);
int32_t NearestNote(float frequency);
bool IsSharpNote(int32_t note);

// Empty texts for notes outside 0..155, where the tables end.
const char* NoteLetter(int32_t note);
const char* PitchClassName(int32_t note);
// Absent (empty) below index 12.
const char* OctaveText(int32_t note);

// Scientific pitch notation with the sharp after the letter ("A4", "C#3", "F#-1").
std::string ScientificName(int32_t note);
// Cents of `frequency` against the equal-tempered frequency of `note`.
double CentsFrom(double frequency, int32_t note);

// 116 names "C0", "C0#", ... "G9"; null-terminated for filling pop-up menus.
const char* const* TargetNoteNames();
const char* const* InstrumentNames();
// Position k of TargetNoteNames is note k + 12.
inline int32_t TargetNoteToIndex(int position) {
    return position + kFirstTargetNote;
}

// Tuning names of an instrument (null-terminated); out-of-range instruments select instrument 0.
const char* const* TuningNamesOf(int instrument);
int TuningCountOf(int instrument);
// Note list of a tuning, ended by kNoteListEnd; out-of-range tunings select tuning 0.
const int32_t* TuningNotesOf(int instrument, int tuning);
// The notes of a list up to its end marker.
std::span<const int32_t> NotesOfList(const int32_t* list);

}  // namespace tw
