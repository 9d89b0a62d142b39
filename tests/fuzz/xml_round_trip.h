// The reader's central promise, checked by the fuzz target and by the unit tests over
// the seed corpus: whatever the input, reading never fails, and a tree that was read
// and written reads back into the same tree.
//
// "The same" allows for what the writer does by design: it lays elements out with
// line breaks and tabs, which reappear around text when read back and which it drops
// from text that is only white space; it writes every line break as LF; it writes
// names as they are, so a name holding a delimiter or quote (possible only through
// quoting or references) cannot come back; and a "?xml" declaration with an empty
// version loses that attribute.
// Unterminated comments, CDATA sections and DOCTYPEs come back terminated and empty.
#pragma once

#include <string>

#include "store/xml.h"

namespace tw::fuzz {

inline std::string NormalizeBreaks(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\r' || c == '\n') {
            out.push_back('\n');
            if (i + 1 < s.size() && (s[i + 1] == '\r' || s[i + 1] == '\n') && s[i + 1] != c) ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

inline bool IsBlank(const std::string& s) {
    return s.find_first_not_of(" \t\r\n") == std::string::npos;
}

inline std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t\n");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\n") - b + 1);
}

// Names the writer can put out so that they read back unchanged.
inline bool WritableName(const std::string& name) {
    if (name.empty()) return false;
    if (name.find_first_of("\t\n\r /=>\"'&") != std::string::npos) return false;
    // The last character of a 259-byte "?name?" is dropped when read back.
    if (name[0] == '?' && name.size() >= 259 && name.back() == '?') return false;
    return true;
}

inline void Canonical(const XmlNode* node, std::string* out, bool* writable);

// Canonical text of the children of an element or of the root; `raw` for the content
// of comments, CDATA and DOCTYPE, which is written as it is.
inline void CanonicalChildren(const XmlNode* node, bool raw, std::string* out, bool* writable) {
    for (const XmlNode* c = node->first_child.get(); c; c = c->next.get()) {
        if (c->name) {
            Canonical(c, out, writable);
            continue;
        }
        const std::string t = NormalizeBreaks(c->text.value_or(""));
        if (raw) {
            // A comment cut short by the end of input keeps no content; written, it
            // comes back with empty content. Both mean "nothing".
            if (!t.empty()) out->append("R{").append(t).append("}");
        } else if (!IsBlank(t)) {
            out->append("T{").append(Trim(t)).append("}");
        }
    }
}

// Canonical text of an element; `writable` turns false when the subtree holds a name
// that cannot be written faithfully.
inline void Canonical(const XmlNode* node, std::string* out, bool* writable) {
    const std::string& name = *node->name;
    if (!WritableName(name)) *writable = false;
    out->append("E{").append(name).append("|");
    for (const auto& [k, v] : node->attributes) {
        if (!WritableName(k)) *writable = false;
        if (name == "?xml" && k == "version" && v.empty()) continue;
        out->append(k).append("=").append(NormalizeBreaks(v)).append(";");
    }
    out->append("|");
    CanonicalChildren(node, !name.empty() && name[0] == '!', out, writable);
    out->append("}");
}

inline std::string CanonicalDocument(const XmlNode& root, bool* writable) {
    std::string out;
    CanonicalChildren(&root, false, &out, writable);
    return out;
}

inline std::string WriteDocument(const XmlNode& root) {
    std::string out;
    for (const XmlNode* c = root.first_child.get(); c; c = c->next.get()) Serialize(c, &out, 0);
    return out;
}

// Empty when the promise holds for `input`, else what went wrong. `compared` tells
// whether the trees were compared (false when a name cannot be written faithfully).
inline std::string CheckRoundTrip(const std::string& input, bool* compared = nullptr) {
    if (compared) *compared = false;
    XmlNode first;
    char error[kXmlErrorSize];
    Parse(&first, input.c_str(), error);
    std::string error_text(error);
    if (error_text.size() >= kXmlErrorSize) return "error message too long";
    if (!error_text.empty() && error_text.compare(0, 3, "Ln ") != 0)
        return "error without position";

    const std::string written = WriteDocument(first);
    XmlNode second;
    Parse(&second, written.c_str(), error);

    bool writable = true;
    const std::string a = CanonicalDocument(first, &writable);
    if (!writable) return "";
    if (compared) *compared = true;
    bool unused = true;
    const std::string b = CanonicalDocument(second, &unused);
    if (a != b)
        return "tree changed by writing and reading back:\n" + a + "\n" + b + "\nwritten:\n" +
               written;
    if (WriteDocument(second).empty() != written.empty())
        return "second writing differs in emptiness";
    return "";
}

}  // namespace tw::fuzz
