// A minimal Standard MIDI File writer: one track, times in milliseconds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw::corpus {

class MidiTrack {
  public:
    void Program(int channel, int program, double ms);
    void NoteOn(int channel, int note, int velocity, double ms);
    void NoteOff(int channel, int note, double ms);
    // Bend in cents; the bend range is set to two semitones at the start of every file.
    void Bend(int channel, double cents, double ms);
    // Expression (controller 11) as a level in dB under full (0 or less), through the
    // SoundFont default curve that fluidsynth applies: 40 log10(value / 127) dB.
    void Expression(int channel, double db, double ms);
    // Format 0, 1000 ticks per second. False when the file cannot be written.
    bool Write(const std::string& path) const;

  private:
    struct Event {
        uint32_t tick;
        uint8_t bytes[3];
        int size;
    };
    void Add(double ms, uint8_t a, uint8_t b, uint8_t c, int size);
    std::vector<Event> events_;
};

}  // namespace tw::corpus
