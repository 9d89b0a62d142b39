#include "platform/audio/portaudio/library_chatter.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

namespace tw::hal {

namespace {

constexpr std::string_view kReportStart = "Expression '";
constexpr std::string_view kReportSource = "' failed in 'src/";

// Writes all of it to file descriptor 2, as the C library's own stderr does.
void WriteAll(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(STDERR_FILENO, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

// The stream's write function: whichever thread prints. The stream is unbuffered, so each
// fprintf arrives here whole (glibc formats it into one buffer first); a line that is split
// over two calls is merely passed through.
ssize_t WriteFiltered(void*, const char* data, size_t size) {
    const std::string_view text(data, size);
    size_t start = 0;
    while (start < size) {
        const size_t newline = text.find('\n', start);
        const size_t end = newline == std::string_view::npos ? size : newline + 1;
        const std::string_view line = text.substr(start, end - start);
        if (!IsPortAudioReport(line)) WriteAll(line.data(), line.size());
        start = end;
    }
    return static_cast<ssize_t>(size);
}

}  // namespace

bool IsPortAudioReport(std::string_view line) {
    return line.substr(0, kReportStart.size()) == kReportStart &&
           line.find(kReportSource) != std::string_view::npos;
}

void SilencePortAudioReports() {
    static std::once_flag once;
    std::call_once(once, [] {
        cookie_io_functions_t functions{};
        functions.write = &WriteFiltered;
        FILE* filtered = fopencookie(nullptr, "w", functions);
        if (!filtered) return;
        setvbuf(filtered, nullptr, _IONBF, 0);
        // Callers that ask for stderr's descriptor (isatty, GLib's colour test) still get 2;
        // the cookie stream itself never uses it.
        filtered->_fileno = STDERR_FILENO;
        std::fflush(stderr);
        // The old stream stays open: it is unbuffered, so nothing waits in it.
        stderr = filtered;
    });
}

}  // namespace tw::hal
