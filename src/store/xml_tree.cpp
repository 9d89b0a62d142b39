// The document tree: node lifetime, lookups and edits.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "store/xml.h"
#include "store/xml_tree_links.h"

namespace tw {

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
