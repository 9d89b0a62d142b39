// Byte-order marks of XML files: UTF-16 (either order) is decoded to UTF-8, a UTF-8 mark
// is dropped.
#include "store/xml_text_decoding.h"

#include <cstdint>

namespace tw {

namespace {

// Appends one UTF-16 unit as UTF-8; surrogates are encoded one by one, as they come.
void AppendUnitAsUtf8(std::string* out, uint32_t u) {
    if (u < 0x80) {
        out->push_back(static_cast<char>(u));
    } else if (u < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (u >> 6)));
        out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xE0 | (u >> 12)));
        out->push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
}

}  // namespace

std::string DecodeXmlFileBytes(const std::string& raw) {
    const auto* b = reinterpret_cast<const unsigned char*>(raw.data());
    std::size_t n = raw.size();
    if (n >= 2 && ((b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0xFF && b[1] == 0xFE))) {
        const bool big_endian = b[0] == 0xFE;
        std::string out;
        for (std::size_t i = 2; i + 1 < n; i += 2) {
            uint32_t u =
                big_endian ? (uint32_t{b[i]} << 8) | b[i + 1] : (uint32_t{b[i + 1]} << 8) | b[i];
            if (u == 0) break;
            AppendUnitAsUtf8(&out, u);
        }
        return out;
    }
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return raw.substr(3);
    return raw;
}

}  // namespace tw
