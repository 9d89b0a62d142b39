// Helpers shared by the client's tests: an observer that records what the client tells it and
// cancels at a chosen moment, folder listings, and response texts. Scratch folders come from
// common/scratch_folder.h.
// Thread: the test's own thread (the one that runs the client).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "web/transfer_observer.h"

namespace tw::test {

using SteadyClock = std::chrono::steady_clock;

long long MillisecondsSince(SteadyClock::time_point start);

class RecordingObserver : public LTransferObserver {
  public:
    RecordingObserver() = default;
    // Starts answering "cancelled" `cancel_after` from now, as if Cancel were clicked then.
    explicit RecordingObserver(std::chrono::milliseconds cancel_after)
        : cancel_at_(SteadyClock::now() + cancel_after) {}

    bool IsCancelled() override;
    void SetProgress(double fraction) override { progress_.push_back(fraction); }

    const std::vector<double>& progress() const { return progress_; }
    std::optional<SteadyClock::time_point> cancel_at() const { return cancel_at_; }
    int asks() const { return asks_; }
    // Longest time between two questions, in milliseconds.
    long long longest_gap_ms() const { return longest_gap_ms_; }

  private:
    std::optional<SteadyClock::time_point> cancel_at_;
    std::optional<SteadyClock::time_point> last_ask_;
    std::vector<double> progress_;
    int asks_ = 0;
    long long longest_gap_ms_ = 0;
};

// The names in `folder`.
std::vector<std::string> FolderEntries(const std::string& folder);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, std::string_view content);

// "HTTP/1.0 <status>\r\n" with the headers, an empty line and the body.
std::string Response(std::string_view status, std::string_view headers, std::string_view body);
// A 200 answer with a Content-Length.
std::string OkWithLength(std::string_view body);
// `size` bytes that include NUL, CR and LF bytes.
std::string BinaryBody(size_t size);

}  // namespace tw::test
