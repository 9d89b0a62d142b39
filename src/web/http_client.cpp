#include "web/http_client.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/core/file_lock.h"
#include "platform/net/download_file.h"
#include "web/url.h"

namespace tw {

namespace {

// The destination lock is retried with doubling sleeps (7, 14, 28, 56, 112 ms) within about
// 200 ms; the download then goes on with or without it.
constexpr int kLockBudgetMs = 200;
constexpr int kFirstLockSleepMs = kLockBudgetMs / 32 + 1;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    }
    return true;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string GetRequest(const UrlParts& url) {
    return "GET " + url.path + " HTTP/1.0\r\nHost: " + url.host + "\r\n\r\n";
}

// The status code of a status line: "HTTP" (any case) first and three digits in the tenth
// to twelfth characters; -1 for anything else.
int ParseStatusCode(std::string_view line) {
    if (!StartsWithIgnoringCase(line, "HTTP") || line.size() < 12) return -1;
    int code = 0;
    for (size_t i = 9; i < 12; ++i) {
        if (!IsDigit(line[i])) return -1;
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

// Leading digits of a Content-Length value (after blanks), saturated; no digits read as 0.
int64_t ParseContentLength(std::string_view value) {
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
    }
    constexpr int64_t kSaturated = INT64_MAX / 16;
    int64_t length = 0;
    for (char c : value) {
        if (!IsDigit(c)) break;
        length = std::min(kSaturated, length * 10 + (c - '0'));
    }
    return length;
}

void LockDestination(DownloadFile* file) {
    int handle = file->OpenDestination();
    if (handle < 0) return;  // nothing there yet that another process could hold
    int slept = 0;
    for (int sleep_ms = kFirstLockSleepMs;; sleep_ms *= 2) {
        if (LockFileDescriptor(handle, FileLockMode::kExclusive, false) !=
            FileLockResult::kWouldBlock) {
            return;
        }
        if (slept >= kLockBudgetMs) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(sleep_ms));
        slept += sleep_ms;
    }
}

struct Hop {
    int code = kHttpFailed;
    bool redirected = false;
    std::string location;
};

class Downloader {
  public:
    Downloader(LTransferObserver* observer, const std::string& path,
               const HttpDownloadLimits& limits)
        : connection_(observer), path_(path), limits_(limits) {}

    Hop Fetch(std::string_view url, bool follow_redirects);

  private:
    Hop Fail(int code) {
        connection_.Close();
        return Hop{code, false, {}};
    }
    Hop FollowLocation(std::string_view url, WaitBudget* head);
    int ReadHeaders(WaitBudget* head, int64_t* content_length);
    int ReceiveBody(int64_t content_length, DownloadFile* file);

