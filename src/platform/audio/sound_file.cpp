#include "platform/audio/sound_file.h"

#include <sndfile.h>

namespace tw {

namespace {
SNDFILE* Handle(void* h) {
    return static_cast<SNDFILE*>(h);
}

int FormatCode(SoundFileFormat format) {
    switch (format) {
        case SoundFileFormat::kWav16:
            return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        case SoundFileFormat::kWav24:
            return SF_FORMAT_WAV | SF_FORMAT_PCM_24;
        case SoundFileFormat::kWav32:
            return SF_FORMAT_WAV | SF_FORMAT_PCM_32;
        case SoundFileFormat::kFlac16:
            return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        case SoundFileFormat::kFlac24:
            return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
        case SoundFileFormat::kOgg:
            return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        case SoundFileFormat::kAiff16:
            return SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    }
    return 0;
}
}  // namespace

std::unique_ptr<SoundFileReader> SoundFileReader::Open(const std::string& path,
                                                       std::string* error) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        if (error) *error = sf_strerror(nullptr);
        return nullptr;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(file);
        if (error) *error = "no audio in the file";
        return nullptr;
    }
    // Floating-point files map -1..1 onto the full integer range and clip beyond it.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    std::unique_ptr<SoundFileReader> reader(new SoundFileReader(file));
    reader->rate_ = info.samplerate;
    reader->channels_ = info.channels;
    reader->frames_ = info.frames;
    return reader;
}

SoundFileReader::~SoundFileReader() {
    sf_close(Handle(handle_));
}

int64_t SoundFileReader::Read(int32_t* destination, int64_t frames) {
    return sf_readf_int(Handle(handle_), destination, frames);
}

bool SoundFileReader::Rewind() {
    return sf_seek(Handle(handle_), 0, SEEK_SET) == 0;
}

bool WriteSoundFile(const std::string& path, SoundFileFormat format, int32_t rate, int channels,
                    const int32_t* samples, int64_t frames, std::string* error) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = FormatCode(format);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        if (error) *error = sf_strerror(nullptr);
        return false;
    }
    const sf_count_t written = sf_writef_int(file, samples, frames);
    const bool ok = written == frames;
    if (!ok && error) *error = sf_strerror(file);
    return sf_close(file) == 0 && ok;
}

}  // namespace tw
