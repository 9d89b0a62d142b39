// `tunewright --listen` and `--tone` against a private PulseAudio, through PortAudio and ALSA's
// pulse plugin as a user's machine runs them: a tone written into the FIFO source must come
// back as the right note, the played tone must be a clean sine on the null sink's monitor, and
// swapping the tone must leave no gap and no click. A failing case leaves its recording and
// output in the build folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/pulse_server.h"
#include "platform/audio/sound_file.h"
#include "synth/synth.h"
#include "tuner/notes.h"

namespace tw {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kProgram = std::string(TW_BINARY_DIR) + "/tunewright";
const fs::path kOutput = fs::path(TW_TEST_OUTPUT_DIR) / "e2e";
constexpr double kTwoPi = 6.283185307179586;
// The FIFO source's format.
constexpr int kFifoRate = 48000;
// The monitor is recorded at the tone's rate, so that nothing resamples it.
constexpr int kRecordRate = 44100;

#ifndef TW_HAVE_PORTAUDIO
#define SKIP_WITHOUT_PORTAUDIO() GTEST_SKIP() << "built without PortAudio"
#else
#define SKIP_WITHOUT_PORTAUDIO() (void)0
#endif

// Keeps an artefact when the test fails, removes it otherwise.
class Artefact {
  public:
    explicit Artefact(const std::string& name) : path_(kOutput / name) {
        fs::create_directories(kOutput);
    }
    ~Artefact() {
        if (!::testing::Test::HasFailure()) fs::remove(path_);
    }
    std::string Path() const { return path_.string(); }

  private:
    fs::path path_;
};

struct Line {
    Clock::time_point arrival;
    std::string text;
};

// Reads the program's output as it comes, with the time each line arrived.
class LineReader {
  public:
    explicit LineReader(int fd) : thread_([this, fd] { Run(fd); }) {}
    ~LineReader() {
        if (thread_.joinable()) thread_.join();
    }
    // Every line, once the program has closed its output. The program's exit alone is not
    // enough: on a busy machine this thread may not yet have read what the program wrote last.
    std::vector<Line> AllLines() {
        if (thread_.joinable()) thread_.join();
        return lines_;
    }

  private:
    void Run(int fd) {
        std::string pending;
        char buf[4096];
        for (;;) {
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) break;
            const auto now = Clock::now();
            pending.append(buf, static_cast<size_t>(n));
            size_t end;
            while ((end = pending.find('\n')) != std::string::npos) {
                lines_.push_back({now, pending.substr(0, end)});
                pending.erase(0, end + 1);
            }
        }
    }
    std::vector<Line> lines_;
    std::thread thread_;
};

