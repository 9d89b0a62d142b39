// The client against well-behaved servers on 127.0.0.1: downloads with and without a
// Content-Length, redirects of every kind, fetches to memory, form posts, the exact request
// texts, the order of addresses and the destination lock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "common/scratch_folder.h"
#include "platform/core/file_lock.h"
#include "web/http_client.h"
#include "web/test_server.h"
#include "web/test_support.h"

namespace tw {
namespace {

using test::BinaryBody;
using test::FolderEntries;
using test::OkWithLength;
using test::ReadWholeFile;
using test::RecordingObserver;
using test::Response;
using test::ServerConnection;
using test::TestServer;

// Time a fast local transfer may take on a shared, sanitised machine.
constexpr long long kQuickMs = 5000;

enum class Length { kExact, kNone, kNotDigits, kBlanksThenDigits };

struct BodyCase {
    const char* name;
    size_t size;
    Length length;
    const char* status;
    size_t expected_size;  // what the file must hold
};

std::string AnswerFor(const BodyCase& c, const std::string& body) {
    switch (c.length) {
        case Length::kExact:
            return Response(c.status, "Content-Length: " + std::to_string(body.size()) + "\r\n",
                            body);
        case Length::kNone:
            return Response(c.status, "Content-Type: application/octet-stream\r\n", body);
        case Length::kNotDigits:
            return Response(c.status, "Content-Length: abc\r\n", body);
        case Length::kBlanksThenDigits:
            return Response(
                c.status,
                "Content-Length:  \t" + std::to_string(body.size()) + "\r\nX-Other: 1\r\n", body);
    }
    return {};
}

TEST(HttpDownload, SavesBodies) {
    const std::vector<BodyCase> cases = {
        {"empty with length", 0, Length::kExact, "200 OK", 0},
        {"one byte", 1, Length::kExact, "200 OK", 1},
        {"one block", kBodyBlockBytes, Length::kExact, "200 OK", kBodyBlockBytes},
        {"block and a byte", kBodyBlockBytes + 1, Length::kExact, "200 OK", kBodyBlockBytes + 1},
        {"large", 300000, Length::kExact, "200 OK", 300000},
        {"blanks before length", 5000, Length::kBlanksThenDigits, "200 OK", 5000},
        {"no length ends at close", 70001, Length::kNone, "200 OK", 70001},
        {"no length, empty", 0, Length::kNone, "200 OK", 0},
        {"length not digits reads as 0", 100, Length::kNotDigits, "200 OK", 0},
        {"other 2xx status", 10, Length::kExact, "203 Non-Authoritative", 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string body = BinaryBody(c.size);
        const std::string answer = AnswerFor(c, body);
        TestServer server([&answer](ServerConnection& connection) { connection.Send(answer); });
        const test::ScratchFolder scratch;
        const std::string& folder = scratch.path();
        const std::string path = folder + "/file.bin";
        RecordingObserver observer;
        auto start = test::SteadyClock::now();
        ASSERT_EQ(HttpDownload(&observer, server.Url("/data.bin"), path, false), kHttpOk);
        EXPECT_LT(test::MillisecondsSince(start), kQuickMs);
        EXPECT_EQ(ReadWholeFile(path), body.substr(0, c.expected_size));
        EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"file.bin"});
        ASSERT_FALSE(observer.progress().empty());
        EXPECT_DOUBLE_EQ(observer.progress().back(), 1.0);
        for (size_t i = 0; i < observer.progress().size(); ++i) {
            EXPECT_GE(observer.progress()[i], i == 0 ? 0.0 : observer.progress()[i - 1]);
            EXPECT_LE(observer.progress()[i], 1.0);
        }
        server.Stop();
        ASSERT_EQ(server.requests().size(), 1u);
        EXPECT_EQ(server.requests()[0],
                  "GET /data.bin HTTP/1.0\r\nHost: " + server.host() + "\r\n\r\n");
    }
}

TEST(HttpDownload, ProgressFollowsTheBytes) {
    const std::string body = BinaryBody(10 * kBodyBlockBytes);
    const std::string answer = OkWithLength(body);
    // Small pieces: the progress must count bytes, not receive calls.
    TestServer server([&answer](ServerConnection& connection) {
        connection.SendInPieces(answer, 300, test::Milliseconds(1));
    });
    const test::ScratchFolder scratch;
    const std::string path = scratch.path() + "/file.bin";
    RecordingObserver observer;
    ASSERT_EQ(HttpDownload(&observer, server.Url("/"), path, false), kHttpOk);
    ASSERT_EQ(observer.progress().size(), 11u);  // ten blocks and the final 1.0
    for (size_t i = 0; i < 10; ++i) EXPECT_NEAR(observer.progress()[i], (i + 1) / 10.0, 1e-9);
    EXPECT_EQ(ReadWholeFile(path), body);
}

TEST(HttpDownload, ReplacesAnExistingFileWithReadablePermissions) {
    const std::string body = "new content";
    const std::string answer = OkWithLength(body);
    TestServer server([&answer](ServerConnection& connection) { connection.Send(answer); });
    const test::ScratchFolder scratch;
    const std::string& folder = scratch.path();
    const std::string path = folder + "/file.txt";
    test::WriteWholeFile(path, "old content that is longer than the new one");
    ASSERT_EQ(HttpDownload(nullptr, server.Url("/"), path, false), kHttpOk);
    EXPECT_EQ(ReadWholeFile(path), body);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"file.txt"});

    mode_t mask = umask(0);
    umask(mask);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

