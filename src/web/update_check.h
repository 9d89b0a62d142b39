// The parsing half of the check for a newer version: reading the version-information text
// the maker's server returns, comparing versions, and the worker that fetches it. The
// dialogs that tell the user live with the message boxes.
// Thread: any for the pure functions; the fetch blocks the calling thread.
#pragma once

#include <string>
#include <string_view>

#include "web/transfer_observer.h"

namespace tw {

// The program's own version, compared as a decimal number.
inline constexpr std::string_view kProgramVersion = "2.15";

inline constexpr size_t kVersionValueMaxLength = 259;
inline constexpr size_t kVersionResponseBytes = 2048;
inline constexpr int kVersionTimeoutMs = 5000;

struct VersionInformation {
    double online_version = 0.0;
    std::string info_address;  // opened in the browser when the user asks to see more
};

// The update check's observer also shows a line of status text.
class LUpdateObserver : public LTransferObserver {
  public:
    virtual void SetStatusText(const char* /*text*/) {}
};

// Reads "version=", then (searching onward) "info=" and "download=" from `text`, the raw
// response with its headers. Each value runs to the next "&" or the end and is cut to 259
// characters. The version must start with a decimal number (read the same in every locale)
// and the information address must be an http or https address, since it is handed to the
// browser. Returns 0, or 2 when a key is missing or a value unusable; `info` is changed only
// on success.
int ParseVersionInformation(std::string_view text, VersionInformation* info);

// Reads the leading decimal number of `text` ("2.100" is 2.1); false when it has none.
bool ParseVersionNumber(std::string_view text, double* version);

// Whether `online_version` is greater than the program's own version.
bool IsNewerThanProgram(double online_version);

// The worker of the check: shows its status, fetches `address` into a 2048-byte buffer with a
// 5000 ms time-out and parses it. Returns 0, the client's code, or 2 for a malformed text.
int FetchVersionInformation(LUpdateObserver* observer, std::string_view address,
                            VersionInformation* info);

}  // namespace tw
