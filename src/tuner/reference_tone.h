// The reference tone: a sine of the target frequency played through the output device
// named in the settings, until stopped. While it plays, a new target swaps the tone in
// without a gap (the player's feeder lock held across the swap).
//
// Thread: main thread.
#pragma once

#include "audio/sound_player.h"

namespace tw {

// The frequency the tone is made at: the target where it can be played, else 0 Hz
// (silence) for targets that are negative, not finite or at or above half the tone's
// sample rate, which would alias.
double PlayableToneFrequency(double hz);

class ReferenceTone {
  public:
    // The tone's sample rate.
    static constexpr int kSampleRate = 44100;

    ReferenceTone() = default;
    ~ReferenceTone();
    ReferenceTone(const ReferenceTone&) = delete;
    ReferenceTone& operator=(const ReferenceTone&) = delete;

    // Opens the "Player"/"Device" output (looked up by name; the default output when no
    // device has the name) and plays a tone of `hz`. False when the output cannot play.
    bool Start(double hz);
    void Stop();
    bool IsPlaying() const { return player_.IsPlaying(); }
    // Swaps in a tone of `hz` when playing; nothing otherwise.
    void Follow(double hz);

    // For tests: the player and the frequency of the tone last made.
    const LSoundPlayer& Player() const { return player_; }
    double Frequency() const { return frequency_; }

  private:
    LSoundPlayer player_;
    double frequency_ = 0;
};

}  // namespace tw