// Writes 16-bit audio into the FIFO in real time, 10 ms at a time.
class FifoWriter {
  public:
    // Non-blocking, so that a sound server that stops reading cannot hang the test.
    explicit FifoWriter(const std::string& path)
        : fd_(open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~FifoWriter() {
        if (fd_ >= 0) close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    // Plays the signal (-1..1); returns when its last piece is written.
    void Play(const std::vector<double>& signal) {
        constexpr size_t kPiece = kFifoRate / 100;
        std::vector<int16_t> pcm(kPiece);
        const auto start = Clock::now();
        for (size_t at = 0; at < signal.size(); at += kPiece) {
            const size_t n = std::min(kPiece, signal.size() - at);
            for (size_t i = 0; i < n; ++i) {
                pcm[i] = static_cast<int16_t>(
                    std::lround(std::clamp(signal[at + i], -1.0, 1.0) * 32767));
            }
            const char* bytes = reinterpret_cast<const char*>(pcm.data());
            size_t left = n * sizeof(int16_t);
            while (left > 0) {
                const ssize_t w = write(fd_, bytes, left);
                if (w < 0 && errno == EAGAIN) {
                    pollfd p{fd_, POLLOUT, 0};
                    if (poll(&p, 1, kStallMs) <= 0) return;
                    continue;
                }
                if (w <= 0) return;
                bytes += w;
                left -= static_cast<size_t>(w);
            }
            std::this_thread::sleep_until(
                start + std::chrono::microseconds((at + n) * 1000000 / kFifoRate));
        }
    }

  private:
    // A reader that takes nothing for this long is gone.
    static constexpr int kStallMs = 2000;
    int fd_;
};

std::vector<int32_t> ReadRecording(const std::string& path) {
    auto reader = SoundFileReader::Open(path, nullptr);
    if (!reader || reader->Channels() != 1) return {};
    std::vector<int32_t> samples(static_cast<size_t>(reader->Frames()));
    samples.resize(static_cast<size_t>(reader->Read(samples.data(), reader->Frames())));
    return samples;
}

// The part of a recording that holds sound (above 1 % of full scale).
std::vector<double> Sounding(const std::vector<int32_t>& samples) {
    const double threshold = 0.01 * 2147483648.0;
    auto loud = [&](int32_t s) { return std::abs(static_cast<double>(s)) > threshold; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud);
    if (first == samples.end()) return {};
    std::vector<double> out;
    for (auto it = first; it != last.base(); ++it) out.push_back(*it / 2147483648.0);
    return out;
}

// The peak of the quietest 5 ms window, in steps of half a window: near zero where the sound
// breaks up.
double QuietestWindow(const std::vector<double>& x) {
    const size_t window = kRecordRate / 200;
    double quietest = x.empty() ? 0 : 1e9;
    for (size_t i = 0; i + window <= x.size(); i += window / 2) {
        double peak = 0;
        for (size_t k = i; k < i + window; ++k) peak = std::max(peak, std::abs(x[k]));
        quietest = std::min(quietest, peak);
    }
    return quietest;
}

// The largest step between neighbouring samples: a click shows as one far steeper than the
// tone's own slope.
double LargestStep(const std::vector<double>& x) {
    double largest = 0;
    for (size_t i = 1; i < x.size(); ++i) largest = std::max(largest, std::abs(x[i] - x[i - 1]));
    return largest;
}

// Frequency from the upward zero crossings, interpolated, over [from, to).
double ZeroCrossingHz(const std::vector<double>& x, size_t from, size_t to, double rate) {
    double firstT = -1;
    double lastT = -1;
    int cycles = -1;
    for (size_t i = std::max<size_t>(from, 1); i < to && i < x.size(); ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            const double t = (i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (firstT < 0) firstT = t;
            lastT = t;
            ++cycles;
        }
    }
    return cycles > 0 ? cycles * rate / (lastT - firstT) : 0;
}

// Signal-to-residual ratio (dB) of the best sine at `hz` (with offset) over [from, to).
double SineFitSnrDb(const std::vector<double>& x, size_t from, size_t to, double hz, double rate) {
    // Normal equations of the least-squares fit a sin + b cos + c.
    double m[3][4] = {};
    for (size_t i = from; i < to; ++i) {
        const double w = kTwoPi * hz * i / rate;
        const double basis[3] = {std::sin(w), std::cos(w), 1.0};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) m[r][c] += basis[r] * basis[c];
            m[r][3] += basis[r] * x[i];
        }
    }
    for (int p = 0; p < 3; ++p) {
        for (int r = 0; r < 3; ++r) {
            if (r == p) continue;
            const double f = m[r][p] / m[p][p];
            for (int c = 0; c < 4; ++c) m[r][c] -= f * m[p][c];
        }
    }
    const double a = m[0][3] / m[0][0], b = m[1][3] / m[1][1], c = m[2][3] / m[2][2];
    double signal = 0;
    double residual = 0;
    for (size_t i = from; i < to; ++i) {
        const double w = kTwoPi * hz * i / rate;
        const double fit = a * std::sin(w) + b * std::cos(w) + c;
        signal += fit * fit;
        residual += (x[i] - fit) * (x[i] - fit);
    }
    return 10 * std::log10(signal / std::max(residual, 1e-30));
}

// The measures the cases below rest on, on signals whose answer is known.
TEST(GapMeasuresTest, FindGapsAndClicksInKnownSignals) {
    constexpr double kHz = 440.0;
    std::vector<double> tone(kRecordRate);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5 * std::sin(kTwoPi * kHz * i / kRecordRate);
    const double slope = kTwoPi * kHz / kRecordRate * 0.5;
    EXPECT_GT(QuietestWindow(tone), 0.45);
    EXPECT_NEAR(LargestStep(tone), slope, 0.01 * slope);
    EXPECT_NEAR(ZeroCrossingHz(tone, 0, tone.size(), kRecordRate), kHz, 0.001);

    auto gapped = tone;
    std::fill(gapped.begin() + 20000, gapped.begin() + 20000 + kRecordRate / 100, 0.0);
    EXPECT_LT(QuietestWindow(gapped), 1e-9);
    EXPECT_GT(LargestStep(gapped), 5 * slope);

    auto clicked = tone;
    clicked[30000] += 0.2;
    EXPECT_GT(QuietestWindow(clicked), 0.45);
    EXPECT_GT(LargestStep(clicked), 5 * slope);
}

class AudioDevicesEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_PORTAUDIO();
        std::string error;
        ASSERT_TRUE(server_.Start(&error)) << error;
    }
    void TearDown() override { server_.Stop(); }

    // Records the null sink's monitor while `play` runs; the recording is left in `path`.
    template <class Play>
    void RecordMonitor(const std::string& path, Play play) {
        test::BackgroundProgram recorder(
            {"parecord", "--device=speaker.monitor", "--file-format=wav", "--format=s16le",
             "--latency-msec=20", "--rate=" + std::to_string(kRecordRate), "--channels=1", path});
        ASSERT_TRUE(recorder.Running());
        // The monitor of an idle null sink delivers nothing for about the first two seconds of
        // a recording.
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        play();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        // parecord finishes its file on an interrupt.
        recorder.Stop(SIGINT);
    }

    test::PrivatePulseServer server_;
};

TEST_F(AudioDevicesEndToEndTest, ListenReportsTheNoteWrittenIntoTheFifo) {
    struct Case {
        const char* name;
        int note;
        double cents;
    };
    const Case cases[] = {{"e2-low-string", 40, +3.0}, {"a4-sharp", 69, +6.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const double truth = synth::DetuneCents(NoteFrequency(c.note), c.cents);
        Artefact csv(std::string("listen-") + c.name + ".csv");

        test::BackgroundProgram program({kProgram, "--listen", "--seconds", "7"}, true);
        ASSERT_TRUE(program.Running());
        LineReader reader(program.OutputFd());
        FifoWriter fifo(server_.FifoPath());
        ASSERT_TRUE(fifo.Ok());
        // Silence first: the input settles and nothing may be reported for it.
        fifo.Play(std::vector<double>(kFifoRate * 3 / 2, 0.0));
        const auto noteStart = Clock::now();
        fifo.Play(synth::HarmonicTone(truth, kFifoRate, 4.0, {0.3, 0.15, 0.1, 0.05}));
        const auto noteEnd = Clock::now();
        fifo.Play(std::vector<double>(kFifoRate / 2, 0.0));
        EXPECT_EQ(program.Wait(), 0);

        const auto lines = reader.AllLines();
        {
            std::ofstream out(csv.Path());
            for (const auto& l : lines) out << l.text << "\n";
        }
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].text, "time_s,frequency_hz,note,cents");
        const std::string name = ScientificName(c.note);
        std::vector<double> settled, ending;
        double latencyMs = -1;
        for (size_t i = 1; i < lines.size(); ++i) {
            std::stringstream s(lines[i].text);
            std::string time, hz, note;
            std::getline(s, time, ',');
            std::getline(s, hz, ',');
            std::getline(s, note, ',');
            EXPECT_GE(lines[i].arrival, noteStart)
                << "reported during the silence: " << lines[i].text;
            if (note != name) continue;
            const double ms =
                std::chrono::duration<double, std::milli>(lines[i].arrival - noteStart).count();
            if (latencyMs < 0) latencyMs = ms;
            // Once the estimate has settled (a second after the first one). Frames that reach
            // into the following silence hold the end of the note; they are judged apart.
            if (ms > latencyMs + 1000) {
                (lines[i].arrival <= noteEnd ? settled : ending).push_back(std::stod(hz));
            }
        }
        ASSERT_GE(settled.size(), 20u);
        std::nth_element(settled.begin(), settled.begin() + settled.size() / 2, settled.end());
        const double median = settled[settled.size() / 2];
        EXPECT_NEAR(1200 * std::log2(median / truth), 0.0, 1.0) << "median " << median;
        for (double hz : settled) EXPECT_NEAR(1200 * std::log2(hz / truth), 0.0, 1.0);
        // The note stopping inside the frame does not pull the readings off it.
        EXPECT_FALSE(ending.empty());
        for (double hz : ending) EXPECT_NEAR(1200 * std::log2(hz / truth), 0.0, 2.0) << "ending";
        std::printf("[ latency  ] %s: first estimate %.0f ms after the note entered the FIFO\n",
                    c.name, latencyMs);
        RecordProperty(std::string("latency_ms_") + c.name, static_cast<int>(latencyMs));
        EXPECT_LT(latencyMs, 2000.0);
    }
}

