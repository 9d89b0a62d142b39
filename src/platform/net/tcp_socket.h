// Plain TCP sockets over IPv4 and the system resolver, for the HTTP client.
//
// Every socket is non-blocking: callers wait for readiness in short slices of their own
// so that they can look for cancellation between slices. Nothing here raises SIGPIPE,
// and sockets are not inherited by child processes.
// Thread: any; one socket belongs to the thread that uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tw {

enum class ConnectStart { kConnected, kInProgress, kFailed };

enum class SocketWait { kReady, kTimedOut };

// What a send or receive call did besides moving bytes.
inline constexpr long kSocketWouldBlock = -1;
inline constexpr long kSocketFailed = -2;

class TcpSocket {
  public:
    TcpSocket() = default;
    ~TcpSocket() { Close(); }
    TcpSocket(TcpSocket&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Creates the socket (non-blocking, close-on-exec, 32768-byte send buffer) and starts
    // connecting to `ipv4` (host byte order) on `port`.
    ConnectStart StartConnect(uint32_t ipv4, uint16_t port);

    // After a connect in progress became writable: whether it succeeded.
    bool ConnectSucceeded() const;

    // Waits at most `timeout_ms` for the socket to become readable (or writable). Errors and
    // hang-ups count as ready: the next call reports them. An interrupted wait returns
    // kTimedOut early; callers measure the time themselves.
    SocketWait WaitReadable(int timeout_ms) const;
    SocketWait WaitWritable(int timeout_ms) const;

    // Bytes sent (> 0), kSocketWouldBlock or kSocketFailed.
    long Send(const char* data, size_t size);

    // Bytes received (> 0), 0 when the peer closed the connection, kSocketWouldBlock or
    // kSocketFailed. With `peek` the bytes stay queued.
    long Receive(char* data, size_t size, bool peek);

    // Sends the end of the stream but keeps the socket for reading.
    void ShutdownSend();

    void Close();
    bool is_open() const { return handle_ >= 0; }
    int handle() const { return handle_; }

  private:
    SocketWait Wait(short events, int timeout_ms) const;

    int handle_ = -1;
};

// Looks `name` up with the system resolver and appends up to `max` of its IPv4 addresses
// (host byte order) in the resolver's order. Blocks; can be neither cancelled nor timed out.
bool LookupHostIpv4(const std::string& name, size_t max, std::vector<uint32_t>* addresses);

}  // namespace tw
