#include "app/maker_web.h"

#ifndef TW_MAKER_SITE
#define TW_MAKER_SITE "https://www.orvanesoft.example/"
#endif
#ifndef TW_MAKER_SECOND_SITE
#define TW_MAKER_SECOND_SITE "https://software.orvanesoft.example/"
#endif
#ifndef TW_BUG_REPORT_PAGE
#define TW_BUG_REPORT_PAGE "https://www.orvanesoft.example/bugreport.html"
#endif
#ifndef TW_SUGGESTION_PAGE
#define TW_SUGGESTION_PAGE "https://www.orvanesoft.example/suggestion.html"
#endif

namespace tw {

namespace {

std::string Query() {
    return std::string("software=") + kProgramName + "&version=" + std::string(kProgramVersion);
}

}  // namespace

std::string EscapeQueryValue(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string MakerPageUrl(const std::string& page) {
    if (!page.empty() && page[0] == '+') return TW_MAKER_SECOND_SITE + page.substr(1) + ".html";
    return TW_MAKER_SITE + page + ".html";
}

std::string BugReportUrl(const std::string& extra_info) {
    std::string url = std::string(TW_BUG_REPORT_PAGE) + "?" + Query();
    if (!extra_info.empty()) url += "&xi=" + EscapeQueryValue(extra_info);
    return url;
}

std::string MenuBugReportUrl() {
    return std::string(TW_BUG_REPORT_PAGE) + "?" + Query() + "MAC";
}

std::string SuggestionUrl(const std::string& suggestion) {
    std::string url = std::string(TW_SUGGESTION_PAGE) + "?" + Query() + "MAC";
    if (!suggestion.empty()) url += "&suggestion=" + EscapeQueryValue(suggestion);
    return url;
}

}  // namespace tw
