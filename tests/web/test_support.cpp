#include "web/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tw::test {

long long MillisecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
        .count();
}

bool RecordingObserver::IsCancelled() {
    auto now = SteadyClock::now();
    if (last_ask_) {
        auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(now - *last_ask_);
        longest_gap_ms_ = std::max<long long>(longest_gap_ms_, gap.count());
    }
    last_ask_ = now;
    ++asks_;
    return cancel_at_ && now >= *cancel_at_;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteWholeFile(const std::string& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string Response(std::string_view status, std::string_view headers, std::string_view body) {
    std::string text = "HTTP/1.0 " + std::string(status) + "\r\n" + std::string(headers);
    text += "\r\n";
    text += body;
    return text;
}

std::string OkWithLength(std::string_view body) {
    return Response("200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n", body);
}

std::string BinaryBody(size_t size) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        static const char kPattern[] = "\r\n\0HTTP/1.0 200\r\n\r\nabc\n";
        body[i] = kPattern[(i * 7 + i / 13) % (sizeof kPattern - 1)];
    }
    return body;
}

}  // namespace tw::test
