#include "framework/rules/module_names.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>

namespace {

using framework::DeriveApplicationName;

struct Row {
    std::string_view modulePath;
    std::string_view applicationName;
};

constexpr Row Rows[] = {
    {R"(C:\Program Files\VELTA\BORVEX.EXE)", "BORVEX"},
    {"BORVEX.EXE", "BORVEX"},   // no directory at all
    {"C:BORVEX.EXE", "BORVEX"}, // drive-relative: ":" separates too
    {"/opt/velta/BORVEX.EXE", "BORVEX"},
    {R"(C:\a/b\BORVEX.EXE)", "BORVEX"}, // the last separator wins
    {R"(\\?\C:\a\BORVEX.EXE)", "BORVEX"},
    {R"(C:\a\borvex.exe)", "borvex"},         // case is kept
    {R"(C:\a\BORVEX.old.EXE)", "BORVEX.old"}, // only the last "."
    {R"(C:\a\BORVEX.)", "BORVEX"},
    {R"(C:\a\BORVEX)", "BORVEX"}, // no "." keeps the whole path
    // The cut at the last "." comes before the directory is removed, so a "." in a directory
    // name, with none in the file name, cuts into the directory.
    {R"(C:\dir.v2\BORVEX)", "dir"},
    {R"(C:\a\.EXE)", ""},
    {R"(C:\a\)", ""},
    {"", ""},
};

// Shift-JIS: lead bytes 0x81-0x9F and 0xE0-0xFC. "\x95\x5C" is one character whose second
// byte equals "\"; the names after it start with letters that are not hex digits, so the
// escapes end where they appear to.
bool IsShiftJisLeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

constexpr Row DoubleByteRows[] = {
    {"C:\\a\\\x95\x5CSETUP.EXE", "\x95\x5CSETUP"},
    // A pair whose second byte has a lead byte's value: the "\" after it is a real one.
    {"C:\\\x81\x81\\SETUP.EXE", "SETUP"},
};

void CheckRows(std::span<const Row> rows, bool (*isLeadByte)(char)) {
    for (const Row& row : rows) {
        EXPECT_EQ(DeriveApplicationName(row.modulePath, isLeadByte), row.applicationName)
            << "path " << testing::PrintToString(row.modulePath);
    }
}

TEST(ModuleNames, DerivesTheApplicationName) {
    CheckRows(Rows, nullptr);
    CheckRows(Rows, IsShiftJisLeadByte); // the same for single-byte paths
    CheckRows(DoubleByteRows, IsShiftJisLeadByte);
}

} // namespace
