// The bytes of an XML file as the reader's UTF-8 text: a UTF-16 file (told by its
// byte-order mark, either order) is decoded unit by unit up to its first zero unit; a
// UTF-8 byte-order mark is dropped; anything else passes unchanged.
// Thread: any.
#pragma once

#include <string>

namespace tw {

std::string DecodeXmlFileBytes(const std::string& raw);

}  // namespace tw
