// Request URLs: splitting one into the host and the path sent to it, and resolving the
// Location of a redirect against the URL that answered with it. Pure text work.
// Thread: any.
#pragma once

#include <string>
#include <string_view>

namespace tw {

// Longest host (with its ":port") a URL may carry.
inline constexpr size_t kMaxUrlHostLength = 259;

struct UrlParts {
    std::string host;  // "name" or "name:port", as sent in the Host header
    std::string path;  // starts with "/"; the query is kept, the fragment dropped
};

// Splits `url`. A leading scheme and its "//" are skipped ("http://" or a bare "//"); a URL
// without one starts with its host. The host ends at the first "/", "?" or "#"; a URL without
// a path asks for "/". Spaces in the path are sent as "%20".
// Fails for other schemes (this client speaks plain HTTP only), an empty or over-long host,
// and control characters or spaces in the host or control characters in the path, which
// could otherwise end the request line early.
bool SplitUrl(std::string_view url, UrlParts* parts);

// Resolves a redirect's Location value (leading and trailing blanks allowed) against
// `base_url`:
// - "scheme://..." is used unchanged (and later refused unless the scheme is http);
// - "//host/path" keeps the base's scheme;
// - "/path" is joined to the base's scheme and host;
// - "?query" replaces the base's query;
// - any other value replaces the last segment of the base's path, as browsers do.
// "." and ".." segments are resolved; one that climbs above the root fails, so a redirect
// cannot reach outside the host's path tree by accident.
bool ResolveLocation(std::string_view base_url, std::string_view location, std::string* resolved);

// Resolves "." and ".." segments of `path` (which starts with "/"; a query after "?" is left
// alone). False when ".." would climb above the root.
bool RemoveDotSegments(std::string_view path, std::string* normalized);

}  // namespace tw
