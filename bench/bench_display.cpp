// Drawing speed of the tuner's views into image surfaces, and the cost of text labels
// with the paint context's kept layouts (warm) and with none kept (cold).
//
// The main window redraws the display at most 20 times a second, so a draw of t µs costs
// t / 500 % of a core.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "tuner/note_range_bar.h"
#include "tuner/notes.h"
#include "tuner/string_picker.h"
#include "tuner/tuner_display.h"

namespace {

constexpr int kDisplayWidth = 600;
constexpr int kDisplayHeight = 110;
constexpr int kGuitar = 9;

// A pitch wandering around A4 by a few cents, new on every tick as a live signal is.
float Wander(int tick) {
    return 440.0f + float((tick * 7) % 23) * 0.11f;
}

void BM_TunerDisplayDraw(benchmark::State& state) {
    const double scale = double(state.range(0));
    tw::ImageSurface surface(kDisplayWidth, kDisplayHeight, scale);
    tw::TunerDisplay display;
    display.SetTargetNote(tw::kNoteA4);
    int tick = 0;
    for (auto _ : state) {
        display.FeedEstimate(Wander(tick++));
        display.Tick();
        display.DrawInto(surface.Context(), kDisplayWidth, kDisplayHeight);
    }
    state.SetLabel(scale == 1 ? "600x110" : "1200x220 (scale 2)");
}
BENCHMARK(BM_TunerDisplayDraw)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_NoteRangeBarDraw(benchmark::State& state) {
    const int w = 568;
    const int h = 22;
    tw::ImageSurface surface(w, h);
    tw::NoteRangeBar bar;
    bar.SetTargetNote(40);
    int tick = 0;
    for (auto _ : state) {
        bar.SetMeasuredFrequency(Wander(tick++) / 5.34f);
        bar.DrawInto(surface.Context(), w, h);
    }
}
BENCHMARK(BM_NoteRangeBarDraw)->Unit(benchmark::kMicrosecond);

void BM_StringPickerDraw(benchmark::State& state) {
    const int w = 670;
    const int h = 123;
    tw::ImageSurface surface(w, h);
    tw::StringPicker picker;
    picker.SetStrings(tw::TuningNotesOf(kGuitar, 0));
    picker.SelectString(2);
    for (auto _ : state) picker.DrawInto(surface.Context(), w, h);
}
BENCHMARK(BM_StringPickerDraw)->Unit(benchmark::kMicrosecond);

// The 14 texts of a busy 600 x 110 display: octave digits and letters of four notes,
// two sharps, two frequency labels (one new each time) and "No Signal". Counter
// "per_label" is the time of one label.
void DrawFourteenLabels(tw::PaintContext& pc, int frame) {
    const char* letters[] = {"G", "G", "A", "A"};
    for (int i = 0; i < 4; ++i) {
        pc.SetFont(10, false);
        pc.DrawText(i * 150 + 8, 6, "4");
        pc.SetFont(20, false);
        pc.DrawText(i * 150 + 16, 12, letters[i]);
    }
    pc.SetFont(12, false);
    pc.DrawText(35, 10, "#");
    pc.DrawText(335, 10, "#");
    char text[32];
    std::snprintf(text, sizeof text, "%.2f Hz", 440.0 + (frame % 100) * 0.01);
    pc.SetFont(11, false);
    pc.DrawText(305, 90, text);
    pc.DrawText(305, 65, "440.00 Hz");
    pc.SetFont(14, true);
    pc.DrawText(10, 87, "No Signal");
}

void BM_Labels14(benchmark::State& state) {
    const bool keep = state.range(0) != 0;
    tw::ImageSurface surface(kDisplayWidth, kDisplayHeight);
    int frame = 0;
    for (auto _ : state) {
        if (!keep) tw::ClearTextLayoutCache();
        DrawFourteenLabels(surface.Context(), frame++);
    }
    state.counters["per_label"] =
        benchmark::Counter(14.0 * double(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetLabel(keep ? "layouts kept" : "no layouts kept");
}
BENCHMARK(BM_Labels14)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
