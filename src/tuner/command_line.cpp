#include "tuner/command_line.h"

#include <cstring>
#include <vector>

#include "analysis/offline_analysis.h"
#include "platform/audio/sound_file.h"
#include "tuner/notes.h"

namespace tw {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: tunewright --analyze FILE\n"
    "  --analyze FILE   print the pitch of an audio file as CSV: time_s,frequency_hz,note,cents\n"
    "  --help           show this help\n";

// Prints each publication as it happens.
class CsvPrinter final : public PublicationListener {
  public:
    explicit CsvPrinter(std::FILE* out) : out_(out) {}
    void OnPublished(float frequency, uint32_t timeMs) override {
        const int32_t note = NearestNote(frequency);
        std::fprintf(out_, "%.3f,%.4f,%s,%+.2f\n", timeMs / 1000.0, static_cast<double>(frequency),
                     ScientificName(note).c_str(), CentsFrom(frequency, note));
    }

  private:
    std::FILE* out_;
};

}  // namespace

int AnalyzeFile(const std::string& path, std::FILE* out, std::FILE* err) {
    std::string error;
    auto reader = SoundFileReader::Open(path, &error);
    if (!reader) {
        std::fprintf(err, "tunewright: cannot read '%s': %s\n", path.c_str(), error.c_str());
        return kExitUsage;
    }
    std::fputs("time_s,frequency_hz,note,cents\n", out);
    CsvPrinter printer(out);
    OfflineAnalysis analysis(reader->SampleRate(), &printer);

    // Only the first channel is analysed.
    const int channels = reader->Channels();
    const int32_t block = analysis.BlockFrames();
    std::vector<int32_t> interleaved(static_cast<size_t>(block) * channels);
    std::vector<int32_t> mono(block);
    for (;;) {
        const int64_t frames = reader->Read(interleaved.data(), block);
        if (frames <= 0) break;
        for (int64_t i = 0; i < frames; ++i)
            mono[i] = interleaved[static_cast<size_t>(i) * channels];
        analysis.WriteDeviceBlock(mono.data(), static_cast<int32_t>(frames));
    }
    analysis.Finish();
    std::fflush(out);
    return kExitOk;
}

int RunCommandLine(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    const std::string& option = args[0];
    if (option == "--help" || option == "-h") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (option == "--analyze") {
        if (args.size() != 2) {
            std::fputs("tunewright: --analyze takes exactly one FILE\n", stderr);
            return kExitUsage;
        }
        return AnalyzeFile(args[1], stdout, stderr);
    }
    std::fprintf(stderr, "tunewright: unknown option '%s' (try --help)\n", option.c_str());
    return kExitUsage;
}

}  // namespace tw
