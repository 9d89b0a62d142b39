// Keeps PortAudio's own failure reports off stderr.
//
// PortAudio's ALSA host API prints "Expression '...' failed in 'src/hostapi/alsa/...', line: N"
// for every failed step, also from its audio thread when the sound server goes away under an
// open stream. We already report such failures in our own words (or the stream's end), so
// these lines are noise on the command line's stderr. The library has no switch for them in
// the builds that distributions ship (its debug-print hook is not exported), but it writes
// through the C library's `stderr` stream, which glibc allows a program to replace.
//
// The same lines also show one of the library's faults: when the server goes away at the wrong
// moment, its ALSA thread can repeat one report without end, with cancellation disabled, and
// aborting the stream then waits for that thread forever. A thread of the library's own that
// repeats one report this often is ended here, as the abort would have ended it.
#pragma once

#include <string_view>

namespace tw::hal {

// Replaces `stderr` with an unbuffered stream on file descriptor 2 that drops PortAudio's
// report lines and passes everything else through unchanged. Once per process; later calls do
// nothing. Called on the thread that starts the PortAudio backend, before PortAudio runs.
void SilencePortAudioReports();

// Whether a line is one of PortAudio's reports. Any thread.
bool IsPortAudioReport(std::string_view line);

// Marks the calling thread as one that calls into PortAudio: one of ours, never ended here.
// Every call into the library does this first; the threads that never do are the library's.
void MarkLibraryCaller();

}  // namespace tw::hal
