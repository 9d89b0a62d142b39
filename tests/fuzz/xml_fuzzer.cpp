// libFuzzer target for the XML reader: no input may crash it or make it read out of
// bounds (AddressSanitizer watches), and a tree it read must survive being written and
// read again.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "fuzz/xml_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The reader takes NUL-terminated text; bytes after a NUL are never seen.
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string problem = tw::fuzz::CheckRoundTrip(input);
    if (!problem.empty()) {
        fprintf(stderr, "%s\n", problem.c_str());
        abort();
    }
    return 0;
}