    HttpConnection connection_;
    const std::string& path_;
    const HttpDownloadLimits& limits_;
};

Hop Downloader::Fetch(std::string_view url, bool follow_redirects) {
    UrlParts parts;
    if (!SplitUrl(url, &parts)) return Fail(kHttpFailed);
    int code = connection_.Connect(parts.host, limits_.connect_timeout_ms);
    if (code != kHttpOk) return Fail(code);
    code = connection_.SendAll(GetRequest(parts), limits_.send_timeout_ms);
    if (code != kHttpOk) return Fail(code);

    WaitBudget head(limits_.head_timeout_ms);
    std::string line;
    bool cut;
    code = connection_.ReadLine(&line, &cut, &head, limits_.max_line_bytes);
    if (code != kHttpOk) return Fail(code);
    int status = ParseStatusCode(line);
    if (status < 0) return Fail(kHttpFailed);
    if (status >= 300 && status <= 399 && follow_redirects) return FollowLocation(url, &head);
    if (status < 200 || status > 299) return Fail(kHttpFailed);

    int64_t content_length = -1;
    code = ReadHeaders(&head, &content_length);
    if (code != kHttpOk) return Fail(code);
    if (content_length > limits_.max_body_bytes) return Fail(kHttpFailed);

    DownloadFile file(path_);
    if (!file.Create()) return Fail(kHttpFailed);
    code = ReceiveBody(content_length, &file);
    connection_.Close();
    if (code != kHttpOk) return Hop{code, false, {}};  // the file discards its temporary
    LockDestination(&file);
    if (!file.Commit()) return Hop{kHttpFailed, false, {}};
    return Hop{kHttpOk, false, {}};
}

Hop Downloader::FollowLocation(std::string_view url, WaitBudget* head) {
    // Up to max_header_lines header lines, then the empty line that ends them.
    for (int lines = 0;; ++lines) {
        std::string line;
        bool cut;
        int code = connection_.ReadLine(&line, &cut, head, limits_.max_line_bytes);
        if (code != kHttpOk) return Fail(code);
        if (line.empty() || lines == limits_.max_header_lines) break;  // no Location
        if (!StartsWithIgnoringCase(line, "Location:")) continue;
        connection_.Close();
        Hop hop;
        // A cut value would send us somewhere the server never named.
        if (cut || !ResolveLocation(url, std::string_view(line).substr(9), &hop.location)) {
            return hop;
        }
        hop.code = kHttpOk;
        hop.redirected = true;
        return hop;
    }
    return Fail(kHttpFailed);
}

int Downloader::ReadHeaders(WaitBudget* head, int64_t* content_length) {
    // Up to max_header_lines header lines, then the empty line that ends them.
    for (int lines = 0;; ++lines) {
        std::string line;
        bool cut;
        int code = connection_.ReadLine(&line, &cut, head, limits_.max_line_bytes);
        if (code != kHttpOk) return code;
        if (line.empty()) return kHttpOk;
        if (lines == limits_.max_header_lines) return kHttpFailed;  // more than any real answer
        // Case-sensitive, as the servers we talk to send it.
        if (line.compare(0, 16, "Content-Length: ") == 0) {
            *content_length = ParseContentLength(std::string_view(line).substr(16));
        }
    }
}

int Downloader::ReceiveBody(int64_t content_length, DownloadFile* file) {
    const bool known = content_length >= 0;
    int64_t received = 0;
    std::vector<char> block(kBodyBlockBytes);
    for (;;) {
        if (known && received == content_length) break;
        if (connection_.IsCancelled()) return kHttpCancelled;
        size_t wanted = kBodyBlockBytes;
        if (known) {
            wanted = static_cast<size_t>(std::min<int64_t>(wanted, content_length - received));
        }
        // Gather a whole block within the block's time-out, however it is split in transit.
        WaitBudget budget(limits_.block_timeout_ms);
        size_t filled = 0;
        bool closed = false;
        while (filled < wanted) {
            size_t count;
            int code =
                connection_.ReceiveSome(block.data() + filled, wanted - filled, &budget, &count);
            if (code != kHttpOk) return code;
            if (count == 0) {
                closed = true;
                break;
            }
            filled += count;
        }
        if (filled > 0 && !file->Append(block.data(), filled)) return kHttpFailed;
        received += static_cast<int64_t>(filled);
        if (received > limits_.max_body_bytes) return kHttpFailed;
        if (known && content_length > 0) {
            connection_.ReportProgress(static_cast<double>(received) /
                                       static_cast<double>(content_length));
        }
        if (closed) {
            // Without a length, the close ends the body; with one, it cuts the body short.
            if (known) return kHttpFailed;
            break;
        }
    }
    connection_.ReportProgress(1.0);
    return kHttpOk;
}

}  // namespace

int HttpGet(LTransferObserver* observer, std::string_view url, char* buffer, size_t size,
            int timeout_ms) {
    if (buffer == nullptr || size == 0) return kHttpFailed;
    buffer[0] = '\0';
    UrlParts parts;
    if (!SplitUrl(url, &parts)) return kHttpFailed;
    HttpConnection connection(observer);
    int code = connection.Connect(parts.host, timeout_ms);
    if (code == kHttpOk) code = connection.SendAll(GetRequest(parts), timeout_ms);
    size_t held = 0;
    WaitBudget budget(timeout_ms);
    while (code == kHttpOk && held < size - 1) {
        size_t count;
        code = connection.ReceiveSome(buffer + held, size - 1 - held, &budget, &count);
        if (count == 0) break;  // closed: the normal end
        held += count;
    }
    connection.Close();
    buffer[code == kHttpOk ? held : 0] = '\0';
    return code;
}

int HttpPostForm(LTransferObserver* observer, std::string_view url, std::string_view form,
                 int timeout_ms) {
    UrlParts parts;
    if (!SplitUrl(url, &parts)) return kHttpFailed;
    // Built before connecting, so that no slow work falls between two cancellation tests.
    std::string request = "POST " + parts.path + " HTTP/1.0\r\nHost: " + parts.host +
                          "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                          "Content-Length: " +
                          std::to_string(form.size()) + "\r\n\r\n";
    request.append(form);
    HttpConnection connection(observer);
    int code = connection.Connect(parts.host, timeout_ms);
    if (code != kHttpOk) return code;
    code = connection.SendAll(request, timeout_ms);
    // End the stream in order before closing, so the body is not lost to a reset.
    if (code == kHttpOk) connection.ShutdownSend();
    connection.Close();
    return code;
}

int HttpDownload(LTransferObserver* observer, std::string_view url, const std::string& path,
                 bool follow_redirects) {
    return HttpDownload(observer, url, path, follow_redirects, HttpDownloadLimits{});
}

int HttpDownload(LTransferObserver* observer, std::string_view url, const std::string& path,
                 bool follow_redirects, const HttpDownloadLimits& limits) {
    std::string current(url);
    for (int redirects = 0;; ++redirects) {
        Downloader downloader(observer, path, limits);
        Hop hop = downloader.Fetch(current, follow_redirects);
        if (!hop.redirected) return hop.code;
        if (redirects >= limits.max_redirects) return kHttpFailed;
        current = std::move(hop.location);
    }
}

}  // namespace tw
