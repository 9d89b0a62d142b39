// Values whose every byte depends on their number, so that a torn or mixed write
// cannot pass for a whole one. Under 259 bytes, so reads do not cut them.
#pragma once

#include <string>

namespace tw::test {

inline std::string KillValue(int n) {
    std::string v = std::to_string(n) + ":";
    for (int i = 0; v.size() < 200; ++i) v.push_back(static_cast<char>('a' + (n * 7 + i) % 26));
    return v;
}

// The number of a whole value, or -1.
inline int KillValueNumber(const std::string& v) {
    std::size_t colon = v.find(':');
    if (colon == std::string::npos || colon == 0) return -1;
    int n = std::stoi(v.substr(0, colon));
    return KillValue(n) == v ? n : -1;
}

}  // namespace tw::test
