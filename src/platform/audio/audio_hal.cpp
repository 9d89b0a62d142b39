#include "platform/audio/audio_hal.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "platform/audio/virtual/virtual_backend.h"
#ifdef TW_HAVE_PORTAUDIO
#include "platform/audio/portaudio/portaudio_backend.h"
#endif

namespace tw::hal {

namespace {

struct BackendEntry {
    const char* name;
    // nullptr when the backend cannot start here (no library, no sound system).
    AudioBackend* (*make)();
};

AudioBackend* MakeVirtual() {
    return &Virtual();
}

#ifdef TW_HAVE_PORTAUDIO
AudioBackend* MakePortAudio() {
    return PortAudio();
}
#endif

// In order of preference; the last one always starts.
constexpr BackendEntry kBackends[] = {
#ifdef TW_HAVE_PORTAUDIO
    {"portaudio", &MakePortAudio},
#endif
    {"virtual", &MakeVirtual},
};

std::mutex g_mutex;
std::atomic<AudioBackend*> g_backend{nullptr};

AudioBackend* Make(const std::string& name) {
    for (const auto& entry : kBackends) {
        if (name == entry.name) return entry.make();
    }
    return nullptr;
}

}  // namespace

namespace {
std::mutex g_errorMutex;
std::string g_lastError;  // under g_errorMutex
}  // namespace

std::string LastError() {
    std::lock_guard<std::mutex> lock(g_errorMutex);
    return g_lastError;
}

void RecordError(std::string reason) {
    std::lock_guard<std::mutex> lock(g_errorMutex);
    g_lastError = std::move(reason);
}

AudioBackend& Backend() {
    if (AudioBackend* b = g_backend.load(std::memory_order_acquire)) return *b;
    std::lock_guard<std::mutex> lock(g_mutex);
    if (AudioBackend* b = g_backend.load(std::memory_order_relaxed)) return *b;
    AudioBackend* chosen = nullptr;
    if (const char* wanted = std::getenv("TUNEWRIGHT_AUDIO")) chosen = Make(wanted);
    // An unknown or unavailable backend is not an error: the next in the table serves.
    for (const auto& entry : kBackends) {
        if (chosen) break;
        chosen = entry.make();
    }
    g_backend.store(chosen, std::memory_order_release);
    return *chosen;
}

bool SelectBackend(const std::string& name) {
    std::lock_guard<std::mutex> lock(g_mutex);
    AudioBackend* b = Make(name);
    if (!b) return false;
    g_backend.store(b, std::memory_order_release);
    return true;
}

void ApplyChannelMap(const int32_t* client, int clientChannels, int32_t* device, int deviceChannels,
                     const int32_t* map, int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        const int32_t* in = client + static_cast<size_t>(i) * clientChannels;
        int32_t* out = device + static_cast<size_t>(i) * deviceChannels;
        for (int c = 0; c < deviceChannels; ++c) {
            const int32_t from = map ? map[c] : c;
            out[c] = from >= 0 && from < clientChannels ? in[from] : 0;
        }
    }
}

std::vector<int32_t> DefaultChannelMap(int deviceChannels, int clientChannels) {
    std::vector<int32_t> map(deviceChannels > 0 ? deviceChannels : 0);
    for (int c = 0; c < deviceChannels; ++c) map[c] = c < clientChannels ? c : -1;
    return map;
}

}  // namespace tw::hal
