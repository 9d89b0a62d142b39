// Reading the version-information text, comparing versions, and the worker that fetches the
// text from a server on 127.0.0.1.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "web/http_client.h"
#include "web/test_server.h"
#include "web/test_support.h"
#include "web/update_check.h"

namespace tw {
namespace {

using test::Response;
using test::ServerConnection;
using test::TestServer;

struct ParseCase {
    const char* name;
    std::string text;
    int code;
    double version;
    const char* info;
    bool newer;
};

TEST(ParseVersionInformation, Table) {
    const std::string info259 = "http://x/" + std::string(250, 'i');
    const std::vector<ParseCase> cases = {
        {"same version", "version=2.15&info=http://v.test/i&download=http://v.test/d", 0, 2.15,
         "http://v.test/i", false},
        {"decimal, not dotted", "version=2.100&info=http://v.test/i&download=d", 0, 2.1,
         "http://v.test/i", false},
        {"newer", "version=2.2&info=https://v.test/new?a=1&download=d", 0, 2.2,
         "https://v.test/new?a=1", true},
        {"much newer", "version=10&info=http://v.test/&download=", 0, 10.0, "http://v.test/", true},
        {"older", "version=1.9&info=http://v.test/&download=x", 0, 1.9, "http://v.test/", false},
        {"in a raw response",
         Response("200 OK", "Content-Type: text/plain\r\n",
                  "version=2.16&info=http://v.test/i\r\n&download=x\r\n"),
         0, 2.16, "http://v.test/i", true},
        {"value cut to 259", "version=3&info=" + info259 + "tail&download=x", 0, 3.0,
         info259.c_str(), true},
        {"keys out of order", "info=http://v.test/&version=2.2&download=x", 2, 0, nullptr, false},
        {"no download", "version=2.2&info=http://v.test/", 2, 0, nullptr, false},
        {"no info", "version=2.2&download=x", 2, 0, nullptr, false},
        {"no version", "info=http://v.test/&download=x", 2, 0, nullptr, false},
        {"version not a number", "version=abc&info=http://v.test/&download=x", 2, 0, nullptr,
         false},
        {"negative version", "version=-3&info=http://v.test/&download=x", 2, 0, nullptr, false},
        {"info not a web address", "version=2.2&info=file:///etc/passwd&download=x", 2, 0, nullptr,
         false},
        {"empty text", "", 2, 0, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VersionInformation info;
        info.info_address = "unchanged";
        ASSERT_EQ(ParseVersionInformation(c.text, &info), c.code);
        if (c.code != 0) {
            EXPECT_EQ(info.info_address, "unchanged");
            continue;
        }
        EXPECT_DOUBLE_EQ(info.online_version, c.version);
        EXPECT_EQ(info.info_address, c.info);
        EXPECT_EQ(IsNewerThanProgram(info.online_version), c.newer);
    }
}

TEST(ParseVersionNumber, IgnoresTheLocale) {
    // A desktop session may run with a decimal comma; the text always has a point.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous != nullptr ? previous : "C";
    for (const char* locale : {"de_DE.UTF-8", "fr_FR.UTF-8", "C"}) {
        if (std::setlocale(LC_NUMERIC, locale) == nullptr) continue;
        double version = 0;
        EXPECT_TRUE(ParseVersionNumber("2.15", &version));
        EXPECT_DOUBLE_EQ(version, 2.15) << locale;
        EXPECT_FALSE(IsNewerThanProgram(2.15));
        EXPECT_TRUE(IsNewerThanProgram(2.2));
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

class RecordingUpdateObserver : public LUpdateObserver {
  public:
    void SetStatusText(const char* text) override { statuses.push_back(text); }
    void SetProgress(double fraction) override { progress.push_back(fraction); }
    std::vector<std::string> statuses;
    std::vector<double> progress;
};

TEST(FetchVersionInformation, FromAServer) {
    struct Case {
        const char* name;
        std::string answer;
        int code;
        std::vector<double> progress;
    };
    const std::vector<Case> cases = {
        {"good",
         Response("200 OK", "", "version=2.3&info=http://v.test/i&download=http://d"),
         0,
         {0.0, 1.0}},
        {"malformed", Response("200 OK", "", "version=2.3&info=http://v.test/i"), 2, {0.0}},
        {"larger than the buffer",
         Response("200 OK", "",
                  std::string(kVersionResponseBytes, ' ') +
                      "version=2.3&info=http://v.test/i&download=x"),
         2,
         {0.0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestServer server([&c](ServerConnection& s) { s.Send(c.answer); });
        RecordingUpdateObserver observer;
        VersionInformation info;
        EXPECT_EQ(FetchVersionInformation(&observer, server.Url("/version.txt"), &info), c.code);
        EXPECT_EQ(observer.statuses, std::vector<std::string>{"Checking for updated version..."});
        EXPECT_EQ(observer.progress, c.progress);
        if (c.code == 0) {
            EXPECT_DOUBLE_EQ(info.online_version, 2.3);
            EXPECT_EQ(info.info_address, "http://v.test/i");
        }
    }
    RecordingUpdateObserver observer;
    VersionInformation info;
    std::string closed = "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/v";
    EXPECT_EQ(FetchVersionInformation(&observer, closed, &info), kHttpFailed);
}

}  // namespace
}  // namespace tw
