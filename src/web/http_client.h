// A small blocking HTTP/1.0 client over plain TCP: fetch to memory, post a form, download to
// a file. Every call returns kHttpOk (0), kHttpCancelled (1, the observer said so) or
// kHttpFailed (2: lookup, connect, send, receive, time-out or protocol error), and closes its
// connection before it returns. No TLS, no keep-alive, no chunked bodies.
// Thread: the calling thread, which blocks; in the program that is the user-interface thread
// under the progress dialog, whose cancellation test keeps the interface responsive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "web/http_connection.h"
#include "web/transfer_observer.h"

namespace tw {

// Time-outs and bounds of a download. The defaults are the program's; tests shorten them.
struct HttpDownloadLimits {
    int connect_timeout_ms = 22000;
    int send_timeout_ms = 10000;
    // Waiting allowed for the status line and all header lines together.
    int head_timeout_ms = 10000;
    // Waiting allowed for each body block of 1028 bytes (or what remains of the body), so a
    // server that trickles bytes cannot hold the transfer open forever.
    int block_timeout_ms = 7500;
    // Redirects followed before the chain counts as a loop.
    int max_redirects = 10;
    // A larger body, announced or received, fails: an endless body cannot fill the disk.
    int64_t max_body_bytes = int64_t{512} << 20;
    // A longer status or header line fails: an endless line cannot fill the memory.
    size_t max_line_bytes = 8192;
    int max_header_lines = 200;
};

inline constexpr size_t kBodyBlockBytes = 1028;

// Fetches `url` into `buffer`: the raw response, status line and headers included, at most
// `size` - 1 bytes and always NUL-terminated. The server closing the connection, or the
// buffer filling, ends the transfer with success; the status code is not looked at. The
// connect, the send and the whole receive may each wait `timeout_ms`. The buffer is empty
// unless the result is kHttpOk.
int HttpGet(LTransferObserver* observer, std::string_view url, char* buffer, size_t size,
            int timeout_ms);

// Posts `form` (already URL-encoded) as application/x-www-form-urlencoded, reads nothing back
// and closes the connection.
int HttpPostForm(LTransferObserver* observer, std::string_view url, std::string_view form,
                 int timeout_ms);

// Saves the body of a 2xx answer to `path`, replacing the file there only when the body has
// arrived completely; on failure or cancellation `path` is left as it was and nothing else
// is left behind. 3xx answers are followed when `follow_redirects` is set and fail otherwise.
int HttpDownload(LTransferObserver* observer, std::string_view url, const std::string& path,
                 bool follow_redirects);
int HttpDownload(LTransferObserver* observer, std::string_view url, const std::string& path,
                 bool follow_redirects, const HttpDownloadLimits& limits);

}  // namespace tw
