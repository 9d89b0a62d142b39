#include "platform/net/tcp_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>

namespace tw {

namespace {

constexpr int kSendBufferBytes = 32768;

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

}  // namespace

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

ConnectStart TcpSocket::StartConnect(uint32_t ipv4, uint16_t port) {
    Close();
    handle_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle_ < 0) return ConnectStart::kFailed;
    int size = kSendBufferBytes;
    setsockopt(handle_, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    // Linux has no per-socket SIGPIPE switch: every send passes MSG_NOSIGNAL instead.

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(ipv4);
    int result;
    do {
        result = connect(handle_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result == 0) return ConnectStart::kConnected;
    if (errno == EINPROGRESS || errno == EALREADY) return ConnectStart::kInProgress;
    Close();
    return ConnectStart::kFailed;
}

bool TcpSocket::ConnectSucceeded() const {
    if (handle_ < 0) return false;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
    return error == 0;
}

SocketWait TcpSocket::Wait(short events, int timeout_ms) const {
    if (handle_ < 0) return SocketWait::kReady;  // the next call fails at once
    pollfd entry{handle_, events, 0};
    int result = poll(&entry, 1, std::max(timeout_ms, 0));
    if (result > 0) return SocketWait::kReady;
    return SocketWait::kTimedOut;  // empty or interrupted
}

SocketWait TcpSocket::WaitReadable(int timeout_ms) const {
    return Wait(POLLIN, timeout_ms);
}

SocketWait TcpSocket::WaitWritable(int timeout_ms) const {
    return Wait(POLLOUT, timeout_ms);
}

long TcpSocket::Send(const char* data, size_t size) {
    if (handle_ < 0) return kSocketFailed;
    for (;;) {
        ssize_t sent = send(handle_, data, size, MSG_NOSIGNAL);
        if (sent >= 0) return sent > 0 || size == 0 ? static_cast<long>(sent) : kSocketWouldBlock;
        if (errno == EINTR) continue;
        return WouldBlock(errno) ? kSocketWouldBlock : kSocketFailed;
    }
}

long TcpSocket::Receive(char* data, size_t size, bool peek) {
    if (handle_ < 0) return kSocketFailed;
    for (;;) {
        ssize_t received = recv(handle_, data, size, peek ? MSG_PEEK : 0);
        if (received >= 0) return static_cast<long>(received);
        if (errno == EINTR) continue;
        return WouldBlock(errno) ? kSocketWouldBlock : kSocketFailed;
    }
}

void TcpSocket::ShutdownSend() {
    if (handle_ >= 0) shutdown(handle_, SHUT_WR);
}

void TcpSocket::Close() {
    if (handle_ >= 0) {
        close(handle_);
        handle_ = -1;
    }
}

bool LookupHostIpv4(const std::string& name, size_t max, std::vector<uint32_t>* addresses) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &results) != 0 || results == nullptr) {
        return false;
    }
    size_t found = 0;
    for (addrinfo* entry = results; entry != nullptr && found < max; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        addresses->push_back(ntohl(address->sin_addr.s_addr));
        ++found;
    }
    freeaddrinfo(results);
    return found > 0;
}

}  // namespace tw
