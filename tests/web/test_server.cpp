#include "web/test_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace tw::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollSliceMs = 10;
constexpr size_t kMaxRequestBytes = 64 * 1024;

// A listening socket on 127.0.0.1 with an ephemeral port; -1 on failure.
int Listen(int backlog, uint16_t* port) {
    int handle = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(handle, backlog) != 0 ||
        getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(handle);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return handle;
}

// Waits up to `ms` for `events`; true when they came.
bool PollFor(int handle, short events, int ms) {
    pollfd entry{handle, events, 0};
    return poll(&entry, 1, ms) > 0;
}

}  // namespace

std::string ServerConnection::path() const {
    size_t begin = request_.find(' ');
    if (begin == std::string::npos) return {};
    size_t end = request_.find(' ', begin + 1);
    return request_.substr(begin + 1, end == std::string::npos ? end : end - begin - 1);
}

bool ServerConnection::stopping() const {
    return stop_->load() || Clock::now() >= deadline_;
}

bool ServerConnection::ClientClosed() const {
    char byte;
    pollfd entry{handle_, POLLIN, 0};
    if (poll(&entry, 1, 0) <= 0) return false;
    if (entry.revents & (POLLERR | POLLHUP)) return true;
    ssize_t peeked = recv(handle_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

bool ServerConnection::ReadRequest(Milliseconds limit) {
    auto end = std::min(deadline_, Clock::now() + limit);
    char chunk[1024];
    size_t head_end = std::string::npos;
    while (head_end == std::string::npos && request_.size() < kMaxRequestBytes) {
        if (stop_->load() || Clock::now() >= end) return false;
        if (!PollFor(handle_, POLLIN, kPollSliceMs)) continue;
        ssize_t count = recv(handle_, chunk, sizeof chunk, 0);
        if (count <= 0) return false;
        request_.append(chunk, static_cast<size_t>(count));
        head_end = request_.find("\r\n\r\n");
    }
    if (head_end == std::string::npos) return false;
    body_ = request_.substr(head_end + 4);
    request_.resize(head_end + 4);
    size_t length_at = request_.find("Content-Length: ");
    if (length_at == std::string::npos) return true;
    size_t wanted = std::min<size_t>(std::stoul(request_.substr(length_at + 16)), kMaxRequestBytes);
    while (body_.size() < wanted) {
        if (stop_->load() || Clock::now() >= end) return false;
        if (!PollFor(handle_, POLLIN, kPollSliceMs)) continue;
        ssize_t count = recv(handle_, chunk, sizeof chunk, 0);
        if (count <= 0) break;
        body_.append(chunk, static_cast<size_t>(count));
    }
    return true;
}

bool ServerConnection::Send(std::string_view data) {
    while (!data.empty()) {
        if (stopping()) return false;
        if (!PollFor(handle_, POLLOUT, kPollSliceMs)) continue;
        ssize_t sent = send(handle_, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

bool ServerConnection::SendInPieces(std::string_view data, size_t piece, Milliseconds gap) {
    int on = 1;
    setsockopt(handle_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    while (!data.empty()) {
        size_t count = std::min(piece, data.size());
        if (!Send(data.substr(0, count))) return false;
        data.remove_prefix(count);
        if (!data.empty()) Pause(gap);
    }
    return true;
}

size_t ServerConnection::Drip(char byte, Milliseconds gap, size_t max_count) {
    int on = 1;
    setsockopt(handle_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    size_t sent = 0;
    while (sent < max_count && !stopping() && !ClientClosed()) {
        if (!Send(std::string_view(&byte, 1))) break;
        ++sent;
        Pause(gap);
    }
    return sent;
}

size_t ServerConnection::Flood(char byte, size_t max_bytes) {
    std::string chunk(16 * 1024, byte);
    size_t sent = 0;
    while (sent < max_bytes && !stopping()) {
        size_t count = std::min(chunk.size(), max_bytes - sent);
        if (!Send(std::string_view(chunk).substr(0, count))) break;
        sent += count;
    }
    return sent;
}

void ServerConnection::Hold() {
    while (!stopping() && !ClientClosed()) Pause(Milliseconds(kPollSliceMs));
}

void ServerConnection::Pause(Milliseconds duration) {
    auto end = std::min(deadline_, Clock::now() + duration);
    while (!stop_->load() && Clock::now() < end) {
        auto left = std::chrono::duration_cast<Milliseconds>(end - Clock::now());
        std::this_thread::sleep_for(std::min(left, Milliseconds(kPollSliceMs)));
    }
}

void ServerConnection::ResetOnClose() {
    linger option{1, 0};
    setsockopt(handle_, SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

TestServer::TestServer(Script script, int max_connections, Milliseconds lifetime)
    : script_(std::move(script)),
      max_connections_(max_connections),
      deadline_(Clock::now() + lifetime) {
    listener_ = Listen(16, &port_);
    if (listener_ >= 0) thread_ = std::thread([this] { Run(); });
}

TestServer::~TestServer() {
    Stop();
    if (listener_ >= 0) close(listener_);
}

void TestServer::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void TestServer::Run() {
    while (!stop_.load() && Clock::now() < deadline_ && connections_.load() < max_connections_) {
        if (!PollFor(listener_, POLLIN, kPollSliceMs)) continue;
        int handle = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (handle < 0) continue;
        ++connections_;
        ServerConnection connection(handle, &stop_, deadline_);
        bool complete = connection.ReadRequest(Milliseconds(10000));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(connection.request());
            paths_.push_back(connection.path());
            bodies_.push_back(connection.body());
        }
        if (complete) script_(connection);
        close(handle);
    }
}

std::vector<std::string> TestServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<std::string> TestServer::paths() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return paths_;
}

std::vector<std::string> TestServer::bodies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bodies_;
}

uint16_t ClosedPort() {
    uint16_t port = 0;
    int handle = Listen(1, &port);
    if (handle >= 0) close(handle);
    return port;
}

StalledListener::StalledListener() {
    // A backlog of 0 admits one waiting connection; once it is taken, further handshakes
    // are dropped and their connects stay in progress.
    listener_ = Listen(0, &port_);
    if (listener_ < 0) return;
    int filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port_);
    connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    fillers_.push_back(filler);
    stalled_ = PollFor(filler, POLLOUT, 2000);
}

StalledListener::~StalledListener() {
    for (int filler : fillers_) close(filler);
    if (listener_ >= 0) close(listener_);
}

}  // namespace tw::test
