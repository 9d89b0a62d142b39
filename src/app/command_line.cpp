#include "app/command_line.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "analysis/clock.h"
#include "analysis/offline_analysis.h"
#include "analysis/pitch_analyzer.h"
#include "app/maker_web.h"
#include "audio/device_catalogue.h"
#include "audio/sound_player.h"
#include "audio/sound_source.h"
#include "base/main_thread_poster.h"
#include "platform/audio/audio_hal.h"
#include "platform/audio/sound_file.h"
#include "platform/events/event_layer.h"
#include "tuner/notes.h"

namespace tw {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;

// One line per mode and option.
constexpr const char* kUsage =
    "Usage: tunewright [MODE [OPTIONS]]\n"
    "Modes:\n"
    "  (none)                open the tuner window on the default sound input\n"
    "  --demo                open the tuner window on the built-in demo input\n"
    "  --analyze FILE        print the pitch of an audio file as CSV lines\n"
    "  --listen              print the pitch of the sound input, as --analyze does\n"
    "  --tone HZ[,HZ...]     play a reference tone; several play one after another\n"
    "  --list-devices        list the sound input and output devices, defaults marked\n"
    "  --version             print the program's name and version\n"
    "  --help, -h            print this help\n"
    "Options of --listen and --tone:\n"
    "  --device NAME         use the named device instead of the default one\n"
    "  --seconds N           listen or play N seconds (each tone N), not until Ctrl+C\n"
    "See tunewright(1) for the environment variables and files.\n";

constexpr const char* kCsvHeader = "time_s,frequency_hz,note,cents\n";
// The main loop turns this often while listening or playing, to notice the end.
constexpr int kLoopSliceMs = 50;
// The highest tone: below half the tone's rate of 44100 Hz.
constexpr double kMaxToneHz = 20000.0;
constexpr int32_t kToneRate = 44100;

// Prints each publication as it happens; times are counted from `originMs`.
class CsvPrinter final : public PublicationListener {
  public:
    explicit CsvPrinter(std::FILE* out, uint32_t originMs = 0) : out_(out), origin_(originMs) {}
    // The capture thread for live input, the calling thread for files.
    void OnPublished(float frequency, uint32_t timeMs) override {
        const int32_t note = NearestNote(frequency);
        std::fprintf(out_, "%.3f,%.4f,%s,%+.2f\n", static_cast<uint32_t>(timeMs - origin_) / 1000.0,
                     static_cast<double>(frequency), ScientificName(note).c_str(),
                     CentsFrom(frequency, note));
        std::fflush(out_);
    }

