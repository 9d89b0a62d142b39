// The XML reader: a lenient, iterative parser that builds as much of the tree as it can
// and records the first error with its line and column.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "store/xml.h"
#include "store/xml_tree_links.h"

namespace tw {

namespace {

// Token delimiter handed back when a "!--", "![CDATA[" or "!DOCTYPE" token ends early;
// no real character is consumed for it.
constexpr int kEarlyEnd = -1;
constexpr std::size_t kMaxToken = 259;
// Longest name between "&" and ";" ("#" and 22 digits, or 23 letters); longer ones fail.
constexpr std::size_t kMaxReferenceName = 23;

// Error buffers hold at most 259 characters; longer messages are cut.
void CopyError(char* error, const std::string& message) {
    std::size_t n = std::min(message.size(), kXmlErrorSize - 1);
    memcpy(error, message.data(), n);
    error[n] = '\0';
}

std::string VFormat(const char* fmt, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    int n = vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) vsnprintf(out.data(), out.size() + 1, fmt, ap);
    return out;
}

void CutAtNul(std::string* s) {
    std::size_t z = s->find('\0');
    if (z != std::string::npos) s->resize(z);
}

bool EqualsIgnoreCase(const std::string& a, const char* b) {
    std::size_t n = strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

class Reader {
  public:
    Reader(const char* text, char* error)
        : p_(reinterpret_cast<const unsigned char*>(text)), error_(error) {
        if (error_) error_[0] = '\0';
    }

    void ParseDocument(XmlNode* root);

  private:
    struct Frame {
        std::unique_ptr<XmlNode> owned;  // null for the root, which the caller owns
        XmlNode* node;
        XmlNode* tail;
    };

    // The cursor: every line break (CR, LF, CR LF, LF CR) becomes one LF and a new line.
    int Next() {
        unsigned char c = *p_;
        if (c == 0) return 0;
        ++p_;
        if (c == '\r' || c == '\n') {
            unsigned char d = *p_;
            if ((d == '\r' || d == '\n') && d != c) ++p_;
            ++line_;
            col_ = 1;
            return '\n';
        }
        ++col_;
        return c;
    }
    int PeekRaw() const { return *p_; }

    void Error(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    int ReadReference();
    std::string ReadToken(int* delim, bool value, bool tag_name);
    bool ReadStartTag(XmlNode* node, const XmlNode* parent, std::string name, int delim);
    void ReadSpecial(XmlNode* node);
    void CloseRun(Frame& f);
    void EofError(const std::string& name);

    const unsigned char* p_;
    char* error_;
    bool has_error_ = false;
    int line_ = 1;
    int col_ = 1;
    std::string run_;
};

void Reader::Error(const char* fmt, ...) {
    if (has_error_) return;
    has_error_ = true;
    if (!error_) return;
    va_list ap;
    va_start(ap, fmt);
    std::string message = VFormat(fmt, ap);
    va_end(ap);
    char position[40];
    snprintf(position, sizeof position, "Ln %d, Col %d: ", line_, col_);
    CopyError(error_, position + message);
}

void Reader::EofError(const std::string& name) {
    Error(
        "(EOF) Element <%s> should be terminated with </%s>. Check you have terminated your "
        "element properly.",
        name.c_str(), name.c_str());
}

// After "&": answers the decoded byte; 0 (which ends the string it lands in) when the
// reference has no semicolon.
int Reader::ReadReference() {
    std::string name;
    for (;;) {
        int c = PeekRaw();
        if (c == ';') {
            Next();
            break;
        }
        // A name of kMaxReferenceName characters may still be closed by its semicolon.
        const bool too_long = name.size() >= kMaxReferenceName;
        if (c == 0 || c == ' ' || c == '\t' || c == '\r' || c == '\n' || too_long) {
            if (c != 0 && too_long) Next();
            Error(
                "Strings starting with an ampersand (&) must end with a semicolon (;). Either "
                "replace the '&' with '&amp;' or add a ';' at the end of the control string.");
            return 0;
        }
        Next();
        name.push_back(static_cast<char>(c));
    }
    if (name == "amp") return '&';
    if (name == "gt") return '>';
    if (name == "lt") return '<';
    if (name == "quot") return '"';
    if (name == "apos") return '\'';
    if (!name.empty() && name[0] == '#') {
        // Only the low eight bits count, so wrapping arithmetic is exact.
        uint32_t v = 0;
        if (name.size() > 1 && name[1] == 'x') {
            for (std::size_t i = 2; i < name.size(); ++i) {
                char h = name[i];
                if (h >= '0' && h <= '9') {
                    v = v * 16 + static_cast<uint32_t>(h - '0');
                } else if (h >= 'a' && h <= 'f') {
                    v = v * 16 + static_cast<uint32_t>(h - 'a' + 10);
                } else if (h >= 'A' && h <= 'F') {
                    v = v * 16 + static_cast<uint32_t>(h - 'A' + 10);
                }
            }
        } else {
            std::size_t i = 1;
            bool negative = false;
            if (i < name.size() && (name[i] == '-' || name[i] == '+')) negative = name[i++] == '-';
            for (; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
                v = v * 10 + static_cast<uint32_t>(name[i] - '0');
            }
            if (negative) v = 0u - v;
        }
        return static_cast<int>(v & 0xFF);
    }
    return '&';
}

// A tag name, an attribute name or (`value`) an attribute value, up to a delimiter
// outside quotes. Only tag names end early at "!--", "![CDATA[" and "!DOCTYPE", where a
// construct's content begins; an attribute of such a name must read back as written.
std::string Reader::ReadToken(int* delim, bool value, bool tag_name) {
    std::string s;
    int quote = 0;
    std::size_t count = 0;
    for (;;) {
        int c = Next();
        if (c == 0) {
            *delim = 0;
            break;
        }
        if (quote) {
            if (c == quote) {
                quote = 0;
                continue;
            }
        } else if (c == '\t' || c == '\n' || c == ' ' || c == '/' || c == '=' || c == '>') {
            *delim = c;
            break;
        } else if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (c == '&') c = ReadReference();
        if (!value && count >= kMaxToken) continue;  // read and dropped
        ++count;
        s.push_back(static_cast<char>(c));
        if (tag_name &&
            ((count == 3 && s == "!--") || (count == 8 && (s == "!DOCTYPE" || s == "![CDATA[")))) {
            *delim = kEarlyEnd;
            break;
        }
    }
    CutAtNul(&s);
    return s;
}

void Reader::CloseRun(Frame& f) {
    CutAtNul(&run_);
    if (!f.node->preserve_whitespace) {
        std::size_t b = 0, e = run_.size();
        while (b < e && static_cast<unsigned char>(run_[b]) < 32 && run_[b] != ' ') ++b;
        while (e > b && static_cast<unsigned char>(run_[e - 1]) < 32 && run_[e - 1] != ' ') --e;
        run_ = run_.substr(b, e - b);
    }
    if (!run_.empty()) {
        auto t = std::make_unique<XmlNode>();
        t->text = std::move(run_);
        LinkChild(f.node, &f.tail, std::move(t));
    }
    run_.clear();
}

// Comments, CDATA, DOCTYPE and unknown "!" constructs; their content is not decoded.
void Reader::ReadSpecial(XmlNode* node) {
    const std::string& name = *node->name;
    const bool comment = name == "!--";
    const bool cdata = name == "![CDATA[";
    const bool doctype = name == "!DOCTYPE";
    std::string content;
    bool in_bracket = false;
    for (;;) {
        int c = Next();
        if (c == 0) {
            EofError(name);
            return;  // keeps no content
        }
        if (!comment && !cdata && !doctype) continue;  // never finds an end
        content.push_back(static_cast<char>(c));
        std::size_t n = content.size();
        if (comment && n >= 3 && content.compare(n - 3, 3, "-->") == 0) {
            content.resize(n - 3);
            break;
        }
        if (cdata && n >= 3 && content.compare(n - 3, 3, "]]>") == 0) {
            content.resize(n - 3);
            break;
        }
        if (doctype) {
            if (in_bracket) {
                if (c == ']') in_bracket = false;
            } else if (c == '[') {
                in_bracket = true;
            } else if (c == '>') {
                content.pop_back();
                break;
            }
        }
    }
    auto t = std::make_unique<XmlNode>();
    t->text = std::move(content);
    XmlNode* tail = nullptr;
    LinkChild(node, &tail, std::move(t));
}

// Reads the rest of a start tag; answers whether content follows up to an end tag.
bool Reader::ReadStartTag(XmlNode* node, const XmlNode* parent, std::string name, int delim) {
    const bool declaration = name[0] == '?';
    // A declaration without attributes is written as "<?name?>"; the "?" before ">" is
    // part of the tag, not of the name, so that it reads back as written.
    if (declaration && delim == '>' && name.size() > 1 && name.back() == '?') name.pop_back();
    node->name = std::move(name);
    node->preserve_whitespace = parent->preserve_whitespace;
    const std::string& n = *node->name;
    if (n[0] == '!') {
        ReadSpecial(node);
        return false;
    }
    bool empty = delim == '/';
    while (delim != '>') {
        if (delim == 0) {
            Error("Tag <%s> does not have a closing '>'", n.c_str());
            return false;
        }
        std::string attr = ReadToken(&delim, false, false);
        if (delim == '/') empty = true;
        if (attr.empty()) continue;
        if (delim == ' ' && PeekRaw() == '=') delim = Next();
        std::string value;
        if (delim == '=') {
            if (PeekRaw() == ' ') Next();
            value = ReadToken(&delim, true, false);
            if (delim == '/') empty = true;
            // "version="1.0"?>" in a declaration gives "1.0". Other elements keep a
            // trailing "?", which the writer may have put there as part of the value.
            if (declaration && delim == '>' && !value.empty() && value.back() == '?') {
                value.pop_back();
            }
        }
        if (EqualsIgnoreCase(attr, "xml:space")) {
            node->preserve_whitespace = true;
        } else {
            node->attributes[attr] = std::move(value);
        }
    }
    return !(empty || declaration);
}

// Iterative, so that deeply nested input cannot exhaust the stack.
void Reader::ParseDocument(XmlNode* root) {
    std::vector<Frame> stack;
    stack.push_back(Frame{nullptr, root, LastChild(root)});
    auto end_element = [&stack]() {
        Frame done = std::move(stack.back());
        stack.pop_back();
        if (done.owned) {
            Frame& parent = stack.back();
            LinkChild(parent.node, &parent.tail, std::move(done.owned));
        }
    };
    run_.clear();
    while (!stack.empty()) {
        Frame& f = stack.back();
        int c = Next();
        if (c == 0) {
            CloseRun(f);
            if (f.node->name) EofError(*f.node->name);
            end_element();
            continue;
        }
        if (c != '<') {
            if (c == '&') c = ReadReference();
            run_.push_back(static_cast<char>(c));
            continue;
        }
        int delim = 0;
        std::string token = ReadToken(&delim, false, true);
        CloseRun(f);
        if (!token.empty()) {
            auto child = std::make_unique<XmlNode>();
            if (ReadStartTag(child.get(), f.node, std::move(token), delim)) {
                XmlNode* raw = child.get();
                stack.push_back(Frame{std::move(child), raw, nullptr});
            } else {
                LinkChild(f.node, &f.tail, std::move(child));
            }
            continue;
        }
        if (delim == '/') {
            int end_delim = 0;
            std::string end = ReadToken(&end_delim, false, true);
            if (f.node->name) {
                if (end != *f.node->name) {
                    const char* name = f.node->name->c_str();
                    Error(
                        "Element <%s> should be terminated with </%s>, was with %s. Check you "
                        "have terminated your element properly.",
                        name, name, end.c_str());
                }
            } else {
                Error("Misplaced </%s> which does not match a <%s>.", end.c_str(), end.c_str());
            }
            while (end_delim != '>' && end_delim != 0) end_delim = Next();
        } else {
            Error("Misplaced < without name. Use &lt; instead of < if appropriate.");
        }
        end_element();
    }
}

}  // namespace

void Parse(XmlNode* root, const char* text, char* error) {
    root->first_child.reset();
    Reader reader(text ? text : "", error);
    reader.ParseDocument(root);
}

}  // namespace tw
