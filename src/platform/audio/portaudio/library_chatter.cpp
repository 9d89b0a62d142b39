#include "platform/audio/portaudio/library_chatter.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <mutex>

namespace tw::hal {

namespace {

constexpr std::string_view kReportStart = "Expression '";
constexpr std::string_view kReportSource = "' failed in 'src/";
// A working stream reports a failure a few times at most; its error loop repeats one report
// thousands of times a second. This many in a row, and the thread is not coming back.
constexpr int kEndlessRepeats = 1000;

thread_local bool t_libraryCaller = false;
thread_local uint64_t t_lastReport = 0;  // hash of the thread's last report
thread_local int t_repeats = 0;

// FNV-1a: to tell one report from the next without keeping its text.
uint64_t Hash(std::string_view text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

// A report on the calling thread: ends a thread of the library's once it repeats one report
// without end. PortAudio ends the thread by cancellation when the stream is aborted and
// expects PTHREAD_CANCELED from it; pthread_exit unwinds the same way and runs the library's
// own clean-up, so the abort's join then returns.
void NoteReport(std::string_view line) {
    if (t_libraryCaller) return;
    const uint64_t hash = Hash(line);
    t_repeats = hash == t_lastReport ? t_repeats + 1 : 1;
    t_lastReport = hash;
    if (t_repeats >= kEndlessRepeats) {
        pthread_exit(PTHREAD_CANCELED);
    }
}

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
        if (IsPortAudioReport(line)) {
            NoteReport(line);
        } else {
            WriteAll(line.data(), line.size());
        }
        start = end;
    }
    return static_cast<ssize_t>(size);
}

}  // namespace

bool IsPortAudioReport(std::string_view line) {
    return line.substr(0, kReportStart.size()) == kReportStart &&
           line.find(kReportSource) != std::string_view::npos;
}

void MarkLibraryCaller() {
    t_libraryCaller = true;
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
