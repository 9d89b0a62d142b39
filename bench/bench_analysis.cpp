// Speed of the analysis path, in seconds of audio per second of CPU ("audio_x" counter):
// the core at 16000 Hz, the converter from 44100 Hz, and the whole --analyze command.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/pipeline.h"
#include "analysis/rate_converter.h"
#include "analysis/real_fft.h"
#include "app/command_line.h"
#include "platform/audio/sound_file.h"
#include "synth/synth.h"

namespace {

// A guitar-like tone long enough that every block yields frames in steady state.
constexpr double kSeconds = 10.0;

void ReportAudioRate(benchmark::State& state, double audioSecondsPerIteration) {
    state.counters["audio_x"] =
        benchmark::Counter(audioSecondsPerIteration * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}

void BM_ProcessBlock16k(benchmark::State& state) {
    const uint32_t block = static_cast<uint32_t>(state.range(0));
    const auto samples = tw::synth::ToInternalSamples(
        tw::synth::HarmonicTone(196.0, 16000.0, kSeconds, {0.25, 0.12, 0.08, 0.05, 0.03}));
    tw::ManualClock clock;
    tw::AnalysisCore core(&clock);
    for (auto _ : state) {
        for (size_t at = 0; at + block <= samples.size(); at += block)
            core.ProcessBlock(samples.data() + at, block);
    }
    benchmark::DoNotOptimize(core.PublishedFrequency());
    ReportAudioRate(state, kSeconds);
    // Frames per pass: one per hop once the first frame is full.
    const double frames = static_cast<double>((samples.size() - tw::kFrameLength) / tw::kHop + 1);
    state.counters["per_frame"] =
        benchmark::Counter(frames * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ProcessBlock16k)->Arg(512)->Arg(1600)->Unit(benchmark::kMillisecond);

// One frame's spectrum: the full complex transform of the windowed frame against the packed
// half-size one.
void BM_FullComplexTransform(benchmark::State& state) {
    const auto samples = tw::synth::ToInternalSamples(
        tw::synth::HarmonicTone(196.0, 16000.0, 1.0, {0.25, 0.12, 0.08, 0.05, 0.03}));
    const tw::LFFT fft(tw::kFrameOrder);
    const tw::LHammingWindow window(tw::kFrameLength);
    tw::LSpectrum s(tw::kFrameLength);
    for (auto _ : state) {
        tw::ApplyWindow(s, samples.data(), tw::kFrameLength, window);
        tw::Transform(fft, s);
        benchmark::DoNotOptimize(s.Real()[100]);
    }
}
BENCHMARK(BM_FullComplexTransform)->Unit(benchmark::kMicrosecond);

void BM_RealTransform(benchmark::State& state) {
    const auto samples = tw::synth::ToInternalSamples(
        tw::synth::HarmonicTone(196.0, 16000.0, 1.0, {0.25, 0.12, 0.08, 0.05, 0.03}));
    const tw::LRealFFT fft(tw::kFrameOrder);
    const tw::LHammingWindow window(tw::kFrameLength);
    tw::LSpectrum s(tw::kFrameLength);
    for (auto _ : state) {
        fft.Transform(samples.data(), window, s);
        benchmark::DoNotOptimize(s.Real()[100]);
    }
}
BENCHMARK(BM_RealTransform)->Unit(benchmark::kMicrosecond);

// Swallows the converter's output.
class NullSink final : public tw::LSoundSink {
  public:
    NullSink() : LSoundSink(16000, 1) {}
    void WriteBlock(const tw::Sample* samples, int32_t frames) override {
        if (frames > 0) benchmark::DoNotOptimize(samples[frames - 1]);
    }
};

void BM_Converter44100To16000(benchmark::State& state) {
    const auto samples = tw::synth::ToInternalSamples(
        tw::synth::HarmonicTone(196.0, 44100.0, kSeconds, {0.25, 0.12, 0.08, 0.05, 0.03}));
    tw::SinkRef sink = tw::SinkRef::Adopt(new NullSink());
    tw::SinkRef converter = tw::ConverterFor(44100, sink.get());
    for (auto _ : state) {
        for (size_t at = 0; at + 4410 <= samples.size(); at += 4410)
            converter->WriteBlock(samples.data() + at, 4410);
    }
    ReportAudioRate(state, kSeconds);
}
BENCHMARK(BM_Converter44100To16000)->Unit(benchmark::kMillisecond);

void BM_AnalyzeCommand(benchmark::State& state) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "tw-bench-analyze.wav").string();
    const auto samples = tw::synth::ToDeviceSamples(
        tw::synth::HarmonicTone(196.0, 44100.0, kSeconds, {0.25, 0.12, 0.08, 0.05, 0.03}));
    if (!tw::WriteSoundFile(path, tw::SoundFileFormat::kWav16, 44100, 1, samples.data(),
                            static_cast<int64_t>(samples.size()), nullptr)) {
        state.SkipWithError("cannot write the input file");
        return;
    }
    std::FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state) tw::AnalyzeFile(path, sink, sink);
    std::fclose(sink);
    std::filesystem::remove(path);
    ReportAudioRate(state, kSeconds);
}
BENCHMARK(BM_AnalyzeCommand)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
