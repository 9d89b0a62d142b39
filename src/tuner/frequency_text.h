// The number in the main window's frequency field: the field lets through an optional
// sign, digits and one decimal point; the target is the whole hertz in front of the
// point.
#pragma once

#include <string>

namespace tw {

// The leading sign and digits as a base-10 integer; the fraction is dropped, text without
// digits there ("", "-", ".5") reads 0, and numbers past the int range stop at its ends.
int FrequencyFieldValue(const std::string& text);

}  // namespace tw
