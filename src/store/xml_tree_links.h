// Linking nodes into a parent's children, shared by the reader and the tree edits.
// Thread: any, one tree per thread.
#pragma once

#include <memory>

#include "store/xml.h"

namespace tw {

// Links `child` after `*tail` (or as the first child when `*tail` is null) and makes it
// the new tail; the child takes the parent's preserve flag.
void LinkChild(XmlNode* parent, XmlNode** tail, std::unique_ptr<XmlNode> child);

// The last child of `node`, or null.
XmlNode* LastChild(XmlNode* node);

}  // namespace tw
