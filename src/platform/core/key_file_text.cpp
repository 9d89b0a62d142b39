#include "platform/core/key_file_text.h"

#include <utility>

namespace tw {

std::string EncodeKeyFileKey(const std::string& key) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : key) {
        if (c > 0x20 && c < 0x7F && c != '=' && c != '[' && c != ']' && c != '%' && c != '#') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::string EscapeKeyFileValue(const std::string& value) {
    std::string out;
    bool leading = true;  // inside the run of blanks the reader would drop
    for (char c : value) {
        if (leading && c == ' ') {
            out.append("\\s");
            continue;
        }
        if (leading && c == '\f') {
            out.append("\\f");
            continue;
        }
        if (leading && c == '\v') {
            out.append("\\v");
            continue;
        }
        leading = false;
        switch (c) {
            case '\n':
                out.append("\\n");
                break;
            case '\t':
                out.append("\\t");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\\':
                out.append("\\\\");
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

bool UnescapeKeyFileValue(const std::string& raw, std::string* value) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out.push_back(raw[i]);
            continue;
        }
        if (++i == raw.size()) return false;
        switch (raw[i]) {
            case 's':
                out.push_back(' ');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'v':
                out.push_back('\v');
                break;
            case '\\':
                out.push_back('\\');
                break;
            default:
                return false;
        }
    }
    *value = std::move(out);
    return true;
}

}  // namespace tw
