// Reading a take with the analysis (plain lowest-peak search or with the harmonic checks) or
// with aubio's yin, and scoring the readings note by note as a player would see them.
#pragma once

#include <string>
#include <vector>

#include "corpus/corpus.h"

namespace tw::corpus {

struct Reading {
    double seconds;
    double hz;
};

// Every publication of the analysis core, at audio time.
std::vector<Reading> ReadWithTunewright(const Take& take, bool harmonicChoice);

// True when aubiopitch is installed.
bool HaveAubio();
// aubiopitch -p yin on the take; empty when it cannot run.
std::vector<Reading> ReadWithAubio(const Take& take, const std::string& workDir);

struct NoteScore {
    int readings = 0;           // while the note is held
    double publishedShare = 0;  // readings over the analysis frames while held, in %
    int right = 0;              // naming the right note
    int octaveErrors = 0;       // naming the right pitch class in another octave
    double firstRightMs = -1;   // from the onset; -1: never
    double firstWithin5CentsMs = -1;
    double spreadCents = 0;  // p95 - p5 of the right readings
    // The same from 0.6 s after the onset to note off: the held sound without its attack and
    // release, which a 512 ms frame sees for half a second after each.
    double heldSpreadCents = 0;
    double medianCents = 0;  // of the right readings against the nominal pitch
    int pauseWrong = 0;      // readings in the pause after the note naming another note
    int mostRead = -1;       // the note read most often while held; -1: none
};

// Scores the readings of `notes[index]`; its pause runs to the next onset (or the end).
// `framesPerSecond` is how often the reader analyses a frame, for the published share.
NoteScore ScoreNote(const std::vector<Reading>& readings, const std::vector<NoteSpan>& notes,
                    size_t index, double endSeconds, double framesPerSecond);

// Frames a second: the analysis core's hop at its rate, and aubio's default hop of 256.
inline constexpr double kTunewrightFramesPerSecond = 16000.0 / 512.0;
double AubioFramesPerSecond(int rate);

// Readings before the first onset that name any note (hum or noise read as a note).
int LeadInReadings(const std::vector<Reading>& readings, const std::vector<NoteSpan>& notes);

}  // namespace tw::corpus
