#include "framework/rules/placeholders.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using framework::ReplacePlaceholders;

// Lead bytes of a Japanese double-byte code page: 0x81-0x9F and 0xE0-0xFC. Its trail bytes
// start at 0x40, so a real "%" is never one; the rows below put one there anyway, because a
// pair must never be split whatever its second byte is.
bool IsTestLeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

struct Row {
    std::string_view templ;
    std::string_view expected;
};

template <std::size_t N>
void CheckRows(const Row (&rows)[N], std::string_view first, std::string_view second,
               bool (*isLeadByte)(char)) {
    for (const Row& row : rows) {
        const std::string got = ReplacePlaceholders(row.templ, first, second, isLeadByte);
        EXPECT_EQ(got, row.expected) << "template " << testing::PrintToString(row.templ);
    }
}

TEST(ReplacePlaceholders, FillsBothPlaceholders) {
    constexpr Row rows[] = {
        {"Please enter an integer between %1 and %2.",
         "Please enter an integer between 3 and 247."},
        {"%2 then %1", "247 then 3"}, // order in the template, not in the arguments
        {"%1%1%2%2", "33247247"},     // each occurrence, adjacent ones included
        {"", ""},
        {"no placeholder", "no placeholder"},
        {"100%", "100%"},       // a "%" at the end has nothing after it to read
        {"%3 %a %", "%3 %a %"}, // anything but 1 or 2 after "%" is left alone
        {"%%1", "%3"},          // the first "%" is plain, the second starts a placeholder
    };
    CheckRows(rows, "3", "247", nullptr);
}

TEST(ReplacePlaceholders, InsertedTextsAreNotScannedAgain) {
    EXPECT_EQ(ReplacePlaceholders("[%1|%2]", "%2", "%1"), "[%2|%1]");
    EXPECT_EQ(ReplacePlaceholders("a%1b%2c", "", ""), "abc");
}

// The replacement texts here start with letters that are not hex digits, so the byte escapes
// in the rows end where they appear to.
TEST(ReplacePlaceholders, KeepsDoubleByteCharactersWhole) {
    constexpr Row rows[] = {
        {"\x81%1", "\x81%1"},                           // "%" as trail byte: not a placeholder
        {"\x81%%1", "\x81%lo"},                         // the pair ends at the trail; "%1" follows
        {"\x82\xA0%1 \xE0\x40", "\x82\xA0lo \xE0\x40"}, // pairs around a placeholder
        {"%2\x81", "hi\x81"},                           // a lone lead byte at the end: not overread
        {"\xFC\xFC%2", "\xFC\xFChi"},                   // a trail byte with a lead byte's value
    };
    CheckRows(rows, "lo", "hi", IsTestLeadByte);

    // Without a lead-byte test every byte stands alone.
    EXPECT_EQ(ReplacePlaceholders("\x81%1", "lo", "hi"), "\x81lo");
}

} // namespace
