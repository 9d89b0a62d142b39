// Scripted HTTP servers on 127.0.0.1 for the client's tests: each accepts a bounded number of
// connections on an ephemeral port, reads the request head and hands the connection to a
// script that answers well or badly. Every loop is bounded in count and time, and the server
// stops by itself when its lifetime ends or when it is destroyed.
// Thread: the server runs one thread of its own; scripts run on it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tw::test {

using Milliseconds = std::chrono::milliseconds;

class ServerConnection {
  public:
    ServerConnection(int handle, const std::atomic<bool>* stop,
                     std::chrono::steady_clock::time_point deadline)
        : handle_(handle), stop_(stop), deadline_(deadline) {}

    const std::string& request() const { return request_; }
    // The path of the request line ("GET /a HTTP/1.0" gives "/a").
    std::string path() const;
    const std::string& body() const { return body_; }

    // Sends all of `data`; false once the client has gone or the server is stopping.
    bool Send(std::string_view data);
    // Sends `data` in pieces of `piece` bytes with `gap` between them (each its own packet).
    bool SendInPieces(std::string_view data, size_t piece, Milliseconds gap);
    // Sends `byte` every `gap` until the client goes, the server stops or `max_count` bytes.
    size_t Drip(char byte, Milliseconds gap, size_t max_count);
    // Sends `byte` as fast as the client takes it, up to `max_bytes`; returns bytes sent.
    size_t Flood(char byte, size_t max_bytes);
    // Keeps the connection open without a word until the client closes it or the server stops.
    void Hold();
    // Pauses, but not past the server's stop.
    void Pause(Milliseconds duration);
    // Sets the linger time to 0 so that closing resets the connection.
    void ResetOnClose();

    bool ReadRequest(Milliseconds limit);
    bool stopping() const;

  private:
    bool ClientClosed() const;

    int handle_;
    const std::atomic<bool>* stop_;
    std::chrono::steady_clock::time_point deadline_;
    std::string request_;
    std::string body_;
};

class TestServer {
  public:
    using Script = std::function<void(ServerConnection&)>;

    // `script` answers each connection; `max_connections` and `lifetime` bound the server.
    explicit TestServer(Script script, int max_connections = 16,
                        Milliseconds lifetime = Milliseconds(60000));
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    uint16_t port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string Url(std::string_view path) const { return "http://" + host() + std::string(path); }

    int connections() const { return connections_.load(); }
    std::vector<std::string> requests() const;
    std::vector<std::string> paths() const;
    std::vector<std::string> bodies() const;

    void Stop();

  private:
    void Run();

    Script script_;
    int max_connections_;
    std::chrono::steady_clock::time_point deadline_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<std::string> paths_;
    std::vector<std::string> bodies_;
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (bound and released again).
uint16_t ClosedPort();

// A listener whose accept queue is full, so that a further connect stays in progress.
class StalledListener {
  public:
    StalledListener();
    ~StalledListener();
    uint16_t port() const { return port_; }
    std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
    bool stalled() const { return stalled_; }

  private:
    int listener_ = -1;
    std::vector<int> fillers_;
    uint16_t port_ = 0;
    bool stalled_ = false;
};

}  // namespace tw::test
