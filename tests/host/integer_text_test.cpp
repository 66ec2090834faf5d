#include "framework/rules/integer_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace {

using framework::FormatInteger;
using framework::ParseInteger;
using namespace std::string_view_literals;

constexpr std::int32_t Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Min = std::numeric_limits<std::int32_t>::min();

struct ParseRow {
    std::string_view text;
    std::optional<std::int32_t> expected;
};

constexpr ParseRow AcceptedTexts[] = {
    {"12", 12},
    {"  12\t", 12},
    {"+12", 12},
    {"012", 12}, // a leading zero does not make it octal
    {"-5", -5},  // negative values parse; refusing them is the range check's job
    {"0", 0},
    {"00", 0},
    {" 0", 0}, // the blank is skipped before the first character is taken
    {"\t-12 \t ", -12},
    {"\t\n5", 5},      // line feed is the first character, but the conversion passes over it
    {"\n\v\f\r 7", 7}, // every white space the conversion knows
    {"\n-7", -7},      // white space before the sign as well
    {"2147483647", Max},
    {"-2147483648", Min},
    {"2147483648", Max},                     // overflow clamps instead of failing
    {"-2147483649", Min},                    // one beyond the negative limit
    {"4294967296", Max},                     // would wrap to 0 in a 32-bit accumulator, then fail
    {"-4294967297", Min},                    // would wrap to -1
    {"99999999999999999999999999999", Max},  // long runs keep clamping, all digits consumed
    {"0000000000000000000000000000012", 12}, // leading zeros never count towards overflow
    {"0000000000000000000000000000000", 0},  // 31 zeros and a 5, cut to 31: the 5 is never read
    {"5                              ", 5},  // 5 then blanks, as cut from a longer text
};

constexpr ParseRow RejectedTexts[] = {
    {"", std::nullopt},
    {"   ", std::nullopt},
    {"\t", std::nullopt},
    {"12a", std::nullopt},
    {"1 2", std::nullopt}, // blanks may surround the number but not split it
    {"12.0", std::nullopt},
    {"0x1F", std::nullopt}, // the conversion stops after the 0; "x1F" is left over
    {"+0", std::nullopt},   // zero whose text does not start with the digit 0
    {"-0", std::nullopt},
    {"+00", std::nullopt},
    {"\n0", std::nullopt}, // the first character is the line feed, not the 0
    {"- 5", std::nullopt}, // no digit right after the sign: nothing is consumed
    {"+", std::nullopt},
    {"-", std::nullopt},
    {"+-5", std::nullopt},
    {"--5", std::nullopt},
    {"5\n", std::nullopt}, // only blanks and tabs may follow the number
    {"5\r", std::nullopt},
    {"x5", std::nullopt},
    {"5\0"sv, std::nullopt},    // the view is the whole text, a NUL inside it is just a character
    {"\xA0\x35", std::nullopt}, // no-break space, then 5: never white space here
    {"\xB2", std::nullopt},     // superscript two, which some locales call a digit
    {"\xEF\xBC\x95", std::nullopt}, // fullwidth 5 in UTF-8
};

void CheckParse(const ParseRow& row) {
    const std::optional<std::int32_t> got = ParseInteger(row.text);
    EXPECT_EQ(got, row.expected) << "text " << testing::PrintToString(row.text);
}

TEST(ParseInteger, AcceptsDecimalNumbersWithBlanksAround) {
    for (const ParseRow& row : AcceptedTexts) {
        CheckParse(row);
    }
}

TEST(ParseInteger, RejectsEverythingElse) {
    for (const ParseRow& row : RejectedTexts) {
        CheckParse(row);
    }
}

TEST(FormatInteger, WritesPlainSignedDecimal) {
    struct Row {
        std::int32_t value;
        std::string_view expected;
    };
    constexpr Row rows[] = {
        {0, "0"},
        {7, "7"},
        {10, "10"}, // trailing zeros survive
        {247, "247"},
        {-1, "-1"},
        {-5, "-5"},
        {1000000000, "1000000000"},
        {Max, "2147483647"},
        {Min, "-2147483648"}, // its magnitude has no positive 32-bit counterpart
    };
    for (const Row& row : rows) {
        const std::string got = FormatInteger(row.value);
        EXPECT_EQ(got, row.expected) << "value " << row.value;
        EXPECT_LE(got.size(), framework::IntegerTextCapacity) << "value " << row.value;
    }
}

TEST(FormatInteger, ParsesBackToTheSameValue) {
    constexpr std::int32_t values[] = {Min, Min + 1, -247, -1, 0, 1, 3, 247, Max - 1, Max};
    for (const std::int32_t value : values) {
        const std::string text = FormatInteger(value);
        EXPECT_EQ(ParseInteger(text), std::optional(value)) << "text " << text;
    }
}

} // namespace
