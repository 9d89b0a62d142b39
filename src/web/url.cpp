#include "web/url.h"

#include <vector>

namespace tw {

namespace {

bool IsControlOrSpace(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7f;
}

bool IsControl(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7f;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

bool IsSchemeChar(char c, bool first) {
    bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return alpha;
    return alpha || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// True when `text` starts with "scheme://".
bool HasScheme(std::string_view text) {
    size_t marker = text.find("://");
    if (marker == std::string_view::npos || marker == 0) return false;
    for (size_t i = 0; i < marker; ++i) {
        if (!IsSchemeChar(text[i], i == 0)) return false;
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && IsControlOrSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view WithoutFragment(std::string_view text) {
    return text.substr(0, text.find('#'));
}

}  // namespace

bool SplitUrl(std::string_view url, UrlParts* parts) {
    url = WithoutFragment(url);
    size_t host_begin = 0;
    size_t first_slash = url.find('/');
    if (first_slash != std::string_view::npos && first_slash + 1 < url.size() &&
        url[first_slash + 1] == '/') {
        // Only this first pair marks a scheme; a later "//" belongs to the path.
        std::string_view scheme = url.substr(0, first_slash);
        if (!scheme.empty() && !EqualsIgnoringCase(scheme, "http:")) return false;
        host_begin = first_slash + 2;
    }
    size_t host_end = url.find_first_of("/?", host_begin);
    if (host_end == std::string_view::npos) host_end = url.size();
    std::string_view host = url.substr(host_begin, host_end - host_begin);
    if (host.empty() || host.size() > kMaxUrlHostLength) return false;
    for (char c : host) {
        if (IsControlOrSpace(c)) return false;
    }
    std::string path;
    if (host_end == url.size() || url[host_end] != '/') path = "/";
    for (char c : url.substr(host_end)) {
        if (IsControl(c)) return false;
        if (c == ' ') {
            path += "%20";
        } else {
            path += c;
        }
    }
    parts->host = std::string(host);
    parts->path = std::move(path);
    return true;
}

bool RemoveDotSegments(std::string_view path, std::string* normalized) {
    if (path.empty() || path.front() != '/') return false;
    size_t query_begin = path.find('?');
    std::string_view query =
        query_begin == std::string_view::npos ? std::string_view() : path.substr(query_begin);
    std::string_view rest = path.substr(
        1, query_begin == std::string_view::npos ? std::string_view::npos : query_begin - 1);
    std::vector<std::string_view> kept;
    for (;;) {
        size_t slash = rest.find('/');
        std::string_view segment = rest.substr(0, slash);
        bool last = slash == std::string_view::npos;
        if (segment == "..") {
            if (kept.empty()) return false;
            kept.pop_back();
            if (last) kept.emplace_back();
        } else if (segment == ".") {
            if (last) kept.emplace_back();
        } else {
            kept.push_back(segment);
        }
        if (last) break;
        rest.remove_prefix(slash + 1);
    }
    std::string result;
    for (std::string_view segment : kept) {
        result += '/';
        result += segment;
    }
    if (result.empty()) result = "/";
    result += query;
    *normalized = std::move(result);
    return true;
}

bool ResolveLocation(std::string_view base_url, std::string_view location, std::string* resolved) {
    location = WithoutFragment(Trim(location));
    if (HasScheme(location)) {
        *resolved = std::string(location);
        return true;
    }
    if (location.substr(0, 2) == "//") {
        *resolved = "http:" + std::string(location);
        return true;
    }
    UrlParts base;
    if (!SplitUrl(base_url, &base)) return false;
    std::string root = "http://" + base.host;
    std::string base_path = base.path.substr(0, base.path.find('?'));
    std::string path;
    if (location.empty()) {
        path = base.path;
    } else if (location.front() == '/') {
        path = std::string(location);
    } else if (location.front() == '?') {
        path = base_path + std::string(location);
    } else {
        path = base_path.substr(0, base_path.rfind('/') + 1) + std::string(location);
    }
    std::string normalized;
    if (!RemoveDotSegments(path, &normalized)) return false;
    *resolved = root + normalized;
    return true;
}

}  // namespace tw
