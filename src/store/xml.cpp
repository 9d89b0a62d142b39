#include "store/xml.h"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "platform/core/file_lock.h"

namespace tw {

namespace {

// Token delimiter handed back when a "!--", "![CDATA[" or "!DOCTYPE" token ends early;
// no real character is consumed for it.
constexpr int kEarlyEnd = -1;
constexpr std::size_t kMaxToken = 259;

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

void AppendTabs(std::string* out, int depth) {
    if (depth > 0) out->append(static_cast<std::size_t>(depth), '\t');
}

void AppendEscaped(std::string* out, const char* s, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        switch (s[i]) {
            case '"':
                out->append("&quot;");
                break;
            case '&':
                out->append("&amp;");
                break;
            case '<':
                out->append("&lt;");
                break;
            case '>':
                out->append("&gt;");
                break;
            default:
                out->push_back(s[i]);
        }
    }
}

bool IsBlankText(const std::string& t) {
    for (char c : t) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    }
    return true;
}

// Text is written line by line, every kind of line break as one LF.
void AppendText(std::string* out, const std::string& t) {
    std::size_t i = 0, start = 0, n = t.size();
    while (i < n) {
        char c = t[i];
        if (c == '\r' || c == '\n') {
            AppendEscaped(out, t.data() + start, i - start);
            out->push_back('\n');
            if (i + 1 < n && (t[i + 1] == '\r' || t[i + 1] == '\n') && t[i + 1] != c) ++i;
            start = i + 1;
        }
        ++i;
    }
    AppendEscaped(out, t.data() + start, n - start);
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

void LinkChild(XmlNode* parent, XmlNode** tail, std::unique_ptr<XmlNode> child) {
    child->preserve_whitespace = parent->preserve_whitespace;
    XmlNode* raw = child.get();
    if (*tail) {
        (*tail)->next = std::move(child);
    } else {
        parent->first_child = std::move(child);
    }
    *tail = raw;
}

XmlNode* LastChild(XmlNode* node) {
    XmlNode* c = node->first_child.get();
    while (c && c->next) c = c->next.get();
    return c;
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
        if (c == 0 || c == ' ' || c == '\t' || c == '\r' || c == '\n' || name.size() >= 23) {
            if (c != 0 && name.size() >= 23) Next();
            Error(
                "Strings starting with an ampersand (&) must end with a semicolon (;). Either "
                "replace the '&' with '&amp;' or add a ';' at the end of the control string.");
            return 0;
        }
        Next();
        if (c == ';') break;
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

std::string DecodeFileBytes(const std::string& raw) {
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

uint64_t DataSizeLimit() {
    struct rlimit rl;
    if (getrlimit(RLIMIT_DATA, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY ||
        rl.rlim_cur > 0xFFFFFFFFull) {
        return 0xFFFFFFFFull;
    }
    return rl.rlim_cur;
}

void SetFileError(char* error, const char* prefix, const char* path) {
    if (error) CopyError(error, std::string(prefix) + path);
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t w = write(fd, data.data() + done, data.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += static_cast<std::size_t>(w);
    }
    return true;
}

std::string SerializeChildren(const XmlNode* root) {
    std::string out;
    for (const XmlNode* c = root->first_child.get(); c; c = c->next.get()) Serialize(c, &out, 0);
    return out;
}

}  // namespace

XmlNode::~XmlNode() {
    std::vector<std::unique_ptr<XmlNode>> pending;
    if (first_child) pending.push_back(std::move(first_child));
    if (next) pending.push_back(std::move(next));
    while (!pending.empty()) {
        std::unique_ptr<XmlNode> n = std::move(pending.back());
        pending.pop_back();
        if (n->first_child) pending.push_back(std::move(n->first_child));
        if (n->next) pending.push_back(std::move(n->next));
    }
}

void Parse(XmlNode* root, const char* text, char* error) {
    root->first_child.reset();
    Reader reader(text ? text : "", error);
    reader.ParseDocument(root);
}

void LoadFile(XmlNode* root, const char* path, char* error) {
    root->first_child.reset();
    if (error) error[0] = '\0';
    struct stat st;
    if (stat(path, &st) != 0) {
        SetFileError(error, "File does not exist: ", path);
        return;
    }
    // Refuse files whose size times 20 reaches the data-size limit; 128-bit arithmetic
    // so that no file size can overflow the product.
    if (static_cast<unsigned __int128>(st.st_size) * 20 >= DataSizeLimit()) {
        SetFileError(error, "Not enough memory available to load ", path);
        return;
    }
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetFileError(error, "Cannot open xml file: ", path);
        return;
    }
    // A writer holds its lock only while it writes: wait for it a little, then read
    // regardless, so that a stuck lock cannot hide the settings.
    constexpr int kBudgetMs = 1000;
    int sleep_ms = kBudgetMs / 32 + 1;
    bool locked = false;
    for (;;) {
        FileLockResult r = LockFileDescriptor(fd, FileLockMode::kShared, false);
        if (r != FileLockResult::kWouldBlock) {
            locked = r == FileLockResult::kLocked;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(sleep_ms));
        sleep_ms *= 2;
        if (sleep_ms >= kBudgetMs) {
            locked =
                LockFileDescriptor(fd, FileLockMode::kShared, false) == FileLockResult::kLocked;
            break;
        }
    }
    std::string raw;
    char buf[65536];
    for (;;) {
        ssize_t r = read(fd, buf, sizeof buf);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        raw.append(buf, static_cast<std::size_t>(r));
    }
    if (locked) UnlockFileDescriptor(fd);
    close(fd);
    std::string text = DecodeFileBytes(raw);
    Parse(root, text.c_str(), error);
}

bool SaveToFile(const XmlNode* root, int fd) {
    return WriteAll(fd, SerializeChildren(root));
}

bool SaveXmlFile(const XmlNode* root, const char* path) {
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    if (LockFileDescriptor(fd, FileLockMode::kExclusive, false) != FileLockResult::kLocked) {
        close(fd);
        return false;
    }
    const std::string data = SerializeChildren(root);
    struct stat st;
    const mode_t mode = fstat(fd, &st) == 0 ? (st.st_mode & 07777) : 0644;

    // Write a sibling and rename it over the file while holding the lock, so that a
    // crash or a full disk leaves the old document rather than a truncated one.
    std::string dir = path;
    std::size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? std::string(".") : dir.substr(0, slash + 1);
    std::string tmp;
    int tfd = -1;
    std::random_device rd;
    for (int attempt = 0; attempt < 20 && tfd < 0; ++attempt) {
        char suffix[32];
        snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(rd()));
        tmp = std::string(path) + suffix;
        tfd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (tfd < 0 && errno != EEXIST) break;
    }
    bool ok = false;
    if (tfd >= 0) {
        ok = fchmod(tfd, mode) == 0 && WriteAll(tfd, data) && fsync(tfd) == 0;
        ok = close(tfd) == 0 && ok;
        if (ok && rename(tmp.c_str(), path) == 0) {
            int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dfd >= 0) {
                fsync(dfd);
                close(dfd);
            }
        } else {
            unlink(tmp.c_str());
            ok = false;
        }
    } else {
        // The folder does not let us add a file: rewrite in place, still under the lock.
        ok = ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, data) &&
             fsync(fd) == 0;
    }
    close(fd);
    return ok;
}

