#include "web/http_connection.h"

#include <algorithm>
#include <cstring>

namespace tw {

namespace {

constexpr size_t kLinePeekBytes = 48;
constexpr size_t kSendPieceBytes = 64 * 1024;

}  // namespace

int WaitBudget::NextSliceMs() const {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(left_).count();
    return static_cast<int>(std::clamp<long long>(left, 1, kWaitSliceMs));
}

void HttpConnection::ReportProgress(double fraction) const {
    if (observer_ != nullptr) observer_->SetProgress(std::clamp(fraction, 0.0, 1.0));
}

int HttpConnection::Wait(Direction direction, WaitBudget* budget) {
    for (;;) {
        if (IsCancelled()) return kHttpCancelled;
        if (budget->exhausted()) return kHttpFailed;
        int slice = budget->NextSliceMs();
        auto start = std::chrono::steady_clock::now();
        SocketWait result = direction == Direction::kRead ? socket_.WaitReadable(slice)
                                                          : socket_.WaitWritable(slice);
        budget->Charge(std::chrono::steady_clock::now() - start);
        if (result == SocketWait::kReady) return kHttpOk;
    }
}

int HttpConnection::Connect(std::string_view host, int timeout_ms) {
    return Connect(host, timeout_ms, LookupHostIpv4);
}

int HttpConnection::Connect(std::string_view host, int timeout_ms, const HostLookup& lookup) {
    socket_.Close();
    AddressList list;
    if (!ResolveAddressList(host, &list, lookup)) return kHttpFailed;
    for (size_t i = 0; i < list.count; ++i) {
        ConnectStart start = socket_.StartConnect(list.addresses[i], list.port);
        if (start == ConnectStart::kConnected) return kHttpOk;
        if (start == ConnectStart::kFailed) continue;
        WaitBudget budget(timeout_ms);
        int code = Wait(Direction::kWrite, &budget);
        if (code == kHttpCancelled) {
            socket_.Close();
            return kHttpCancelled;
        }
        if (code == kHttpOk && socket_.ConnectSucceeded()) return kHttpOk;
        socket_.Close();
    }
    return kHttpFailed;
}

int HttpConnection::SendAll(std::string_view data, int timeout_ms) {
    WaitBudget budget(timeout_ms);
    while (!data.empty()) {
        if (IsCancelled()) return kHttpCancelled;
        // Modest pieces: the kernel takes no more than its buffer holds anyway.
        long sent = socket_.Send(data.data(), std::min(data.size(), kSendPieceBytes));
        if (sent == kSocketFailed) return kHttpFailed;
        if (sent == kSocketWouldBlock) {
            int code = Wait(Direction::kWrite, &budget);
            if (code != kHttpOk) return code;
            continue;
        }
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return kHttpOk;
}

int HttpConnection::ReceiveSome(char* data, size_t size, WaitBudget* budget, size_t* received) {
    *received = 0;
    for (;;) {
        int code = Wait(Direction::kRead, budget);
        if (code != kHttpOk) return code;
        long count = socket_.Receive(data, size, false);
        if (count == kSocketFailed) return kHttpFailed;
        if (count == kSocketWouldBlock) continue;  // woken without data; wait again
        *received = static_cast<size_t>(count);
        return kHttpOk;
    }
}

int HttpConnection::ReadLine(std::string* line, bool* cut, WaitBudget* budget,
                             size_t max_raw_bytes) {
    line->clear();
    *cut = false;
    bool complete = false;
    while (!complete) {
        int code = Wait(Direction::kRead, budget);
        if (code != kHttpOk) return code;
        char peeked[kLinePeekBytes];
        long count = socket_.Receive(peeked, sizeof peeked, true);
        if (count == kSocketWouldBlock) continue;
        if (count <= 0) return kHttpFailed;  // closed before the line ended, or an error
        const void* feed = std::memchr(peeked, '\n', static_cast<size_t>(count));
        size_t take = feed != nullptr
                          ? static_cast<size_t>(static_cast<const char*>(feed) - peeked) + 1
                          : static_cast<size_t>(count);
        long taken = socket_.Receive(peeked, take, false);
        if (taken <= 0) return kHttpFailed;
        line->append(peeked, static_cast<size_t>(taken));
        complete = static_cast<size_t>(taken) == take && feed != nullptr;
        if (line->size() > max_raw_bytes) return kHttpFailed;
    }
    line->pop_back();  // the line feed
    if (!line->empty() && line->back() == '\r') line->pop_back();
    if (line->size() > kMaxKeptLineLength) {
        line->resize(kMaxKeptLineLength);
        *cut = true;
    }
    return kHttpOk;
}

}  // namespace tw
