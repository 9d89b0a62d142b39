#include "web/update_check.h"

#include <charconv>
#include <vector>

#include "web/http_client.h"

namespace tw {

namespace {

// The value after `key`, searched from `*from`; `*from` moves past the key.
bool FindValue(std::string_view text, std::string_view key, size_t* from, std::string_view* value) {
    size_t at = text.find(key, *from);
    if (at == std::string_view::npos) return false;
    size_t begin = at + key.size();
    size_t end = text.find('&', begin);
    if (end == std::string_view::npos) end = text.size();
    *value = text.substr(begin, std::min(end - begin, kVersionValueMaxLength));
    *from = begin;
    return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool IsBrowsableAddress(std::string_view address) {
    if (!StartsWithIgnoringCase(address, "http://") &&
        !StartsWithIgnoringCase(address, "https://")) {
        return false;
    }
    for (char c : address) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f) return false;
    }
    return true;
}

}  // namespace

bool ParseVersionNumber(std::string_view text, double* version) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.')) {
        return false;  // no sign, no "inf" or "nan"
    }
    double value = 0.0;
    auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end == text.data()) return false;
    *version = value;
    return true;
}

bool IsNewerThanProgram(double online_version) {
    double own = 0.0;
    ParseVersionNumber(kProgramVersion, &own);
    return online_version > own;
}

int ParseVersionInformation(std::string_view text, VersionInformation* info) {
    size_t from = 0;
    std::string_view version_text, info_text, download_text;
    if (!FindValue(text, "version=", &from, &version_text)) return 2;
    if (!FindValue(text, "info=", &from, &info_text)) return 2;
    if (!FindValue(text, "download=", &from, &download_text)) return 2;
    double version;
    if (!ParseVersionNumber(version_text, &version)) return 2;
    // The value runs to "&" or the end of the text, which may bring a line end along.
    while (!info_text.empty() && (info_text.back() == '\r' || info_text.back() == '\n' ||
                                  info_text.back() == ' ' || info_text.back() == '\t')) {
        info_text.remove_suffix(1);
    }
    if (!IsBrowsableAddress(info_text)) return 2;
    info->online_version = version;
    info->info_address = std::string(info_text);
    return 0;
}

int FetchVersionInformation(LUpdateObserver* observer, std::string_view address,
                            VersionInformation* info) {
    if (observer != nullptr) {
        observer->SetStatusText("Checking for updated version...");
        observer->SetProgress(0.0);
    }
    std::vector<char> buffer(kVersionResponseBytes);
    int code = HttpGet(observer, address, buffer.data(), buffer.size(), kVersionTimeoutMs);
    if (code != kHttpOk) return code;
    code = ParseVersionInformation(buffer.data(), info);
    if (code == 0 && observer != nullptr) observer->SetProgress(1.0);
    return code;
}

}  // namespace tw
