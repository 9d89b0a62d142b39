// The XML writer: one node's serialisation with tab indentation, text line by line with
// the markup characters escaped.
#include <string>
#include <vector>

#include "platform/core/file_io.h"
#include "store/xml.h"

namespace tw {

namespace {

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

std::string SerializeChildren(const XmlNode* root) {
    std::string out;
    for (const XmlNode* c = root->first_child.get(); c; c = c->next.get()) Serialize(c, &out, 0);
    return out;
}

}  // namespace

bool SaveToFile(const XmlNode* root, int fd) {
    const std::string data = SerializeChildren(root);
    return WriteAll(fd, data.data(), data.size());
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

}  // namespace tw