// What stands at the destination shapes the replacement: a private file stays private, a
// link stays a link and its target gets the content, and a name near the 255-byte limit
// still works although the temporary file sits beside it.
TEST(HttpDownload, ReplacementKeepsModeLinkAndLongNames) {
    const std::string body = "new content";
    const std::string answer = OkWithLength(body);
    TestServer server([&answer](ServerConnection& connection) { connection.Send(answer); });
    const test::ScratchFolder scratch;
    namespace fs = std::filesystem;

    const std::string private_file = scratch.Path("private.txt");
    test::WriteWholeFile(private_file, "old");
    ASSERT_EQ(chmod(private_file.c_str(), 0600), 0);
    ASSERT_EQ(HttpDownload(nullptr, server.Url("/"), private_file, false), kHttpOk);
    EXPECT_EQ(ReadWholeFile(private_file), body);
    EXPECT_EQ(fs::status(private_file).permissions(), fs::perms(0600));

    test::WriteWholeFile(scratch.Path("target.txt"), "old");
    ASSERT_EQ(symlink("target.txt", scratch.Path("link.txt").c_str()), 0);
    ASSERT_EQ(HttpDownload(nullptr, server.Url("/"), scratch.Path("link.txt"), false), kHttpOk);
    EXPECT_TRUE(fs::is_symlink(scratch.Path("link.txt")));
    EXPECT_EQ(ReadWholeFile(scratch.Path("target.txt")), body);

    std::vector<std::string> expected = {"link.txt", "private.txt", "target.txt"};
    for (size_t length : {240, 255}) {
        SCOPED_TRACE(length);
        const std::string name(length, 'n');
        ASSERT_EQ(HttpDownload(nullptr, server.Url("/"), scratch.Path(name), false), kHttpOk);
        EXPECT_EQ(ReadWholeFile(scratch.Path(name)), body);
        expected.push_back(name);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FolderEntries(scratch.path()), expected);  // no temporary left
}

// The header-line bound counts header lines, not the empty line that ends them.
TEST(HttpDownload, HeaderLineBoundIsInclusive) {
    const HttpDownloadLimits limits;
    struct Case {
        int header_lines;
        int code;
    };
    for (const Case& c :
         {Case{limits.max_header_lines, kHttpOk}, Case{limits.max_header_lines + 1, kHttpFailed}}) {
        SCOPED_TRACE(c.header_lines);
        std::string headers = "Content-Length: 2\r\n";
        for (int i = 1; i < c.header_lines; ++i) headers += "X-Line: " + std::to_string(i) + "\r\n";
        const std::string answer = Response("200 OK", headers, "ok");
        TestServer server([&answer](ServerConnection& connection) { connection.Send(answer); });
        const test::ScratchFolder scratch;
        EXPECT_EQ(HttpDownload(nullptr, server.Url("/"), scratch.Path("f"), false), c.code);
        EXPECT_EQ(ReadWholeFile(scratch.Path("f")), c.code == kHttpOk ? "ok" : "");
    }
}

