// The addresses a request may connect to: up to four IPv4 addresses and a port, taken from
// a URL's host.
// Thread: any; a lookup blocks the calling thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

inline constexpr size_t kMaxAddresses = 4;
inline constexpr uint16_t kDefaultHttpPort = 80;

struct AddressList {
    std::array<uint32_t, kMaxAddresses> addresses{};  // host byte order
    size_t count = 0;
    uint16_t port = kDefaultHttpPort;
};

// Looks a host name up, appending at most `max` addresses; the system resolver by default.
using HostLookup =
    std::function<bool(const std::string& name, size_t max, std::vector<uint32_t>* out)>;

// Fills `list` from "host" or "host:port" (decimal, 1..65535). A dotted quad is taken as the
// one address without a lookup; any other name goes to `lookup` and keeps its first four
// addresses. False for a bad port, an empty host or a failed lookup.
bool ResolveAddressList(std::string_view host, AddressList* list, const HostLookup& lookup);
bool ResolveAddressList(std::string_view host, AddressList* list);

// Reads "a.b.c.d" (each part 0..255, at most three digits) into host byte order.
bool ParseDottedQuad(std::string_view text, uint32_t* address);

}  // namespace tw
