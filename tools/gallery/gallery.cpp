// The tuner's views in the states a player meets, drawn into PNG files at scale 1 and 2,
// to look at the artwork and layout without starting the program.
//
// Usage: tunewright-gallery [OUTPUT_FOLDER]   (default: "gallery" in the current folder)
// Writes <view>-<state>@1x.png and @2x.png; exit status 1 when a file cannot be written.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tuner/note_range_bar.h"
#include "tuner/notes.h"
#include "tuner/string_picker.h"
#include "tuner/tuner_display.h"

namespace {

using tw::ImageSurface;

// Sizes of the panes in a main window whose display pane is 600 pixels wide.
constexpr int kDisplayWidth = 600;
constexpr int kDisplayHeight = 110;
constexpr int kWindowWidth = kDisplayWidth + 70;
constexpr int kBarWidth = kWindowWidth - 102;
constexpr int kBarHeight = 22;
constexpr int kPickerHeight = 123;

constexpr int kGuitar = 9;
constexpr int kViolin = 13;

// A steady estimate fed for a few ticks, as the main window does at 20 ticks a second.
void FeedSteady(tw::TunerDisplay& d, float hz) {
    for (int i = 0; i < 3; ++i) {
        d.FeedEstimate(hz);
        d.Tick();
    }
}

float Cents(float hz, double cents) {
    return float(hz * std::pow(2.0, cents / 1200.0));
}

struct Picture {
    std::string name;
    int width;
    int height;
    std::function<void(tw::PaintContext&, int, int)> draw;
};

template <typename View>
void DrawView(View& view, tw::PaintContext& pc, int w, int h) {
    view.DrawInto(pc, w, h);
}

std::vector<Picture> Pictures() {
    std::vector<Picture> p;
    auto display = [&p](const std::string& state, std::function<void(tw::TunerDisplay&)> set_up,
                        int w = kDisplayWidth) {
        p.push_back(
            {"display-" + state, w, kDisplayHeight, [set_up](tw::PaintContext& pc, int pw, int ph) {
                 tw::TunerDisplay d;
                 set_up(d);
                 DrawView(d, pc, pw, ph);
             }});
    };
    display("before-first-estimate", [](tw::TunerDisplay&) {});
    display("in-tune", [](tw::TunerDisplay& d) {
        d.SetTargetNote(tw::kNoteA4);
        FeedSteady(d, 440.3f);  // 1.2 cents sharp: inside the 0.1 % band
    });
    display("30-cents-flat", [](tw::TunerDisplay& d) {
        d.SetTargetNote(tw::kNoteA4);
        FeedSteady(d, Cents(440.0f, -30));
    });
    display("30-cents-sharp", [](tw::TunerDisplay& d) {
        d.SetTargetNote(tw::kNoteA4);
        FeedSteady(d, Cents(440.0f, 30));
    });
    display("target-outside-span", [](tw::TunerDisplay& d) {
        d.SetTargetNote(40);  // E2, far below an A4
        FeedSteady(d, 440.0f);
    });
    display("marker-near-right-edge", [](tw::TunerDisplay& d) {
        d.SetTargetFrequency(float(440.0 * std::pow(1.0003, 270)));  // 30 pixels from the edge
        FeedSteady(d, 440.0f);
    });
    display("scale-440", [](tw::TunerDisplay& d) {
        d.SetTargetNote(tw::kNoteA4);
        FeedSteady(d, 440.0f);
    });
    display("scale-82.41", [](tw::TunerDisplay& d) {
        d.SetTargetNote(40);
        FeedSteady(d, 82.41f);
    });
    display("no-signal-after-sound", [](tw::TunerDisplay& d) {
        d.SetTargetNote(40);
        FeedSteady(d, 81.6f);
        d.ShowNoSignal();
    });

    auto bar = [&p](const std::string& state, std::function<void(tw::NoteRangeBar&)> set_up) {
        p.push_back({"range-bar-" + state, kBarWidth, kBarHeight,
                     [set_up](tw::PaintContext& pc, int pw, int ph) {
                         tw::NoteRangeBar b;
                         set_up(b);
                         DrawView(b, pc, pw, ph);
                     }});
    };
    bar("before-first-estimate", [](tw::NoteRangeBar&) {});
    bar("guitar-low-e-30-cents-flat", [](tw::NoteRangeBar& b) {
        b.SetTargetNote(40);
        b.SetMeasuredFrequency(Cents(82.41f, -30));
    });
    bar("no-target", [](tw::NoteRangeBar& b) {
        b.SetTargetNote(tw::kNoteListEnd);
        b.SetMeasuredFrequency(196.0f);
    });

    auto picker = [&p](const std::string& state, std::function<void(tw::StringPicker&)> set_up) {
        p.push_back({"picker-" + state, kWindowWidth, kPickerHeight,
                     [set_up](tw::PaintContext& pc, int pw, int ph) {
                         tw::StringPicker s;
                         DrawView(s, pc, pw, ph);  // learns the pane's size first
                         pc.Save();
                         set_up(s);
                         pc.Restore();
                         DrawView(s, pc, pw, ph);
                     }});
    };
    picker("six-strings-third-selected", [](tw::StringPicker& s) {
        s.SetStrings(tw::TuningNotesOf(kGuitar, 0));
        s.SelectString(2);
    });
    picker("four-strings",
           [](tw::StringPicker& s) { s.SetStrings(tw::TuningNotesOf(kViolin, 0)); });
    picker("empty", [](tw::StringPicker& s) { s.SetStrings(tw::TuningNotesOf(0, 0)); });
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path out = argc > 1 ? argv[1] : "gallery";
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    int failures = 0;
    for (const Picture& picture : Pictures()) {
        for (int scale : {1, 2}) {
            ImageSurface surface(picture.width, picture.height, scale);
            picture.draw(surface.Context(), picture.width, picture.height);
            const std::string file =
                (out / (picture.name + "@" + std::to_string(scale) + "x.png")).string();
            if (!surface.WritePng(file)) {
                std::fprintf(stderr, "tunewright-gallery: cannot write %s\n", file.c_str());
                ++failures;
            }
        }
    }
    std::printf("%s\n", std::filesystem::absolute(out).string().c_str());
    return failures == 0 ? 0 : 1;
}
