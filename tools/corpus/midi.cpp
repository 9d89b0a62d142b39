// Standard MIDI File, format 0: header, one track chunk, events sorted by time with
// variable-length delta times. The tempo makes one tick one millisecond.
#include "corpus/midi.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tw::corpus {

namespace {
// 500 ticks per quarter at 500000 us per quarter: one tick per millisecond.
constexpr int kTicksPerQuarter = 500;
constexpr uint32_t kMicrosecondsPerQuarter = 500000;
// Pitch-bend range the files set and the bend messages assume.
constexpr double kBendRangeCents = 200.0;
constexpr int kBendCentre = 8192;

void PutVarLen(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t bytes[5];
    int n = 0;
    bytes[n++] = v & 0x7F;
    while ((v >>= 7) != 0) bytes[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
    while (n > 0) out.push_back(bytes[--n]);
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}
}  // namespace

void MidiTrack::Add(double ms, uint8_t a, uint8_t b, uint8_t c, int size) {
    events_.push_back({static_cast<uint32_t>(std::lround(std::max(0.0, ms))), {a, b, c}, size});
}

void MidiTrack::Program(int channel, int program, double ms) {
    Add(ms, static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(program), 0, 2);
    // Bend range: RPN 0 = 2 semitones, 0 cents.
    const uint8_t cc = static_cast<uint8_t>(0xB0 | channel);
    Add(ms, cc, 101, 0, 3);
    Add(ms, cc, 100, 0, 3);
    Add(ms, cc, 6, static_cast<uint8_t>(kBendRangeCents / 100.0), 3);
    Add(ms, cc, 38, 0, 3);
}

void MidiTrack::NoteOn(int channel, int note, int velocity, double ms) {
    Add(ms, static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(note),
        static_cast<uint8_t>(velocity), 3);
}

void MidiTrack::NoteOff(int channel, int note, double ms) {
    Add(ms, static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(note), 64, 3);
}

void MidiTrack::Bend(int channel, double cents, double ms) {
    const int v = std::clamp(
        kBendCentre + static_cast<int>(std::lround(cents / kBendRangeCents * kBendCentre)), 0,
        16383);
    Add(ms, static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(v & 0x7F),
        static_cast<uint8_t>(v >> 7), 3);
}

void MidiTrack::Expression(int channel, double db, double ms) {
    const int v =
        std::clamp(static_cast<int>(std::lround(127.0 * std::pow(10.0, db / 40.0))), 1, 127);
    Add(ms, static_cast<uint8_t>(0xB0 | channel), 11, static_cast<uint8_t>(v), 3);
}

bool MidiTrack::Write(const std::string& path) const {
    std::vector<Event> sorted = events_;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Event& a, const Event& b) { return a.tick < b.tick; });
    std::vector<uint8_t> track;
    // Tempo meta event.
    track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03});
    track.push_back(static_cast<uint8_t>(kMicrosecondsPerQuarter >> 16));
    track.push_back(static_cast<uint8_t>(kMicrosecondsPerQuarter >> 8));
    track.push_back(static_cast<uint8_t>(kMicrosecondsPerQuarter));
    uint32_t last = 0;
    for (const Event& e : sorted) {
        PutVarLen(track, e.tick - last);
        last = e.tick;
        for (int i = 0; i < e.size; ++i) track.push_back(e.bytes[i]);
    }
    // One second of silence after the last event lets releases ring out.
    PutVarLen(track, 1000);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});

    std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
    Put32(file, 6);
    file.insert(file.end(), {0, 0, 0, 1, static_cast<uint8_t>(kTicksPerQuarter >> 8),
                             static_cast<uint8_t>(kTicksPerQuarter & 0xFF)});
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    Put32(file, static_cast<uint32_t>(track.size()));
    file.insert(file.end(), track.begin(), track.end());

    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace tw::corpus
