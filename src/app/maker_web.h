// The maker's web addresses: its two sites, the suggestion and bug-report pages, and the
// queries this program sends them. The addresses are build-time settings
// (TW_MAKER_SITE, TW_MAKER_SECOND_SITE, TW_BUG_REPORT_PAGE, TW_SUGGESTION_PAGE).
#pragma once

#include <string>

#include "web/update_check.h"

namespace tw {

inline constexpr const char* kProgramName = "Tunewright";

// A page of the maker's site, "tuner/index" -> SITE + "tuner/index.html"; a name that begins
// with "+" is on the second site.
std::string MakerPageUrl(const std::string& page);
// The bug-report page with "software=Tunewright&version=2.15" and, when given, "&xi=" and the
// escaped extra information ("GUI-<crash id>").
std::string BugReportUrl(const std::string& extra_info);
// The bug-report page as the Help menu opens it ("...&version=2.15MAC").
std::string MenuBugReportUrl();
// The suggestion page, with "&suggestion=" and the escaped text when there is one.
std::string SuggestionUrl(const std::string& suggestion);
// Percent-escapes everything but unreserved characters (RFC 3986).
std::string EscapeQueryValue(const std::string& text);

}  // namespace tw