TEST(HttpDownload, WaitsForTheDestinationLockThenGoesOn) {
    const std::string answer = OkWithLength("locked out");
    TestServer server([&answer](ServerConnection& connection) { connection.Send(answer); });
    const test::ScratchFolder scratch;
    const std::string path = scratch.path() + "/file.txt";
    test::WriteWholeFile(path, "old");
    // Held for the whole download, as another process would hold it.
    ScopedFileLock holder(path, FileLockMode::kExclusive, false);
    ASSERT_TRUE(holder.locked());
    auto start = test::SteadyClock::now();
    ASSERT_EQ(HttpDownload(nullptr, server.Url("/"), path, false), kHttpOk);
    // Sleeps of 7, 14, 28, 56 and 112 ms before going on without the lock.
    long long elapsed = test::MillisecondsSince(start);
    EXPECT_GE(elapsed, 200);
    EXPECT_LT(elapsed, kQuickMs);
    EXPECT_EQ(ReadWholeFile(path), "locked out");
}

TEST(HttpDownload, UnusableDestinationsFailAndChangeNothing) {
    const std::string answer = OkWithLength("content");
    TestServer server([&answer](ServerConnection& connection) { connection.Send(answer); });
    const test::ScratchFolder scratch;
    const std::string& folder = scratch.path();
    std::filesystem::create_directory(folder + "/taken");
    for (const std::string& path : {folder + "/missing/file", folder + "/taken", std::string()}) {
        EXPECT_EQ(HttpDownload(nullptr, server.Url("/"), path, false), kHttpFailed) << path;
        EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"taken"}) << path;
    }
}

struct RedirectCase {
    const char* name;
    const char* start;
    int code;
    const char* content;
    std::vector<std::string> paths;  // requested in order
};

TEST(HttpDownload, FollowsRedirects) {
    std::atomic<uint16_t> port{0};
    // Each path answers with a fixed text; "{port}" stands for the server's own port.
    const std::map<std::string, std::string> answers = {
        {"/final", OkWithLength("final body")},
        {"/a/final", OkWithLength("a final body")},
        {"/dir/final", OkWithLength("dir final body")},
        {"/r301abs",
         Response("301 Moved Permanently", "Location: http://127.0.0.1:{port}/final\r\n", "")},
        {"/r302root", Response("302 Found", "Server: x\r\nLocation: /final\r\n", "moved")},
        {"/r302lower", Response("302 Found", "location:    /final   \r\n", "")},
        {"/dir/r302rel", Response("302 Found", "Location: final\r\n", "")},
        {"/a/b/r302up", Response("302 Found", "Location: ../final\r\n", "")},
        {"/a/r302dot", Response("302 Found", "Location: ./final\r\n", "")},
        {"/r303query", Response("303 See Other", "Location: /final?x=1\r\n", "")},
        {"/final?x=1", OkWithLength("query body")},
        {"/chain3", Response("302 Found", "Location: /chain2\r\n", "")},
        {"/chain2", Response("307 Temporary", "Location: http://127.0.0.1:{port}/chain1\r\n", "")},
        {"/chain1", Response("301 Moved", "Location: /final\r\n", "")},
        {"/r302above", Response("302 Found", "Location: ../../final\r\n", "")},
        {"/r302none", Response("302 Found", "Content-Length: 0\r\n", "")},
        {"/r302https", Response("302 Found", "Location: https://127.0.0.1:{port}/final\r\n", "")},
        {"/r302to404", Response("302 Found", "Location: /missing\r\n", "")},
        {"/missing", Response("404 Not Found", "Content-Length: 5\r\n", "gone!")},
    };
    TestServer server(
        [&answers, &port](ServerConnection& connection) {
            auto found = answers.find(connection.path());
            if (found == answers.end()) {
                connection.Send(Response("404 Not Found", "", ""));
                return;
            }
            std::string text = found->second;
            size_t at = text.find("{port}");
            if (at != std::string::npos) text.replace(at, 6, std::to_string(port.load()));
            connection.Send(text);
        },
        200);
    port = server.port();
    const std::vector<RedirectCase> cases = {
        {"301 absolute", "/r301abs", kHttpOk, "final body", {"/r301abs", "/final"}},
        {"302 root-relative", "/r302root", kHttpOk, "final body", {"/r302root", "/final"}},
        {"lower-case key, blanks", "/r302lower", kHttpOk, "final body", {"/r302lower", "/final"}},
        {"relative", "/dir/r302rel", kHttpOk, "dir final body", {"/dir/r302rel", "/dir/final"}},
        {"relative up", "/a/b/r302up", kHttpOk, "a final body", {"/a/b/r302up", "/a/final"}},
        {"relative dot", "/a/r302dot", kHttpOk, "a final body", {"/a/r302dot", "/a/final"}},
        {"303 with query", "/r303query", kHttpOk, "query body", {"/r303query", "/final?x=1"}},
        {"chain of three",
         "/chain3",
         kHttpOk,
         "final body",
         {"/chain3", "/chain2", "/chain1", "/final"}},
        {"climbs above the root", "/r302above", kHttpFailed, nullptr, {"/r302above"}},
        {"no Location", "/r302none", kHttpFailed, nullptr, {"/r302none"}},
        {"to https", "/r302https", kHttpFailed, nullptr, {"/r302https"}},
        {"to a 404", "/r302to404", kHttpFailed, nullptr, {"/r302to404", "/missing"}},
    };
    size_t seen = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test::ScratchFolder scratch;
        const std::string& folder = scratch.path();
        const std::string path = folder + "/file.txt";
        ASSERT_EQ(HttpDownload(nullptr, server.Url(c.start), path, true), c.code);
        if (c.content != nullptr) {
            EXPECT_EQ(ReadWholeFile(path), c.content);
        } else {
            EXPECT_TRUE(FolderEntries(folder).empty());
        }
        auto paths = server.paths();
        ASSERT_EQ(paths.size(), seen + c.paths.size());
        EXPECT_EQ(std::vector<std::string>(paths.begin() + static_cast<long>(seen), paths.end()),
                  c.paths);
        seen = paths.size();
    }
}

