#include "platform/audio/virtual/virtual_options.h"

#include <cstdlib>
#include <sstream>

namespace tw::hal {

namespace {

bool ParseInt(const std::string& text, int32_t* value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 0 || v > 100000000) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream s(text);
    for (std::string part; std::getline(s, part, separator);) parts.push_back(part);
    return parts;
}

}  // namespace

bool ParseVirtualDevices(const std::string& option, VirtualDeviceOptions* out, std::string* error) {
    std::vector<VirtualDeviceSpec> specs;
    bool noDefault = false;
    for (const std::string& text : Split(option, ';')) {
        if (text.empty()) continue;
        VirtualDeviceSpec spec;
        for (const std::string& field : Split(text, ',')) {
            const size_t eq = field.find('=');
            const std::string key = field.substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : field.substr(eq + 1);
            bool ok = true;
            if (key == "name") {
                spec.name = value;
            } else if (key == "rate") {
                ok = ParseInt(value, &spec.rate) && spec.rate > 0;
            } else if (key == "in") {
                for (const std::string& c : Split(value, '+')) {
                    int32_t n = 0;
                    ok = ok && ParseInt(c, &n) && n > 0 && n <= 64;
                    spec.inputBuffers.push_back(n);
                }
            } else if (key == "out") {
                int32_t n = 0;
                ok = ParseInt(value, &n) && n > 0 && n <= 64;
                spec.outputChannels = n;
            } else if (key == "sources") {
                spec.dataSources = Split(value, '|');
            } else if (key == "signal") {
                const auto parts = Split(value, ':');
                const std::string kind = parts.empty() ? "" : parts[0];
                if (kind == "silence") {
                    spec.signal.kind = VirtualSignal::Kind::kSilence;
                } else if (kind == "nothing") {
                    spec.signal.kind = VirtualSignal::Kind::kNothing;
                } else if ((kind == "tone" || kind == "harmonic") && parts.size() >= 2) {
                    spec.signal.kind = kind == "tone" ? VirtualSignal::Kind::kTone
                                                      : VirtualSignal::Kind::kHarmonic;
                    spec.signal.hz = std::atof(parts[1].c_str());
                    if (parts.size() >= 3) spec.signal.level = std::atof(parts[2].c_str());
                    ok = spec.signal.hz > 0;
                } else if (kind == "file" && value.size() > 5) {
                    spec.signal.kind = VirtualSignal::Kind::kFile;
                    spec.signal.path = value.substr(5);
                } else {
                    ok = false;
                }
            } else if (key == "silent_after") {
                ok = ParseInt(value, &spec.silentAfterMs);
            } else if (key == "vanish_after") {
                ok = ParseInt(value, &spec.vanishAfterMs);
            } else if (key == "busy") {
                spec.busy = true;
            } else if (key == "default_in") {
                spec.defaultInput = true;
            } else if (key == "default_out") {
                spec.defaultOutput = true;
            } else if (key == "no_default_in") {
                noDefault = true;
            } else {
                ok = false;
            }
            if (!ok) {
                if (error) *error = "cannot read the virtual device field '" + field + "'";
                return false;
            }
        }
        if (!spec.name.empty()) specs.push_back(spec);
    }
    out->devices = std::move(specs);
    out->noDefaultInput = noDefault;
    return true;
}

}  // namespace tw::hal
