// The number of the frequency field and the frequencies the reference tone can be made at.
#include "tuner/frequency_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "tuner/reference_tone.h"

namespace tw {
namespace {

TEST(FrequencyTextTest, WholeHertzOfTheLeadingNumber) {
    const struct {
        const char* text;
        int hz;
    } cases[] = {
        {"440", 440},
        {"442.9", 442},
        {"+441", 441},
        {"-12", -12},
        {"", 0},
        {"-", 0},
        {"+", 0},
        {".", 0},
        {".75", 0},
        {"0.5", 0},
        {"007", 7},
        {"20000", 20000},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"123456789012345678901234567890", INT_MAX},
        {"-123456789012345678901234567890", INT_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FrequencyFieldValue(c.text), c.hz) << '"' << c.text << '"';
}

TEST(FrequencyTextTest, TargetsTheToneCannotPlayGiveSilence) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double target;
        double tone;
    } cases[] = {{82.41, 82.41}, {20000, 20000}, {22049, 22049}, {22050, 0},        {1e9, 0},
                 {0, 0},         {-5, 0},        {inf, 0},       {std::nan(""), 0}, {7.72, 7.72}};
    for (const auto& c : cases) EXPECT_EQ(PlayableToneFrequency(c.target), c.tone) << c.target;
}

}  // namespace
}  // namespace tw
