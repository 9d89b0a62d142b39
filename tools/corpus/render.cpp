// fluidsynth renders offline (-F) with chorus and reverb off, so that the notes are the
// soundfont's samples only; the stereo result is summed to mono.
#include "corpus/render.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/audio/sound_file.h"

namespace tw::corpus {

namespace {
// 32-bit full scale, the reader's sample format.
constexpr double kFullScale = 2147483648.0;

bool IsReserved(const std::string& path) {
    // The Fluid R3 soundfonts (and the ones built from them) are kept for acceptance.
    std::error_code ec;
    std::string resolved = std::filesystem::weakly_canonical(path, ec).string();
    if (ec) resolved = path;
    std::string lower;
    for (char c : resolved) lower.push_back(static_cast<char>(std::tolower(c)));
    return lower.find("fluid") != std::string::npos ||
           lower.find("musescore") != std::string::npos ||
           lower.find("default-gm") != std::string::npos;
}

std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q.push_back(c);
        }
    }
    return q + "'";
}
}  // namespace

const std::vector<Soundfont>& CorpusSoundfonts() {
    static const std::vector<Soundfont> fonts = {
        {"TimGM6mb", "/usr/share/sounds/sf2/TimGM6mb.sf2"},
        {"csound", "/usr/share/sounds/sf2/sf_GMbank.sf2"},
    };
    return fonts;
}

bool CanRender(const Soundfont& soundfont) {
    if (IsReserved(soundfont.path)) return false;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(soundfont.path, ec)) return false;
    return std::system("fluidsynth --version > /dev/null 2>&1") == 0;
}

std::vector<double> Render(const Soundfont& soundfont, const std::string& midiPath, int rate,
                           const std::string& workDir, std::string* error) {
    if (IsReserved(soundfont.path)) {
        if (error) *error = "soundfont reserved for acceptance";
        return {};
    }
    const std::string wav = workDir + "/render.wav";
    const std::string command = "fluidsynth -n -i -q -R 0 -C 0 -g 0.6 -r " + std::to_string(rate) +
                                " -T wav -O s24 -F " + Quoted(wav) + " " + Quoted(soundfont.path) +
                                " " + Quoted(midiPath) + " > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        if (error) *error = "fluidsynth failed: " + command;
        return {};
    }
    auto reader = SoundFileReader::Open(wav, error);
    if (!reader) return {};
    const int channels = reader->Channels();
    std::vector<int32_t> frames(static_cast<size_t>(reader->Frames()) * channels);
    const int64_t got = reader->Read(frames.data(), reader->Frames());
    std::vector<double> mono(static_cast<size_t>(std::max<int64_t>(got, 0)));
    for (size_t i = 0; i < mono.size(); ++i) {
        double sum = 0.0;
        for (int c = 0; c < channels; ++c) sum += frames[i * channels + c];
        mono[i] = sum / channels / kFullScale;
    }
    std::filesystem::remove(wav);
    return mono;
}

}  // namespace tw::corpus
