// Rendering MIDI through fluidsynth with an explicitly named soundfont, and reading the result
// back as mono samples.
#pragma once

#include <string>
#include <vector>

namespace tw::corpus {

struct Soundfont {
    const char* name;  // short label for the table
    const char* path;
};

// The soundfonts the corpus uses. Only these explicit files: never the system default, which
// may point at a soundfont reserved for acceptance.
const std::vector<Soundfont>& CorpusSoundfonts();

// True when fluidsynth runs and the soundfont is a readable file that is not reserved.
bool CanRender(const Soundfont& soundfont);

// Renders `midiPath` at `rate` into mono samples in -1..1; empty on failure (`error` says why).
std::vector<double> Render(const Soundfont& soundfont, const std::string& midiPath, int rate,
                           const std::string& workDir, std::string* error);

}  // namespace tw::corpus
