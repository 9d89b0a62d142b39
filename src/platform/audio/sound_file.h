// Audio files through libsndfile: any format it knows, samples as 32-bit integers at full
// scale (the device format), interleaved.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tw {

class SoundFileReader {
  public:
    // nullptr when the file is missing or cannot be decoded; `error` says why.
    static std::unique_ptr<SoundFileReader> Open(const std::string& path, std::string* error);
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    int32_t SampleRate() const { return rate_; }
    int Channels() const { return channels_; }
    int64_t Frames() const { return frames_; }
    // Reads up to `frames` frames (frames x channels samples); returns the frames read, 0 at the
    // end.
    int64_t Read(int32_t* destination, int64_t frames);
    // Back to the first frame.
    bool Rewind();

  private:
    explicit SoundFileReader(void* handle) : handle_(handle) {}
    void* handle_;
    int32_t rate_ = 0;
    int channels_ = 0;
    int64_t frames_ = 0;
};

enum class SoundFileFormat { kWav16, kWav24, kWav32, kFlac16, kFlac24, kOgg, kAiff16 };

// Writes interleaved full-scale 32-bit samples; false (with `error`) when it cannot.
bool WriteSoundFile(const std::string& path, SoundFileFormat format, int32_t rate, int channels,
                    const int32_t* samples, int64_t frames, std::string* error);

}  // namespace tw