TEST_F(AudioDevicesEndToEndTest, ToneOnTheMonitorIsACleanSine) {
    for (const double hz : {440.0, 82.407}) {
        SCOPED_TRACE(hz);
        Artefact wav("tone-" + std::to_string(static_cast<int>(hz)) + ".wav");
        int status = -1;
        RecordMonitor(wav.Path(), [&] {
            status = test::RunQuietly({kProgram, "--tone", std::to_string(hz), "--seconds", "2"});
        });
        EXPECT_EQ(status, 0);
        const auto sound = Sounding(ReadRecording(wav.Path()));
        ASSERT_GT(sound.size(), static_cast<size_t>(kRecordRate * 1.8));
        const size_t from = sound.size() / 2 - kRecordRate / 2;
        const size_t to = from + kRecordRate;
        const double measured = ZeroCrossingHz(sound, from, to, kRecordRate);
        EXPECT_NEAR(measured, hz, 0.02);
        EXPECT_GT(SineFitSnrDb(sound, from, to, measured, kRecordRate), 60.0);
        double peak = 0;
        for (double s : sound) peak = std::max(peak, std::abs(s));
        // Loud but not clipped.
        EXPECT_GT(peak, 0.9);
        EXPECT_LT(peak, 0.9999);
    }
}

TEST_F(AudioDevicesEndToEndTest, SwappingTheToneLeavesNoGapAndNoClick) {
    const double first = 440.0;
    const double second = 523.251;
    Artefact wav("tone-swap.wav");
    int status = -1;
    RecordMonitor(wav.Path(), [&] {
        status = test::RunQuietly({kProgram, "--tone", "440,523.251", "--seconds", "1.5"});
    });
    EXPECT_EQ(status, 0);
    const auto sound = Sounding(ReadRecording(wav.Path()));
    ASSERT_GT(sound.size(), static_cast<size_t>(kRecordRate * 2.8));
    double amplitude = 0;
    for (double s : sound) amplitude = std::max(amplitude, std::abs(s));

    // No gap and no click: no step between samples steeper than the higher tone allows.
    EXPECT_GT(QuietestWindow(sound) / amplitude, 0.05);
    EXPECT_LT(LargestStep(sound), 1.1 * kTwoPi * second / kRecordRate * amplitude);
    // The first tone, then the second.
    EXPECT_NEAR(ZeroCrossingHz(sound, kRecordRate / 4, kRecordRate, kRecordRate), first, 0.05);
    EXPECT_NEAR(ZeroCrossingHz(sound, sound.size() - kRecordRate, sound.size() - kRecordRate / 4,
                               kRecordRate),
                second, 0.05);
}

TEST_F(AudioDevicesEndToEndTest, ToneRidesOutAStalledProgram) {
    // A busy desktop can hold the program back for tens of milliseconds; the device's buffer
    // must carry the tone over such a stall.
    constexpr double kHz = 440.0;
    constexpr auto kStall = std::chrono::milliseconds(60);
    Artefact wav("tone-stalled.wav");
    int status = -1;
    RecordMonitor(wav.Path(), [&] {
        test::BackgroundProgram program({kProgram, "--tone", "440", "--seconds", "3"});
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        for (int i = 0; i < 3; ++i) {
            program.Signal(SIGSTOP);
            std::this_thread::sleep_for(kStall);
            program.Signal(SIGCONT);
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
        }
        status = program.Wait();
    });
    EXPECT_EQ(status, 0);
    const auto sound = Sounding(ReadRecording(wav.Path()));
    ASSERT_GT(sound.size(), static_cast<size_t>(kRecordRate * 2.8));
    double amplitude = 0;
    for (double s : sound) amplitude = std::max(amplitude, std::abs(s));
    EXPECT_GT(QuietestWindow(sound) / amplitude, 0.05);
    EXPECT_LT(LargestStep(sound), 1.1 * kTwoPi * kHz / kRecordRate * amplitude);
}

TEST_F(AudioDevicesEndToEndTest, ListDevicesShowsTheServersDefaults) {
    test::BackgroundProgram program({kProgram, "--list-devices"}, true);
    bool input = false;
    bool output = false;
    std::string listing;
    LineReader reader(program.OutputFd());
    EXPECT_EQ(program.Wait(), 0);
    for (const auto& l : reader.AllLines()) {
        const bool marked = l.text.find("(default)") != std::string::npos;
        input = input || (l.text.rfind("input: ", 0) == 0 && marked);
        output = output || (l.text.rfind("output: ", 0) == 0 && marked);
        listing += l.text + "\n";
    }
    EXPECT_TRUE(input) << listing;
    EXPECT_TRUE(output) << listing;
}

}  // namespace
}  // namespace tw
