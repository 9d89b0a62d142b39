#include "platform/core/sound_settings.h"

#include <glib.h>

namespace tw {

namespace {

struct Candidate {
    const char* program;
    const char* argument;  // nullptr: none
};

// In order of preference: the mixer made for PulseAudio and PipeWire, then GNOME's panel.
constexpr Candidate kCandidates[] = {
    {"pavucontrol", nullptr},
    {"gnome-control-center", "sound"},
};

}  // namespace

std::vector<std::string> SoundSettingsCommand() {
    for (const Candidate& c : kCandidates) {
        gchar* path = g_find_program_in_path(c.program);
        if (!path) continue;
        std::vector<std::string> command{path};
        g_free(path);
        if (c.argument) command.emplace_back(c.argument);
        return command;
    }
    return {};
}

bool OpenSoundSettings() {
    const std::vector<std::string> command = SoundSettingsCommand();
    if (command.empty()) return false;
    std::vector<gchar*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<gchar*>(a.c_str()));
    argv.push_back(nullptr);
    GError* error = nullptr;
    // Detached: the child is reaped by GLib, and it keeps running when we quit.
    const gboolean ok = g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr,
                                      nullptr, nullptr, &error);
    if (error) g_error_free(error);
    return ok;
}

}  // namespace tw