bool Serialize(const XmlNode* node, std::string* out, int depth) {
    struct Item {
        const XmlNode* node;
        int depth;
        bool closing;
        bool element_children;
    };
    bool produced = false;
    std::vector<Item> stack{{node, depth, false, false}};
    std::vector<const XmlNode*> children;
    while (!stack.empty()) {
        Item it = stack.back();
        stack.pop_back();
        const XmlNode* n = it.node;
        if (it.closing) {
            if (it.element_children) AppendTabs(out, it.depth);
            out->append("</").append(*n->name).append(">\n");
            continue;
        }
        if (!n->name) {
            if (n->text && !IsBlankText(*n->text)) {
                AppendText(out, *n->text);
                produced = true;
            }
            continue;
        }
        produced = true;
        const std::string& name = *n->name;
        AppendTabs(out, it.depth);
        out->push_back('<');
        out->append(name);
        if (!name.empty() && name[0] == '!') {
            for (const XmlNode* c = n->first_child.get(); c; c = c->next.get()) {
                if (c->text) out->append(*c->text);
            }
            out->append(name == "!--" ? "-->\n" : name == "![CDATA[" ? "]]>\n" : ">\n");
            continue;
        }
        const bool xml_decl = name == "?xml";
        if (xml_decl) {
            auto v = n->attributes.find("version");
            if (v != n->attributes.end() && !v->second.empty()) {
                out->append(" version=\"");
                AppendEscaped(out, v->second.data(), v->second.size());
                out->push_back('"');
            }
        }
        for (const auto& [key, value] : n->attributes) {
            if (xml_decl && key == "version") continue;
            out->push_back(' ');
            out->append(key).append("=\"");
            AppendEscaped(out, value.data(), value.size());
            out->push_back('"');
        }
        // An element child always produces output; a text child unless it is blank. This
        // answers the question without serialising the subtree twice.
        bool any_output = false, any_element = false;
        children.clear();
        for (const XmlNode* c = n->first_child.get(); c; c = c->next.get()) {
            children.push_back(c);
            if (c->name) {
                any_output = any_element = true;
            } else if (c->text && !IsBlankText(*c->text)) {
                any_output = true;
            }
        }
        if (!any_output) {
            out->append(!name.empty() && name[0] == '?' ? "?>\n" : "/>\n");
            continue;
        }
        out->push_back('>');
        if (any_element) out->push_back('\n');
        stack.push_back({n, it.depth, true, any_element});
        for (auto c = children.rbegin(); c != children.rend(); ++c) {
            stack.push_back({*c, it.depth + 1, false, false});
        }
    }
    return produced;
}

XmlNode* FindChild(const XmlNode* node, const char* name) {
    for (XmlNode* c = node->first_child.get(); c; c = c->next.get()) {
        if (c->name && *c->name == name) return c;
    }
    return nullptr;
}

std::string GetAttribute(const XmlNode* node, const char* name, const char* def) {
    auto it = node->attributes.find(name);
    return it != node->attributes.end() ? it->second : std::string(def ? def : "");
}

void SetAttribute(XmlNode* node, const char* name, const char* value) {
    node->attributes[name] = value ? value : "";
}

std::unique_ptr<XmlNode> NewElement(const char* name) {
    auto n = std::make_unique<XmlNode>();
    n->name = name ? name : "";
    return n;
}

void SetName(XmlNode* node, const char* name) {
    node->name = name ? name : "";
}

void SetText(XmlNode* node, const char* text) {
    node->name.reset();
    node->text = text ? text : "";
}

XmlNode* AppendChild(XmlNode* parent, std::unique_ptr<XmlNode> child) {
    XmlNode* tail = LastChild(parent);
    XmlNode* raw = child.get();
    LinkChild(parent, &tail, std::move(child));
    return raw;
}

void DestroyNode(std::unique_ptr<XmlNode> node) {
    node.reset();
}

}  // namespace tw
