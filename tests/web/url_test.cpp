// URL splitting, redirect resolution and address lists: pure text work, no network.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "web/address_list.h"
#include "web/url.h"

namespace tw {
namespace {

struct SplitCase {
    const char* url;
    bool ok;
    const char* host;
    const char* path;
};

TEST(SplitUrl, Table) {
    const std::string long_host(kMaxUrlHostLength, 'h');
    const std::string too_long_host(kMaxUrlHostLength + 1, 'h');
    const std::vector<SplitCase> cases = {
        {"http://example.com/a/b?c=d", true, "example.com", "/a/b?c=d"},
        {"HTTP://example.com:8080/x", true, "example.com:8080", "/x"},
        {"example.com/x", true, "example.com", "/x"},
        {"//example.com/x", true, "example.com", "/x"},
        {"127.0.0.1:81", true, "127.0.0.1:81", "/"},
        {"http://example.com", true, "example.com", "/"},
        {"http://example.com?q=1", true, "example.com", "/?q=1"},
        {"http://example.com/a#frag", true, "example.com", "/a"},
        // Only the scheme's pair starts the host again; a later "//" is part of the path.
        {"http://good.example//evil.example/x", true, "good.example", "//evil.example/x"},
        {"http://h/my file.txt", true, "h", "/my%20file.txt"},
        {"https://example.com/x", false, "", ""},
        {"ftp://example.com/x", false, "", ""},
        {"http:///x", false, "", ""},
        {"", false, "", ""},
        {"http://h/a\r\nX-Injected: 1", false, "", ""},
        {"http://h o/x", false, "", ""},
    };
    for (const auto& c : cases) {
        UrlParts parts;
        ASSERT_EQ(SplitUrl(c.url, &parts), c.ok) << c.url;
        if (!c.ok) continue;
        EXPECT_EQ(parts.host, c.host) << c.url;
        EXPECT_EQ(parts.path, c.path) << c.url;
    }
    UrlParts parts;
    EXPECT_TRUE(SplitUrl("http://" + long_host + "/", &parts));
    EXPECT_FALSE(SplitUrl("http://" + too_long_host + "/", &parts));
}

struct LocationCase {
    const char* base;
    const char* location;
    bool ok;
    const char* resolved;
};

TEST(ResolveLocation, Table) {
    const std::vector<LocationCase> cases = {
        {"http://a/b/c", "http://x:81/y", true, "http://x:81/y"},
        {"http://a/b/c", "HTTPS://x/y", true, "HTTPS://x/y"},
        {"http://a/b/c", "//x/y", true, "http://x/y"},
        {"http://a:8080/b/c", "/d/e", true, "http://a:8080/d/e"},
        {"http://a/b/c", "  /d  ", true, "http://a/d"},
        {"http://a/b/c?q", "d", true, "http://a/b/d"},
        {"http://a/b/c/", "d", true, "http://a/b/c/d"},
        {"http://a/b/c", "./d", true, "http://a/b/d"},
        {"http://a/b/c/e", "../d", true, "http://a/b/d"},
        {"http://a/b/c/e", "../../d", true, "http://a/d"},
        {"http://a/b/c/e", "x/../../d", true, "http://a/b/d"},
        {"http://a/b/c", "../d", true, "http://a/d"},
        {"http://a/b/c", "../../d", false, ""},
        {"http://a/b", "../d", false, ""},
        {"http://a/b/c", "/../d", false, ""},
        {"http://a/b/c?old", "?new", true, "http://a/b/c?new"},
        {"http://a/b/c", "d#frag", true, "http://a/b/d"},
        {"http://a/b/c", "", true, "http://a/b/c"},
        // A query that quotes a URL does not make the value absolute.
        {"http://a/b/c", "/go?to=http://x/", true, "http://a/go?to=http://x/"},
    };
    for (const auto& c : cases) {
        std::string resolved;
        ASSERT_EQ(ResolveLocation(c.base, c.location, &resolved), c.ok)
            << c.base << " + " << c.location;
        if (c.ok) {
            EXPECT_EQ(resolved, c.resolved) << c.base << " + " << c.location;
        }
    }
}

TEST(RemoveDotSegments, Table) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"/", "/"},     {"/a/b/../c", "/a/c"}, {"/a/./b/.", "/a/b/"},
        {"/a/..", "/"}, {"/a//b", "/a//b"},    {"/a/b/..?x=../..", "/a/?x=../.."},
    };
    for (const auto& [path, expected] : cases) {
        std::string normalized;
        ASSERT_TRUE(RemoveDotSegments(path, &normalized)) << path;
        EXPECT_EQ(normalized, expected) << path;
    }
    std::string normalized;
    EXPECT_FALSE(RemoveDotSegments("/..", &normalized));
    EXPECT_FALSE(RemoveDotSegments("/a/../..", &normalized));
}

struct AddressCase {
    const char* host;
    bool ok;
    std::vector<uint32_t> addresses;
    uint16_t port;
    bool looked_up;
};

TEST(ResolveAddressList, Table) {
    // A resolver that knows three names and no others; it never touches the network.
    std::vector<std::string> asked;
    HostLookup lookup = [&asked](const std::string& name, size_t max, std::vector<uint32_t>* out) {
        asked.push_back(name);
        std::vector<uint32_t> known;
        if (name == "one.test") known = {0x0a000001};
        if (name == "six.test") known = {1, 2, 3, 4, 5, 6};
        if (name == "127.0.0.256") known = {0x7f000002};
        for (size_t i = 0; i < known.size() && i < max; ++i) out->push_back(known[i]);
        return !known.empty();
    };
    const std::vector<AddressCase> cases = {
        {"127.0.0.1", true, {0x7f000001}, 80, false},
        {"127.0.0.1:8080", true, {0x7f000001}, 8080, false},
        {"10.1.2.3:65535", true, {0x0a010203}, 65535, false},
        {"one.test", true, {0x0a000001}, 80, true},
        {"one.test:1", true, {0x0a000001}, 1, true},
        {"six.test", true, {1, 2, 3, 4}, 80, true},
        {"127.0.0.256", true, {0x7f000002}, 80, true},  // not a dotted quad: a name
        {"unknown.test", false, {}, 80, true},
        {"127.0.0.1:0", false, {}, 0, false},
        {"127.0.0.1:65536", false, {}, 0, false},
        {"127.0.0.1:", false, {}, 0, false},
        {"127.0.0.1:8x", false, {}, 0, false},
        {":80", false, {}, 0, false},
    };
    for (const auto& c : cases) {
        asked.clear();
        AddressList list;
        ASSERT_EQ(ResolveAddressList(c.host, &list, lookup), c.ok) << c.host;
        EXPECT_EQ(!asked.empty(), c.looked_up) << c.host;
        if (!c.ok) continue;
        EXPECT_EQ(std::vector<uint32_t>(list.addresses.begin(),
                                        list.addresses.begin() + static_cast<long>(list.count)),
                  c.addresses)
            << c.host;
        EXPECT_EQ(list.port, c.port) << c.host;
    }
}

TEST(ParseDottedQuad, RejectsNearMisses) {
    uint32_t address = 0;
    for (const char* text : {"1.2.3", "1.2.3.4.5", "1.2.3.0004", "1..3.4", "a.b.c.d", " 1.2.3.4",
                             "1.2.3.4 ", "256.1.1.1"}) {
        EXPECT_FALSE(ParseDottedQuad(text, &address)) << text;
    }
    ASSERT_TRUE(ParseDottedQuad("192.168.0.255", &address));
    EXPECT_EQ(address, 0xc0a800ffu);
}

}  // namespace
}  // namespace tw