  private:
    std::FILE* out_;
    uint32_t origin_;
};

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

// Ctrl-C and SIGTERM end a live job cleanly instead of killing it mid-stream.
void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Runs the main loop (which carries the engines' notifications) until `seconds` pass (forever
// when negative), an interrupt comes, or `done` says so.
template <class Done>
void RunFor(double seconds, Done done) {
    const uint32_t start = NowMilliseconds();
    const uint32_t limit = seconds < 0 ? 0 : static_cast<uint32_t>(seconds * 1000.0 + 0.5);
    while (!g_interrupted && !done()) {
        const uint32_t elapsed = NowMilliseconds() - start;
        if (seconds >= 0 && elapsed >= limit) break;
        int slice = kLoopSliceMs;
        if (seconds >= 0)
            slice = static_cast<int>(std::min<uint32_t>(limit - elapsed, kLoopSliceMs));
        RunEventLoopFor(slice);
    }
}

struct LiveOptions {
    std::string device;
    bool hasDevice = false;
    double seconds = -1;
};

// Reads --device and --seconds from args[first..]; false (with a message) on anything else.
bool ParseLiveOptions(const std::vector<std::string>& args, size_t first, LiveOptions* options) {
    for (size_t i = first; i < args.size(); ++i) {
        if (args[i] == "--device" && i + 1 < args.size()) {
            options->device = args[++i];
            options->hasDevice = true;
        } else if (args[i] == "--seconds" && i + 1 < args.size()) {
            char* end = nullptr;
            options->seconds = std::strtod(args[++i].c_str(), &end);
            if (*end != '\0' || !(options->seconds >= 0) || options->seconds > 1e7) {
                std::fprintf(stderr, "tunewright: --seconds needs a number of seconds, not '%s'\n",
                             args[i].c_str());
                return false;
            }
        } else {
            std::fprintf(stderr, "tunewright: unexpected argument '%s' (try --help)\n",
                         args[i].c_str());
            return false;
        }
    }
    return true;
}

// Lists the devices on `out`. A kind of device that is absent is said on stderr; that is not
// a failure (the listing is complete), so the status stays 0.
int ListDevices(std::FILE* out) {
    std::vector<DeviceEntry> inputs;
    EnumerateInputDevices(&inputs);
    int32_t defaultIndex = -1;
    GetDefaultInputDevice(&defaultIndex, nullptr);
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::vector<DeviceEntry> channels;
        EnumerateChannels(inputs[i].id, &channels);
        std::string names;
        for (const auto& c : channels) names += (names.empty() ? "" : ", ") + c.name;
        std::fprintf(out, "input: %s [%s]%s\n", inputs[i].name.c_str(), names.c_str(),
                     static_cast<int32_t>(i) == defaultIndex ? " (default)" : "");
    }
    std::vector<DeviceEntry> outputs;
    EnumerateOutputDevices(&outputs);
    const int64_t defaultOutput = OutputDeviceIdByIndex(0);
    for (const auto& o : outputs) {
        std::fprintf(out, "output: %s%s\n", o.name.c_str(),
                     static_cast<int64_t>(o.id) == defaultOutput ? " (default)" : "");
    }
    std::fflush(out);
    if (inputs.empty()) std::fputs("tunewright: no sound input device found\n", stderr);
    if (outputs.empty()) std::fputs("tunewright: no sound output device found\n", stderr);
    return kExitOk;
}

// ": why" from the sound system, for a message about a device that failed.
std::string Reason() {
    const std::string why = hal::LastError();
    return why.empty() ? std::string() : ": " + why;
}

int Listen(const LiveOptions& options) {
    std::string device = options.device;
    if (options.hasDevice) {
        if (!FindInputDeviceByName(device, nullptr, nullptr)) {
            std::fprintf(stderr, "tunewright: no sound input device is named '%s'\n",
                         device.c_str());
            return kExitUsage;
        }
    } else if (!GetDefaultInputDevice(nullptr, &device)) {
        // No default: the analyser falls back to the first input device.
        device = "[Default Sound In]";
    }
    LMainThreadPoster::InstallMainThreadHandler();
    CatchInterrupts();
    CsvPrinter printer(stdout, NowMilliseconds());
    int status = kExitOk;
    {
        LPitchAnalyzer analyzer;
        analyzer.SetPublicationListener(&printer);
        std::fputs(kCsvHeader, stdout);
        std::fflush(stdout);
        analyzer.StartAnalysis(device.c_str(), "None");
        if (!analyzer.IsCapturing()) {
            std::fprintf(stderr, "tunewright: cannot open the sound input device '%s'%s\n",
                         device.c_str(), Reason().c_str());
            status = kExitUsage;
        } else {
            RunFor(options.seconds, [&] { return !analyzer.IsCapturing(); });
            if (!g_interrupted && !analyzer.IsCapturing()) {
                std::fprintf(stderr, "tunewright: the sound input device '%s' stopped delivering\n",
                             device.c_str());
                status = kExitUsage;
            }
            analyzer.PauseAnalysis();
            analyzer.StopAnalysis();
        }
    }
    LMainThreadPoster::RemoveMainThreadHandler();
    return status;
}

// Frequencies separated by commas, each in (0, kMaxToneHz].
bool ParseFrequencies(const std::string& text, std::vector<double>* frequencies) {
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string part =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        char* end = nullptr;
        const double hz = std::strtod(part.c_str(), &end);
        if (part.empty() || *end != '\0' || !(hz > 0) || hz > kMaxToneHz) return false;
        frequencies->push_back(hz);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return !frequencies->empty();
}

SourceRef MakeTone(double hz) {
    return SourceRef::Adopt(
        new LToneSource(kToneRate, hz, LToneSource::kSine, 0, LToneSource::kReferenceLengthMs));
}

int PlayTones(const std::vector<double>& frequencies, const LiveOptions& options) {
    int32_t index = 0;
    if (options.hasDevice) {
        index = OutputDeviceIndexByName(options.device);
        if (index == 0 && options.device != kDefaultPlaybackDevice) {
            std::fprintf(stderr, "tunewright: no sound output device is named '%s'\n",
                         options.device.c_str());
            return kExitUsage;
        }
    }
    const std::string shown = options.hasDevice ? options.device : kDefaultPlaybackDevice;
    LMainThreadPoster::InstallMainThreadHandler();
    CatchInterrupts();
    int status = kExitOk;
    {
        LSoundPlayer player;
        player.SetVolume(LToneSource::kReferenceVolumeDb);
        player.SetDevice({index, 0, 0});
        SourceRef tone = MakeTone(frequencies[0]);
        if (!player.Play(tone.get(), false)) {
            std::fprintf(stderr, "tunewright: cannot open the sound output device '%s'%s\n",
                         shown.c_str(), Reason().c_str());
            status = kExitUsage;
        } else {
            for (size_t i = 1; i < frequencies.size() && !g_interrupted; ++i) {
                RunFor(options.seconds, [&] { return !player.IsActive(); });
                if (g_interrupted || !player.IsActive()) break;
                // As the main window does when the target changes: the new tone takes over
                // after the device margin, faded in over the old one.
                SourceRef next = MakeTone(frequencies[i]);
                player.LockFeeder();
                player.ReplaceSource(next.get());
                player.Resync(true);
                player.UnlockFeeder();
            }
            RunFor(options.seconds, [&] { return !player.IsActive(); });
            player.StopPlayback();
        }
    }
    LMainThreadPoster::RemoveMainThreadHandler();
    return status;
}

}  // namespace

