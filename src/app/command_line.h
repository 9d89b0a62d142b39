// The command-line jobs that work without a window.
#pragma once

#include <cstdio>
#include <string>

namespace tw {

// Parses the arguments and runs the job; returns the process exit status
// (0 success, 2 bad arguments or unreadable input).
int RunCommandLine(int argc, char** argv);

// `--analyze FILE`: one CSV line per publication on `out`, messages on `err`.
int AnalyzeFile(const std::string& path, std::FILE* out, std::FILE* err);

}  // namespace tw
