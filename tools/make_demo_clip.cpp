// Writes the demo clip: the six strings of a guitar in standard tuning, plucked one after the
// other and held a few seconds each, some a few cents off, as a small mono FLAC file.
//
//   make-demo-clip OUTPUT.flac
#include <cstdio>
#include <string>
#include <vector>

#include "platform/audio/sound_file.h"
#include "synth/synth.h"

namespace {

constexpr double kRate = 44100.0;
constexpr double kSecondsPerString = 3.0;
// Peak level of each pluck relative to full scale.
constexpr double kPeak = 0.5;
// A quiet lead-in, as from a microphone before the first note, from which the level gate learns
// the noise floor.
constexpr double kLeadInSeconds = 0.5;
constexpr double kNoiseLevel = 0.0005;
constexpr uint32_t kNoiseSeed = 12345;

struct String {
    const char* name;
    double hz;
    double cents;  // how far the demo string is out of tune
};

// E2 A2 D3 G3 B3 E4.
constexpr String kStrings[] = {
    {"E2", 82.40689, -12.0}, {"A2", 110.0, 0.0},       {"D3", 146.83238, +7.0},
    {"G3", 195.99772, -4.0}, {"B3", 246.94165, +15.0}, {"E4", 329.62756, -2.0},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make-demo-clip OUTPUT.flac\n", stderr);
        return 2;
    }
    std::vector<double> clip = tw::synth::Noise(kRate, kLeadInSeconds, kNoiseLevel, kNoiseSeed);
    for (const String& s : kStrings) {
        const auto pluck = tw::synth::PluckedString(tw::synth::DetuneCents(s.hz, s.cents), kRate,
                                                    kSecondsPerString, kPeak);
        clip.insert(clip.end(), pluck.begin(), pluck.end());
    }
    const auto samples = tw::synth::ToDeviceSamples(clip);
    std::string error;
    if (!tw::WriteSoundFile(argv[1], tw::SoundFileFormat::kFlac16, static_cast<int32_t>(kRate), 1,
                            samples.data(), static_cast<int64_t>(samples.size()), &error)) {
        std::fprintf(stderr, "make-demo-clip: %s\n", error.c_str());
        return 2;
    }
    for (const String& s : kStrings) std::printf("%s %+.1f cents\n", s.name, s.cents);
    return 0;
}
