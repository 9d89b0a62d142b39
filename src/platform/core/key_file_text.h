// Keys and values as they stand in a key file line "key=value": the escaping that lets
// any key and any UTF-8 value come back byte for byte.
//
// Values use the key file's own escapes (\s \n \t \r \\) and add \f and \v for a value
// that begins with a form feed or vertical tab: the key file drops every blank at the
// start of a value and has no escape of its own for those two.
// Thread: any.
#pragma once

#include <string>

namespace tw {

// Key names may not hold '=', brackets, line breaks, or blanks at either end, and a
// leading '#' would make a comment. Such bytes, '%' itself and anything outside
// printable ASCII are written as %XX; ordinary keys ("Settings/AlwaysOnTop") pass as they are.
std::string EncodeKeyFileKey(const std::string& key);

// The raw text to store for `value`.
std::string EscapeKeyFileValue(const std::string& value);

// The value stored as `raw`; false for an unknown escape or a backslash at the end, as the
// key file itself would refuse them.
bool UnescapeKeyFileValue(const std::string& raw, std::string* value);

}  // namespace tw
