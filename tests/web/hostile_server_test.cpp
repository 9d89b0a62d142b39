// The client against servers that misbehave: silent, cut short, not HTTP, looping, endless,
// trickling. Each must end with kHttpFailed within its time-outs and leave no file behind;
// a cancelling observer must end any wait within one 200 ms slice.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/scratch_folder.h"
#include "web/http_client.h"
#include "web/test_server.h"
#include "web/test_support.h"

namespace tw {
namespace {

using test::FolderEntries;
using test::Milliseconds;
using test::MillisecondsSince;
using test::OkWithLength;
using test::RecordingObserver;
using test::Response;
using test::ServerConnection;
using test::SteadyClock;
using test::TestServer;

// Room for a shared machine and sanitizers on top of a time-out that must have run out.
constexpr long long kLateMs = 3000;
// How much later than one wait slice a cancellation may take effect.
constexpr long long kCancelSlackMs = 250;

HttpDownloadLimits ShortLimits() {
    HttpDownloadLimits limits;
    limits.connect_timeout_ms = 1000;
    limits.send_timeout_ms = 1000;
    limits.head_timeout_ms = 1500;
    limits.block_timeout_ms = 1500;
    limits.max_body_bytes = 1 << 20;
    return limits;
}

struct HostileCase {
    const char* name;
    TestServer::Script script;
    HttpDownloadLimits limits;
    int code;
    long long min_ms;          // the time-out that must have run out first
    long long max_ms;          // that time-out plus room
    int connections;           // the server must have seen this many (0: any)
    std::string content = {};  // what a successful download must hold
};

void CheckCase(const HostileCase& c) {
    SCOPED_TRACE(c.name);
    TestServer server(c.script, 32);
    const test::ScratchFolder scratch;
    const std::string& folder = scratch.path();
    RecordingObserver observer;
    auto start = SteadyClock::now();
    int code = HttpDownload(&observer, server.Url("/file"), folder + "/file", true, c.limits);
    long long elapsed = MillisecondsSince(start);
    EXPECT_EQ(code, c.code);
    EXPECT_GE(elapsed, c.min_ms);
    EXPECT_LE(elapsed, c.max_ms);
    if (c.code != kHttpOk) {
        EXPECT_TRUE(FolderEntries(folder).empty());
    } else {
        EXPECT_EQ(test::ReadWholeFile(folder + "/file"), c.content);
    }
    server.Stop();
    if (c.connections > 0) {
        EXPECT_EQ(server.connections(), c.connections);
    }
    std::printf("[ timing ] %s: code %d after %lld ms\n", c.name, code, elapsed);
}

const std::string kHead = "HTTP/1.0 200 OK\r\n";

TEST(HostileServer, QuickFailures) {
    const HttpDownloadLimits limits = ShortLimits();
    const long long quick = kLateMs;
    const std::vector<HostileCase> cases = {
        {"closes mid-body with a length",
         [](ServerConnection& s) {
             s.Send(Response("200 OK", "Content-Length: 5000\r\n", std::string(2000, 'b')));
         },
         limits, kHttpFailed, 0, quick, 1},
        {"resets mid-body",
         [](ServerConnection& s) {
             s.Send(Response("200 OK", "Content-Length: 5000\r\n", std::string(3000, 'b')));
             s.ResetOnClose();
         },
         limits, kHttpFailed, 0, quick, 1},
        {"closes before the status line", [](ServerConnection&) {}, limits, kHttpFailed, 0, quick,
         1},
        {"closes inside the headers",
         [](ServerConnection& s) { s.Send(kHead + "Content-Length: 5\r\nX-Cut: ab"); }, limits,
         kHttpFailed, 0, quick, 1},
        {"first line not HTTP", [](ServerConnection& s) { s.Send("FTP/1.0 200 OK\r\n\r\nhello"); },
         limits, kHttpFailed, 0, quick, 1},
        {"first line is HTML",
         [](ServerConnection& s) { s.Send("<html><body>hello</body></html>\n"); }, limits,
         kHttpFailed, 0, quick, 1},
        {"status line too short", [](ServerConnection& s) { s.Send("HTTP/1.0 2\r\n\r\nx"); },
         limits, kHttpFailed, 0, quick, 1},
        {"status not digits", [](ServerConnection& s) { s.Send("HTTP/1.0 2x0 OK\r\n\r\nx"); },
         limits, kHttpFailed, 0, quick, 1},
        {"404", [](ServerConnection& s) { s.Send(Response("404 Not Found", "", "no")); }, limits,
         kHttpFailed, 0, quick, 1},
        {"redirect loop",
         [](ServerConnection& s) { s.Send(Response("302 Found", "Location: /file\r\n", "")); },
         limits, kHttpFailed, 0, quick, limits.max_redirects + 1},
        {"over-long Location",
         [](ServerConnection& s) {
             s.Send(Response("302 Found", "Location: /" + std::string(400, 'l') + "\r\n", ""));
         },
         limits, kHttpFailed, 0, quick, 1},
        {"endless header line",
         [](ServerConnection& s) {
             s.Send(kHead + "X-Endless: ");
             s.Flood('a', 64 << 20);
         },
         limits, kHttpFailed, 0, quick, 1},
        {"endless header lines",
         [](ServerConnection& s) {
             s.Send(kHead);
             for (int i = 0; i < 100000 && s.Send("X-Again: and again\r\n"); ++i) {
             }
         },
         limits, kHttpFailed, 0, quick, 1},
        {"endless body without a length",
         [](ServerConnection& s) {
             s.Send(kHead + "\r\n");
             s.Flood('b', 64 << 20);
         },
         limits, kHttpFailed, 0, quick, 1},
        {"announced body too large",
         [](ServerConnection& s) {
             s.Send(kHead + "Content-Length: 99999999999999999999999\r\n\r\nabc");
         },
         limits, kHttpFailed, 0, quick, 1},
        {"status line split across many packets",
         [](ServerConnection& s) {
             std::string answer = OkWithLength(std::string(3000, 'k'));
             size_t head_end = answer.find("\r\n\r\n") + 4;
             s.SendInPieces(answer.substr(0, head_end), 1, Milliseconds(3));
             s.Send(answer.substr(head_end));
         },
         limits, kHttpOk, 0, quick, 1, std::string(3000, 'k')},
    };
    for (const auto& c : cases) CheckCase(c);
}

TEST(HostileServer, AcceptsAndNeverAnswers) {
    // The program's own limits: the status line may be waited for 10000 ms.
    CheckCase({"never answers", [](ServerConnection& s) { s.Hold(); }, HttpDownloadLimits{},
               kHttpFailed, 10000, 10000 + kLateMs, 1});
}

TEST(HostileServer, TricklesTheStatusLine) {
    CheckCase({"a byte every 150 ms in the status line",
               [](ServerConnection& s) {
                   s.Send("HTTP/1.0 200 ");
                   s.Drip('x', Milliseconds(150), 1000);
               },
               HttpDownloadLimits{}, kHttpFailed, 10000, 10000 + kLateMs, 1});
}

TEST(HostileServer, TricklesTheBody) {
    CheckCase({"a byte every 150 ms in the body",
               [](ServerConnection& s) {
                   s.Send(kHead + "\r\n" + std::string(5000, 'b'));
                   s.Drip('x', Milliseconds(150), 1000);
               },
               HttpDownloadLimits{}, kHttpFailed, 7500, 7500 + kLateMs, 1});
}

TEST(HostileServer, TricklesTheHeaders) {
    HttpDownloadLimits limits = ShortLimits();
    limits.head_timeout_ms = 3000;
    CheckCase({"a header line every 150 ms",
               [](ServerConnection& s) {
                   s.Send(kHead);
                   for (int i = 0; i < 1000 && !s.stopping(); ++i) {
                       if (!s.Send("X: y\r\n")) break;
                       s.Pause(Milliseconds(150));
                   }
               },
               limits, kHttpFailed, 3000, 3000 + kLateMs, 1});
}

TEST(HostileServer, FailureKeepsTheOldFile) {
    TestServer server([](ServerConnection& s) {
        s.Send(Response("200 OK", "Content-Length: 5000\r\n", std::string(2000, 'n')));
    });
    const test::ScratchFolder scratch;
    const std::string& folder = scratch.path();
    test::WriteWholeFile(folder + "/file", "old");
    EXPECT_EQ(HttpDownload(nullptr, server.Url("/"), folder + "/file", false), kHttpFailed);
    EXPECT_EQ(test::ReadWholeFile(folder + "/file"), "old");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"file"});
}