int AnalyzeFile(const std::string& path, std::FILE* out, std::FILE* err) {
    std::string error;
    auto reader = SoundFileReader::Open(path, &error);
    if (!reader) {
        std::fprintf(err, "tunewright: cannot read '%s': %s\n", path.c_str(), error.c_str());
        return kExitUsage;
    }
    std::fputs(kCsvHeader, out);
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
    if (option == "--version") {
        if (args.size() != 1) {
            std::fputs("tunewright: --version takes no arguments\n", stderr);
            return kExitUsage;
        }
        std::printf("%s %s\n", kProgramName, std::string(kProgramVersion).c_str());
        return kExitOk;
    }
    if (option == "--analyze") {
        if (args.size() != 2) {
            std::fputs("tunewright: --analyze takes exactly one FILE\n", stderr);
            return kExitUsage;
        }
        return AnalyzeFile(args[1], stdout, stderr);
    }
    if (option == "--list-devices") {
        if (args.size() != 1) {
            std::fputs("tunewright: --list-devices takes no arguments\n", stderr);
            return kExitUsage;
        }
        return ListDevices(stdout);
    }
    if (option == "--listen") {
        LiveOptions options;
        if (!ParseLiveOptions(args, 1, &options)) return kExitUsage;
        return Listen(options);
    }
    if (option == "--tone") {
        std::vector<double> frequencies;
        if (args.size() < 2 || !ParseFrequencies(args[1], &frequencies)) {
            std::fprintf(
                stderr,
                "tunewright: --tone needs frequencies in Hz up to %.0f, as 440 or 440,494\n",
                kMaxToneHz);
            return kExitUsage;
        }
        LiveOptions options;
        if (!ParseLiveOptions(args, 2, &options)) return kExitUsage;
        return PlayTones(frequencies, options);
    }
    std::fprintf(stderr, "tunewright: unknown option '%s' (try --help)\n", option.c_str());
    return kExitUsage;
}

}  // namespace tw
