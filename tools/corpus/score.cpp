// Scoring: a reading belongs to a note while the note is held (from its onset to 0.3 s after
// note off, for the frame that still covers it); readings in the pause that follows count as
// wrong when they name another note. Notes are equal-tempered on A4 = 440 Hz.
#include "corpus/score.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "analysis/offline_analysis.h"
#include "platform/audio/sound_file.h"
#include "synth/synth.h"

namespace tw::corpus {

namespace {
// A frame still mostly covers the note this long after note off.
constexpr double kHeldTailSeconds = 0.3;
// Releases ring this long into the pause before a reading there counts.
constexpr double kReleaseSeconds = 0.7;
constexpr double kWithinCents = 5.0;
// The attack has left the frame this long after the onset.
constexpr double kAttackSeconds = 0.6;

class Collector final : public PublicationListener {
  public:
    void OnPublished(float frequency, uint32_t timeMs) override {
        readings.push_back({timeMs / 1000.0, frequency});
    }
    std::vector<Reading> readings;
};

int NearestMidi(double hz) {
    return static_cast<int>(std::lround(69.0 + 12.0 * std::log2(hz / 440.0)));
}

double CentsFrom(double hz, int note) {
    return 1200.0 * std::log2(hz / (440.0 * std::pow(2.0, (note - 69) / 12.0)));
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5));
    return v[i];
}
}  // namespace

std::vector<Reading> ReadWithTunewright(const Take& take, bool harmonicChoice) {
    Collector collector;
    {
        OfflineAnalysis analysis(take.rate, &collector);
        analysis.SetHarmonicChoice(harmonicChoice);
        const auto device = synth::ToDeviceSamples(take.signal);
        const int32_t block = analysis.BlockFrames();
        for (size_t at = 0; at < device.size(); at += block) {
            const int32_t frames =
                static_cast<int32_t>(std::min<size_t>(block, device.size() - at));
            analysis.WriteDeviceBlock(device.data() + at, frames);
        }
        analysis.Finish();
    }
    return collector.readings;
}

bool HaveAubio() {
    return std::system("aubiopitch --help > /dev/null 2>&1") == 0 ||
           std::system("command -v aubiopitch > /dev/null 2>&1") == 0;
}

std::vector<Reading> ReadWithAubio(const Take& take, const std::string& workDir) {
    const std::string wav = workDir + "/aubio.wav";
    const auto device = synth::ToDeviceSamples(take.signal);
    if (!WriteSoundFile(wav, SoundFileFormat::kWav24, take.rate, 1, device.data(),
                        static_cast<int64_t>(device.size()), nullptr)) {
        return {};
    }
    const std::string command = "aubiopitch -p yin -i '" + wav + "' 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    std::vector<Reading> readings;
    double t = 0, f = 0;
    while (std::fscanf(pipe, "%lf %lf", &t, &f) == 2) {
        if (f > 0.0) readings.push_back({t, f});
    }
    pclose(pipe);
    std::filesystem::remove(wav);
    return readings;
}

NoteScore ScoreNote(const std::vector<Reading>& readings, const std::vector<NoteSpan>& notes,
                    size_t index, double endSeconds, double framesPerSecond) {
    const NoteSpan& span = notes[index];
    const double heldEnd = span.offset + kHeldTailSeconds;
    const double pauseStart = span.offset + kReleaseSeconds;
    const double pauseEnd = index + 1 < notes.size() ? notes[index + 1].onset : endSeconds;
    NoteScore s;
    std::vector<double> cents, heldCents;
    int counts[128] = {};
    for (const Reading& r : readings) {
        if (r.seconds >= span.onset && r.seconds < heldEnd) {
            const int note = NearestMidi(r.hz);
            ++s.readings;
            if (note >= 0 && note < 128) ++counts[note];
            const double c = CentsFrom(r.hz, span.note);
            if (note == span.note) {
                ++s.right;
                cents.push_back(c);
                if (r.seconds >= span.onset + kAttackSeconds && r.seconds < span.offset)
                    heldCents.push_back(c);
                if (s.firstRightMs < 0) s.firstRightMs = (r.seconds - span.onset) * 1000.0;
            } else if ((note - span.note) % 12 == 0) {
                ++s.octaveErrors;
            }
            if (std::abs(c) <= kWithinCents && s.firstWithin5CentsMs < 0)
                s.firstWithin5CentsMs = (r.seconds - span.onset) * 1000.0;
        } else if (r.seconds >= pauseStart && r.seconds < pauseEnd) {
            if (NearestMidi(r.hz) != span.note) ++s.pauseWrong;
        }
    }
    for (int note = 0; note < 128; ++note) {
        if (counts[note] > 0 && (s.mostRead < 0 || counts[note] > counts[s.mostRead]))
            s.mostRead = note;
    }
    const double frames = (heldEnd - span.onset) * framesPerSecond;
    s.publishedShare = frames > 0.0 ? 100.0 * s.readings / frames : 0.0;
    s.spreadCents = Percentile(cents, 0.95) - Percentile(cents, 0.05);
    s.heldSpreadCents = Percentile(heldCents, 0.95) - Percentile(heldCents, 0.05);
    s.medianCents = Percentile(cents, 0.5);
    return s;
}

double AubioFramesPerSecond(int rate) {
    constexpr double kAubioHop = 256.0;
    return rate / kAubioHop;
}

int LeadInReadings(const std::vector<Reading>& readings, const std::vector<NoteSpan>& notes) {
    if (notes.empty()) return 0;
    int count = 0;
    for (const Reading& r : readings) count += r.seconds < notes.front().onset;
    return count;
}

}  // namespace tw::corpus
