// Renders the instrument corpus and prints one table: per note, how the analysis without and
// with the harmonic checks and the level-change correction (and aubio's yin, when installed)
// reads it.
//
//   corpus-table [--only TEXT] [--quick] [--no-aubio] [--work DIR] [--keep] [--minute OUT.wav]
//
// --only keeps the takes whose label contains TEXT; --quick renders the clean takes and one
// soundfont only; --keep leaves each take as LABEL.wav in the work folder; --minute writes 60 s
// of the corpus to OUT.wav (for timing) and stops.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "corpus/corpus.h"
#include "corpus/score.h"
#include "platform/audio/sound_file.h"
#include "synth/synth.h"

namespace {

using namespace tw::corpus;

// Rates besides 44100 Hz, rendered clean from the first soundfont.
constexpr int kMainRate = 44100;
const int kOtherRates[] = {8000, 22050, 48000, 96000};
// A vibrato note reads right when its median stays this close to the note played clean.
constexpr double kVibratoCentreCents = 3.0;

struct Totals {
    int notes = 0, wrongMajority = 0, withOctaveErrors = 0, pauseWrong = 0, leadIn = 0;
    long readings = 0, right = 0;
    double shareSum = 0.0;                     // of the notes' published shares
    std::vector<double> spreads, heldSpreads;  // of the notes read right most of the time
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Ninetieth(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[(v.size() - 1) * 9 / 10];
}

void Cell(const NoteScore& s) {
    const double share = s.readings ? 100.0 * s.right / s.readings : 0.0;
    char t1[16], t5[16];
    if (s.firstRightMs < 0) {
        std::snprintf(t1, sizeof t1, "-");
    } else {
        std::snprintf(t1, sizeof t1, "%.0f", s.firstRightMs);
    }
    if (s.firstWithin5CentsMs < 0) {
        std::snprintf(t5, sizeof t5, "-");
    } else {
        std::snprintf(t5, sizeof t5, "%.0f", s.firstWithin5CentsMs);
    }
    std::printf(" | %4d %5.1f %5.1f %3d %3d %5s %5s %5.1f %5.1f %+6.1f %3d", s.readings,
                s.publishedShare, share, s.mostRead, s.octaveErrors, t1, t5, s.spreadCents,
                s.heldSpreadCents, s.medianCents, s.pauseWrong);
}

void Add(Totals& t, const NoteScore& s) {
    ++t.notes;
    t.readings += s.readings;
    t.shareSum += s.publishedShare;
    t.right += s.right;
    t.wrongMajority += 2 * s.right <= s.readings;
    t.withOctaveErrors += s.octaveErrors > 0;
    t.pauseWrong += s.pauseWrong;
    if (2 * s.right > s.readings) {
        t.spreads.push_back(s.spreadCents);
        t.heldSpreads.push_back(s.heldSpreadCents);
    }
}

void PrintTotals(const char* name, const Totals& t) {
    std::printf(
        "  %-9s notes %3d  published %5.1f%%  right %5.1f%%  notes mostly wrong %3d  notes with "
        "octave "
        "errors %3d  wrong in pauses %4d  read before the first note %4d  spread median %4.1f "
        "p90 %4.1f  held spread median %4.1f p90 %4.1f\n",
        name, t.notes, t.notes ? t.shareSum / t.notes : 0.0,
        t.readings ? 100.0 * t.right / t.readings : 0.0, t.wrongMajority, t.withOctaveErrors,
        t.pauseWrong, t.leadIn, Median(t.spreads), Ninetieth(t.spreads), Median(t.heldSpreads),
        Ninetieth(t.heldSpreads));
}

}  // namespace

int main(int argc, char** argv) {
    // One work folder per run, so that runs side by side do not overwrite each other's renders.
    std::string only, workDir = (std::filesystem::temp_directory_path() /
                                 ("tw-corpus-" + std::to_string(::getpid())))
                                    .string();
    std::string minute;
    bool quick = false, aubio = true, keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (a == "--quick") {
            quick = true;
        } else if (a == "--no-aubio") {
            aubio = false;
        } else if (a == "--keep") {
            // The renders stay for a closer look at one take.
            keep = true;
        } else if (a == "--work" && i + 1 < argc) {
            workDir = argv[++i];
        } else if (a == "--minute" && i + 1 < argc) {
            minute = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: corpus-table [--only TEXT] [--quick] [--no-aubio] "
                         "[--work DIR] [--keep] [--minute OUT.wav]\n");
            return 2;
        }
    }
    std::filesystem::create_directories(workDir);
    const auto& fonts = CorpusSoundfonts();
    for (const auto& f : fonts) {
        if (!CanRender(f)) {
            std::fprintf(stderr,
                         "corpus-table: cannot render with %s (%s); run "
                         "tools/install-deps.sh\n",
                         f.name, f.path);
            return 1;
        }
    }

    if (!minute.empty()) {
        // Clean takes of the first soundfont, one after the other, up to 60 s.
        std::vector<double> all;
        std::string error;
        for (const auto& instrument : CorpusInstruments()) {
            Take take;
            if (!BuildTake(instrument, fonts[0], Disturbance::kClean, kMainRate, workDir, take,
                           &error)) {
                std::fprintf(stderr, "corpus-table: %s\n", error.c_str());
                return 1;
            }
            all.insert(all.end(), take.signal.begin(), take.signal.end());
            if (all.size() >= 60u * kMainRate) break;
        }
        all.resize(60u * kMainRate, 0.0);
        const auto device = tw::synth::ToDeviceSamples(all);
        if (!tw::WriteSoundFile(minute, tw::SoundFileFormat::kWav16, kMainRate, 1, device.data(),
                                static_cast<int64_t>(device.size()), &error)) {
            std::fprintf(stderr, "corpus-table: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }

    aubio = aubio && HaveAubio();
    struct Job {
        const Instrument* instrument;
        const Soundfont* font;
        Disturbance disturbance;
        int rate;
    };
    std::vector<Job> jobs;
    for (const auto& instrument : CorpusInstruments()) {
        for (size_t f = 0; f < (quick ? 1 : fonts.size()); ++f) {
            for (Disturbance d : AllDisturbances()) {
                if (quick && d != Disturbance::kClean) continue;
                jobs.push_back({&instrument, &fonts[f], d, kMainRate});
            }
        }
        if (!quick) {
            for (int rate : kOtherRates)
                jobs.push_back({&instrument, &fonts[0], Disturbance::kClean, rate});
        }
    }

    std::printf(
        "Per analysis: readings while held | %% of the frames while held that publish | right %% | "
        "note read most | octave errors | ms to the "
        "first "
        "right reading | ms to the first within 5 cents | spread p5-p95 (cents) | the same from "
        "0.6 s after the onset to note off | median cents | wrong readings in the following "
        "pause\n");
    std::printf("%-38s %-4s | %-56s | %-56s%s\n", "take", "note", "current (lowest peak)",
                "mended (harmonic checks, level change)", aubio ? " | aubio yin" : "");
    struct Group {
        std::string name;
        Totals current, mended;
    };
    std::vector<Group> byDisturbance;
    Totals current, mended, yin;
    int laterFirstRight = 0;  // notes the mended analysis reads right later than the current
    std::string laterList;
    // Vibrato is judged against the same note played clean: its centre is that note's median.
    struct Centre {
        double mended = 0, yin = 0;
        bool yinRead = false;
    };
    std::map<std::string, Centre> cleanCentres;  // by instrument, soundfont and note
    struct VibratoTally {
        int notes = 0, mendedOff = 0, yinOff = 0;
        std::string mendedList;
    };
    VibratoTally vibrato;
    std::string error;
    for (const Job& job : jobs) {
        Take take;
        std::string label = std::string(job.instrument->name) + " " + job.font->name + " " +
                            DisturbanceName(job.disturbance) + " " + std::to_string(job.rate);
        if (!only.empty() && label.find(only) == std::string::npos) continue;
        if (!BuildTake(*job.instrument, *job.font, job.disturbance, job.rate, workDir, take,
                       &error)) {
            std::fprintf(stderr, "corpus-table: %s: %s\n", label.c_str(), error.c_str());
            return 1;
        }
        if (keep && !WriteTake(take, workDir, &error))
            std::fprintf(stderr, "corpus-table: %s: %s\n", label.c_str(), error.c_str());
        const double end = static_cast<double>(take.signal.size()) / take.rate;
        const auto before = ReadWithTunewright(take, false);
        const auto after = ReadWithTunewright(take, true);
        const auto other = aubio ? ReadWithAubio(take, workDir) : std::vector<Reading>{};
        const std::string key =
            DisturbanceName(job.disturbance) + std::string(job.rate == kMainRate ? "" : " rates");
        auto it = byDisturbance.begin();
        while (it != byDisturbance.end() && it->name != key) ++it;
        if (it == byDisturbance.end()) {
            byDisturbance.push_back({key, Totals{}, Totals{}});
            it = byDisturbance.end() - 1;
        }
        current.leadIn += LeadInReadings(before, take.notes);
        mended.leadIn += LeadInReadings(after, take.notes);
        yin.leadIn += LeadInReadings(other, take.notes);
        it->current.leadIn += LeadInReadings(before, take.notes);
        it->mended.leadIn += LeadInReadings(after, take.notes);
        for (size_t i = 0; i < take.notes.size(); ++i) {
            const NoteScore a = ScoreNote(before, take.notes, i, end, kTunewrightFramesPerSecond);
            const NoteScore b = ScoreNote(after, take.notes, i, end, kTunewrightFramesPerSecond);
            const NoteScore y =
                aubio ? ScoreNote(other, take.notes, i, end, AubioFramesPerSecond(take.rate))
                      : NoteScore{};
            std::printf("%-38s %4d", label.c_str(), take.notes[i].note);
            Cell(a);
            Cell(b);
            if (aubio) Cell(y);
            std::printf("\n");
            Add(current, a);
            Add(mended, b);
            if (aubio) Add(yin, y);
            Add(it->current, a);
            Add(it->mended, b);
            if (a.firstRightMs >= 0 && (b.firstRightMs < 0 || b.firstRightMs > a.firstRightMs)) {
                ++laterFirstRight;
                char item[128];
                std::snprintf(item, sizeof item, "\n    %s %d: %.0f ms against %.0f", label.c_str(),
                              take.notes[i].note, b.firstRightMs, a.firstRightMs);
                laterList += item;
            }
            const std::string centreKey = std::string(job.instrument->name) + " " + job.font->name +
                                          " " + std::to_string(take.notes[i].note);
            const bool isVibrato = job.disturbance == Disturbance::kVibrato ||
                                   job.disturbance == Disturbance::kVibratoSlow ||
                                   job.disturbance == Disturbance::kVibratoLevel;
            if (job.rate == kMainRate && job.disturbance == Disturbance::kClean) {
                cleanCentres[centreKey] = {b.medianCents, y.medianCents, y.right > 0};
            } else if (isVibrato && cleanCentres.count(centreKey) != 0) {
                const Centre& c = cleanCentres[centreKey];
                ++vibrato.notes;
                if (b.right == 0 || std::abs(b.medianCents - c.mended) > kVibratoCentreCents) {
                    ++vibrato.mendedOff;
                    char item[96];
                    std::snprintf(item, sizeof item, "\n    %s %s: %+.1f against %+.1f",
                                  centreKey.c_str(), DisturbanceName(job.disturbance),
                                  b.medianCents, c.mended);
                    vibrato.mendedList += item;
                }
                if (aubio && c.yinRead &&
                    (y.right == 0 || std::abs(y.medianCents - c.yin) > kVibratoCentreCents))
                    ++vibrato.yinOff;
            }
        }
        std::fflush(stdout);
    }
    std::printf("\nTotals\n");
    PrintTotals("current", current);
    PrintTotals("mended", mended);
    if (aubio) PrintTotals("yin", yin);
    std::printf("  notes whose first right reading comes later with the mended analysis: %d%s\n",
                laterFirstRight, laterList.c_str());
    if (vibrato.notes > 0) {
        std::printf(
            "  vibrato notes whose median is more than %.0f cents from the same note played "
            "clean: mended %d of %d%s\n",
            kVibratoCentreCents, vibrato.mendedOff, vibrato.notes, vibrato.mendedList.c_str());
        if (aubio) std::printf("    aubio yin: %d of %d\n", vibrato.yinOff, vibrato.notes);
    }
    std::printf("\nBy disturbance, current then mended\n");
    for (const Group& g : byDisturbance) {
        std::printf("%s\n", g.name.c_str());
        PrintTotals("current", g.current);
        PrintTotals("mended", g.mended);
    }
    if (!keep) std::filesystem::remove_all(workDir);
    return 0;
}