TEST(HostileServer, TimeOutsOfGetPostAndConnect) {
    struct Case {
        const char* name;
        std::function<int(const std::string& host)> run;
        int timeout_ms;
    };
    const std::string big_form(16 << 20, 'f');
    const std::vector<Case> cases = {
        {"get from a silent server",
         [](const std::string& host) {
             std::vector<char> buffer(2048, 'x');
             int code =
                 HttpGet(nullptr, "http://" + host + "/", buffer.data(), buffer.size(), 1000);
             EXPECT_EQ(buffer[0], '\0');
             return code;
         },
         1000},
        {"get from a trickling server",
         [](const std::string& host) {
             std::vector<char> buffer(2048, 'x');
             int code =
                 HttpGet(nullptr, "http://" + host + "/", buffer.data(), buffer.size(), 1000);
             EXPECT_EQ(buffer[0], '\0');
             return code;
         },
         1000},
        {"post to a server that never reads",
         [&big_form](const std::string& host) {
             return HttpPostForm(nullptr, "http://" + host + "/", big_form, 1000);
         },
         1000},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        TestServer server([i](ServerConnection& s) {
            if (i == 1) s.Drip('x', Milliseconds(150), 1000);
            s.Hold();
        });
        auto start = SteadyClock::now();
        EXPECT_EQ(c.run(server.host()), kHttpFailed);
        long long elapsed = MillisecondsSince(start);
        EXPECT_GE(elapsed, c.timeout_ms);
        EXPECT_LE(elapsed, c.timeout_ms + kLateMs);
        std::printf("[ timing ] %s: %lld ms\n", c.name, elapsed);
    }

    test::StalledListener stalled;
    ASSERT_TRUE(stalled.stalled());
    HttpDownloadLimits limits = ShortLimits();
    const test::ScratchFolder scratch;
    const std::string& folder = scratch.path();
    auto start = SteadyClock::now();
    EXPECT_EQ(HttpDownload(nullptr, "http://" + stalled.host() + "/", folder + "/f", false, limits),
              kHttpFailed);
    long long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, limits.connect_timeout_ms);
    EXPECT_LE(elapsed, limits.connect_timeout_ms + kLateMs);
    EXPECT_TRUE(FolderEntries(folder).empty());
    std::printf("[ timing ] connect that never completes: %lld ms\n", elapsed);
}

