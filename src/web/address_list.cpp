#include "web/address_list.h"

#include "platform/net/tcp_socket.h"

namespace tw {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool ParsePort(std::string_view text, uint16_t* port) {
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (char c : text) {
        if (!IsDigit(c)) return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    *port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

bool ParseDottedQuad(std::string_view text, uint32_t* address) {
    uint32_t result = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.') return false;
            text.remove_prefix(1);
        }
        size_t digits = 0;
        unsigned value = 0;
        while (digits < text.size() && IsDigit(text[digits])) {
            value = value * 10 + static_cast<unsigned>(text[digits] - '0');
            if (++digits > 3) return false;
        }
        if (digits == 0 || value > 255) return false;
        result = (result << 8) | value;
        text.remove_prefix(digits);
    }
    if (!text.empty()) return false;
    *address = result;
    return true;
}

bool ResolveAddressList(std::string_view host, AddressList* list, const HostLookup& lookup) {
    *list = AddressList{};
    size_t colon = host.find(':');
    if (colon != std::string_view::npos) {
        if (!ParsePort(host.substr(colon + 1), &list->port)) return false;
        host = host.substr(0, colon);
    }
    if (host.empty()) return false;
    uint32_t address;
    if (ParseDottedQuad(host, &address)) {
        list->addresses[0] = address;
        list->count = 1;
        return true;
    }
    std::vector<uint32_t> found;
    if (!lookup || !lookup(std::string(host), kMaxAddresses, &found)) return false;
    for (uint32_t entry : found) {
        if (list->count == kMaxAddresses) break;
        list->addresses[list->count++] = entry;
    }
    return list->count > 0;
}

bool ResolveAddressList(std::string_view host, AddressList* list) {
    return ResolveAddressList(host, list, LookupHostIpv4);
}

}  // namespace tw
