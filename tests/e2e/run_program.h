// Runs the built program as a user would and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace tw::test {

struct ProgramResult {
    int exitStatus = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// Splits text into lines without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace tw::test