TEST(HttpDownload, RedirectWithoutTheFlagFails) {
    const std::string answer = Response("302 Found", "Location: /final\r\n", "");
    TestServer server([&answer](ServerConnection& connection) { connection.Send(answer); });
    const test::ScratchFolder scratch;
    const std::string& folder = scratch.path();
    EXPECT_EQ(HttpDownload(nullptr, server.Url("/start"), folder + "/f", false), kHttpFailed);
    EXPECT_TRUE(FolderEntries(folder).empty());
    server.Stop();
    EXPECT_EQ(server.connections(), 1);
}

TEST(HttpDownload, RedirectToAnotherHostSendsItsHostHeader) {
    const std::string final_answer = OkWithLength("elsewhere");
    TestServer target(
        [&final_answer](ServerConnection& connection) { connection.Send(final_answer); });
    const std::string answer =
        Response("302 Found", "Location: " + target.Url("/there") + "\r\n", "");
    TestServer origin([&answer](ServerConnection& connection) { connection.Send(answer); });
    const test::ScratchFolder scratch;
    const std::string path = scratch.path() + "/f";
    ASSERT_EQ(HttpDownload(nullptr, origin.Url("/here"), path, true), kHttpOk);
    EXPECT_EQ(ReadWholeFile(path), "elsewhere");
    target.Stop();
    ASSERT_EQ(target.requests().size(), 1u);
    EXPECT_EQ(target.requests()[0], "GET /there HTTP/1.0\r\nHost: " + target.host() + "\r\n\r\n");
}

TEST(HttpGet, ReturnsTheRawResponse) {
    const std::string answer = Response("404 Not Found", "X-A: b\r\n", "body\r\nmore");
    TestServer server([&answer](ServerConnection& connection) { connection.Send(answer); }, 4);
    struct Case {
        size_t size;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {4096, answer},               // the status is not looked at
        {answer.size() + 1, answer},  // exactly fits
        {answer.size(), answer.substr(0, answer.size() - 1)},
        {10, answer.substr(0, 9)},
    };
    for (const auto& c : cases) {
        std::vector<char> buffer(c.size, 'x');
        ASSERT_EQ(HttpGet(nullptr, server.Url("/v?a=1"), buffer.data(), buffer.size(), 3000),
                  kHttpOk);
        EXPECT_EQ(std::string(buffer.data()), c.expected) << c.size;
    }
    server.Stop();
    ASSERT_FALSE(server.requests().empty());
    EXPECT_EQ(server.requests()[0], "GET /v?a=1 HTTP/1.0\r\nHost: " + server.host() + "\r\n\r\n");
}

