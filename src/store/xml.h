// A small, lenient XML reader and writer that keeps a whole document as a tree.
//
// It carries the shared settings file and is written so that a file it wrote reads
// back into the same tree. It never rejects a document: it builds as much of the tree
// as it can, records the first error with its line and column, and goes on. No
// namespaces, no validation, no external entities; characters are bytes (UTF-8).
//
// Thread: any, one tree per thread; nothing global.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace tw {

// Size of the error buffers: at most 259 characters plus the NUL.
inline constexpr std::size_t kXmlErrorSize = 260;

// The one node type. An element has a name; a text node has none. The document is an
// element without a name (the root) whose children are the file's top-level items.
// Special elements are told by their name: "?..." (declaration, attributes only),
// "!--" (comment), "![CDATA[" and "!DOCTYPE" (one text child each).
struct XmlNode {
    XmlNode() = default;
    ~XmlNode();  // iterative, so that long sibling lists and deep trees cannot overflow
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;

    bool is_element() const { return name.has_value(); }

    std::unique_ptr<XmlNode> next;  // next child of the same parent, in document order
    bool preserve_whitespace = true;
    std::map<std::string, std::string> attributes;  // ascending byte order of the name
    std::unique_ptr<XmlNode> first_child;
    std::optional<std::string> name;
    std::optional<std::string> text;
};

// Clears the root's children and fills them from the file. `error` (kXmlErrorSize
// bytes, may be null) receives the first error or is left empty. Takes a shared lock,
// waiting up to about a second for a writer, then reads regardless. Byte-order marks
// of UTF-8 and UTF-16 are understood.
void LoadFile(XmlNode* root, const char* path, char* error);

// The same from a NUL-terminated byte string, starting at line 1, column 1.
void Parse(XmlNode* root, const char* text, char* error);

// Writes the serialisation of each child of the root, at depth 0, to an open
// descriptor; true when every byte was written.
bool SaveToFile(const XmlNode* root, int fd);

// Saves the document to `path`: takes an exclusive lock on the file without waiting
// (a file locked by someone else is not written, and false is answered), then replaces
// the content so that a crash at any moment leaves the old or the new document.
bool SaveXmlFile(const XmlNode* root, const char* path);

// Appends one node's serialisation at the given depth (tabs of indentation); answers
// whether anything was produced.
bool Serialize(const XmlNode* node, std::string* out, int depth);

// The first child named exactly `name`, or null.
XmlNode* FindChild(const XmlNode* node, const char* name);

// The value of the attribute named exactly `name`, else `def`.
std::string GetAttribute(const XmlNode* node, const char* name, const char* def);

// Replaces the attribute's value, or inserts it in order.
void SetAttribute(XmlNode* node, const char* name, const char* value);

std::unique_ptr<XmlNode> NewElement(const char* name);
void SetName(XmlNode* node, const char* name);
// Turns the node into a text node holding `text` (the name is removed).
void SetText(XmlNode* node, const char* text);
// Links the child at the end of the parent's children; the child takes the parent's
// preserve flag. Answers the child.
XmlNode* AppendChild(XmlNode* parent, std::unique_ptr<XmlNode> child);
void DestroyNode(std::unique_ptr<XmlNode> node);

}  // namespace tw
