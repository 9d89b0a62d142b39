// One blocking HTTP connection: the connect, send, receive and line-reading rules shared by
// every request. Waits are cut into slices of at most 200 ms and the observer is asked before
// each slice, so cancellation ends any wait within one slice. Time-outs are budgets of
// waiting time: every slice is charged what it really lasted, so a peer that trickles bytes
// uses the budget up as surely as a silent one.
// Thread: the calling thread; the connection belongs to it and is closed before the request
// returns.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/net/tcp_socket.h"
#include "web/address_list.h"
#include "web/transfer_observer.h"

namespace tw {

// Result codes of every request.
inline constexpr int kHttpOk = 0;
inline constexpr int kHttpCancelled = 1;
inline constexpr int kHttpFailed = 2;

inline constexpr int kWaitSliceMs = 200;

// Longest line kept from a status line or header, as the program's text buffers hold it.
inline constexpr size_t kMaxKeptLineLength = 259;

class WaitBudget {
  public:
    explicit WaitBudget(int milliseconds) : left_(std::chrono::milliseconds(milliseconds)) {}
    bool exhausted() const { return left_ <= Duration::zero(); }
    int NextSliceMs() const;
    void Charge(std::chrono::steady_clock::duration spent) { left_ -= spent; }

  private:
    using Duration = std::chrono::steady_clock::duration;
    Duration left_;
};

class HttpConnection {
  public:
    explicit HttpConnection(LTransferObserver* observer) : observer_(observer) {}

    // Resolves `host` ("name" or "name:port") and tries its addresses in order, each with
    // `timeout_ms` to complete, until one connects or the observer cancels.
    int Connect(std::string_view host, int timeout_ms, const HostLookup& lookup);
    int Connect(std::string_view host, int timeout_ms);

    // Sends all of `data`; a full send buffer is waited out within `timeout_ms`.
    int SendAll(std::string_view data, int timeout_ms);

    // Waits for data and receives up to `size` bytes into `data`. With kHttpOk, `*received`
    // is 0 only when the peer has closed the connection.
    int ReceiveSome(char* data, size_t size, WaitBudget* budget, size_t* received);

    // Reads one line up to its line feed, taking no byte after it from the socket, so that
    // the body stays queued. The line loses its line feed and one carriage return before it;
    // `*cut` tells whether it was longer than kMaxKeptLineLength (it is cut to that). A line
    // longer than `max_raw_bytes` on the wire fails, so an endless line cannot eat memory.
    int ReadLine(std::string* line, bool* cut, WaitBudget* budget, size_t max_raw_bytes);

    bool IsCancelled() const { return observer_ != nullptr && observer_->IsCancelled(); }
    void ReportProgress(double fraction) const;

    void ShutdownSend() { socket_.ShutdownSend(); }
    void Close() { socket_.Close(); }

  private:
    enum class Direction { kRead, kWrite };
    int Wait(Direction direction, WaitBudget* budget);

    LTransferObserver* observer_;
    TcpSocket socket_;
};

}  // namespace tw