TEST(HttpGet, FailureLeavesTheBufferEmpty) {
    std::vector<char> buffer(64, 'x');
    std::string url = "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/";
    auto start = test::SteadyClock::now();
    EXPECT_EQ(HttpGet(nullptr, url, buffer.data(), buffer.size(), 3000), kHttpFailed);
    EXPECT_LT(test::MillisecondsSince(start), kQuickMs);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(HttpGet(nullptr, "https://127.0.0.1/", buffer.data(), buffer.size(), 3000),
              kHttpFailed);
    EXPECT_EQ(HttpGet(nullptr, "http://127.0.0.1:0/", buffer.data(), buffer.size(), 3000),
              kHttpFailed);
}

TEST(HttpPostForm, SendsTheExactRequest) {
    TestServer server([](ServerConnection&) {});
    const std::string form = "name=A%20B&mail=a%40b.test&note=" + std::string(40000, 'z');
    ASSERT_EQ(HttpPostForm(nullptr, server.Url("/subscribe"), form, 3000), kHttpOk);
    // The server reads on its own time: wait (bounded) for it to have seen the request.
    for (int i = 0; i < 500 && server.requests().empty(); ++i) {
        std::this_thread::sleep_for(test::Milliseconds(10));
    }
    server.Stop();
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "POST /subscribe HTTP/1.0\r\nHost: " + server.host() +
                  "\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                  std::to_string(form.size()) + "\r\n\r\n");
    EXPECT_EQ(server.bodies()[0].size(), form.size());
    EXPECT_TRUE(server.bodies()[0] == form);
}

TEST(HttpConnection, TriesTheFirstFourAddressesInOrder) {
    TestServer server([](ServerConnection&) {}, 8);
    const std::string host = "names.test:" + std::to_string(server.port());
    // 127.0.0.2 and 127.0.0.3 are loopback too, but nothing listens on them.
    struct Case {
        std::vector<uint32_t> addresses;
        int code;
    };
    const std::vector<Case> cases = {
        {{0x7f000001}, kHttpOk},
        {{0x7f000002, 0x7f000003, 0x7f000001}, kHttpOk},
        {{0x7f000002, 0x7f000002, 0x7f000003, 0x7f000001}, kHttpOk},
        {{0x7f000002, 0x7f000002, 0x7f000003, 0x7f000003, 0x7f000001}, kHttpFailed},
        {{}, kHttpFailed},
    };
    for (const auto& c : cases) {
        HostLookup lookup = [&c](const std::string& name, size_t max, std::vector<uint32_t>* out) {
            EXPECT_EQ(name, "names.test");
            for (size_t i = 0; i < c.addresses.size() && i < max; ++i) {
                out->push_back(c.addresses[i]);
            }
            return !out->empty();
        };
        HttpConnection connection(nullptr);
        EXPECT_EQ(connection.Connect(host, 3000, lookup), c.code) << c.addresses.size();
    }
}

TEST(HttpConnection, ResolvesLocalhostWithTheSystemResolver) {
    // Only where the hosts file answers: a name it lacks would go to a DNS server.
    std::istringstream hosts(ReadWholeFile("/etc/hosts"));
    bool listed = false;
    for (std::string line; std::getline(hosts, line);) {
        listed = listed || (line.rfind("127.0.0.1", 0) == 0 && line.find("localhost") != line.npos);
    }
    if (!listed) GTEST_SKIP() << "no localhost line in /etc/hosts";
    TestServer server([](ServerConnection&) {}, 2);
    std::vector<uint32_t> found;
    if (!LookupHostIpv4("localhost", 4, &found) || found.empty() || found[0] != 0x7f000001) {
        GTEST_SKIP() << "localhost does not resolve to 127.0.0.1 here";
    }
    HttpConnection connection(nullptr);
    EXPECT_EQ(connection.Connect("localhost:" + std::to_string(server.port()), 3000), kHttpOk);
}

}  // namespace
}  // namespace tw