enum class Operation { kDownload, kGet, kPost };

struct CancelCase {
    const char* name;
    Operation operation;
    TestServer::Script script;  // null: a connect that never completes
};

TEST(HostileServer, CancellationEndsEveryWait) {
    const std::string big_form(16 << 20, 'f');
    const std::vector<CancelCase> cases = {
        {"download, connect in progress", Operation::kDownload, nullptr},
        {"download, silent server", Operation::kDownload, [](ServerConnection& s) { s.Hold(); }},
        {"download, trickled status line", Operation::kDownload,
         [](ServerConnection& s) { s.Drip('H', Milliseconds(150), 1000); }},
        {"download, trickled body", Operation::kDownload,
         [](ServerConnection& s) {
             s.Send(kHead + "Content-Length: 100000\r\n\r\nstart");
             s.Drip('x', Milliseconds(150), 1000);
         }},
        {"get, trickled answer", Operation::kGet,
         [](ServerConnection& s) { s.Drip('x', Milliseconds(150), 1000); }},
        {"get, connect in progress", Operation::kGet, nullptr},
        {"post, full send buffer", Operation::kPost, [](ServerConnection& s) { s.Hold(); }},
    };
    const Milliseconds cancel_after(700);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<TestServer> server;
        std::unique_ptr<test::StalledListener> stalled;
        std::string host;
        if (c.script) {
            server = std::make_unique<TestServer>(c.script);
            host = server->host();
        } else {
            stalled = std::make_unique<test::StalledListener>();
            ASSERT_TRUE(stalled->stalled());
            host = stalled->host();
        }
        const test::ScratchFolder scratch;
        const std::string& folder = scratch.path();
        const std::string url = "http://" + host + "/file";
        RecordingObserver observer(cancel_after);
        std::vector<char> buffer(2048, 'x');
        int code = kHttpFailed;
        switch (c.operation) {
            case Operation::kDownload:
                code = HttpDownload(&observer, url, folder + "/file", false);
                break;
            case Operation::kGet:
                code = HttpGet(&observer, url, buffer.data(), buffer.size(), 20000);
                EXPECT_EQ(buffer[0], '\0');
                break;
            case Operation::kPost:
                code = HttpPostForm(&observer, url, big_form, 20000);
                break;
        }
        long long late =
            std::chrono::duration_cast<Milliseconds>(SteadyClock::now() - *observer.cancel_at())
                .count();
        EXPECT_EQ(code, kHttpCancelled);
        EXPECT_GE(late, 0);
        EXPECT_LE(late, kWaitSliceMs + kCancelSlackMs);
        EXPECT_LE(observer.longest_gap_ms(), kWaitSliceMs + kCancelSlackMs);
        EXPECT_TRUE(FolderEntries(folder).empty());
        std::printf("[ timing ] %s: ended %lld ms after Cancel; longest gap between asks %lld ms\n",
                    c.name, late, observer.longest_gap_ms());
    }
}

}  // namespace
}  // namespace tw
