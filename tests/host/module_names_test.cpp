#include "framework/rules/module_names.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>

namespace {

using framework::DeriveApplicationName;
using framework::DeriveHelpPath;

struct Row {
    std::string_view modulePath;
    std::string_view applicationName;
    std::string_view helpPath;
};

constexpr Row Rows[] = {
    {R"(C:\Program Files\VELTA\BORVEX.EXE)", "BORVEX", R"(C:\Program Files\VELTA\BORVEX.HLP)"},
    {"BORVEX.EXE", "BORVEX", "BORVEX.HLP"},     // no directory at all
    {"C:BORVEX.EXE", "BORVEX", "C:BORVEX.HLP"}, // drive-relative: ":" separates too
    {"/opt/velta/BORVEX.EXE", "BORVEX", "/opt/velta/BORVEX.HLP"},
    {R"(C:\a/b\BORVEX.EXE)", "BORVEX", R"(C:\a/b\BORVEX.HLP)"}, // the last separator wins
    {R"(\\?\C:\a\BORVEX.EXE)", "BORVEX", R"(\\?\C:\a\BORVEX.HLP)"},
    {R"(C:\a\borvex.exe)", "borvex", R"(C:\a\borvex.HLP)"}, // case is kept, ".HLP" is not
    {R"(C:\a\BORVEX.old.EXE)", "BORVEX.old", R"(C:\a\BORVEX.old.HLP)"}, // only the last "."
    {R"(C:\a\BORVEX.)", "BORVEX", R"(C:\a\BORVEX.HLP)"},
    {R"(C:\a\BORVEX)", "BORVEX", R"(C:\a\BORVEX.HLP)"}, // no "." keeps the whole path
    // The cut at the last "." comes before the directory is removed, so a "." in a directory
    // name, with none in the file name, cuts into the directory.
    {R"(C:\dir.v2\BORVEX)", "dir", R"(C:\dir.HLP)"},
    {R"(C:\a\.EXE)", "", R"(C:\a\.HLP)"},
    {R"(C:\a\)", "", R"(C:\a\.HLP)"},
    {"", "", ".HLP"},
};

// Shift-JIS: lead bytes 0x81-0x9F and 0xE0-0xFC. "\x95\x5C" is one character whose second
// byte equals "\"; the names after it start with letters that are not hex digits, so the
// escapes end where they appear to.
bool IsShiftJisLeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

constexpr Row DoubleByteRows[] = {
    {"C:\\a\\\x95\x5CSETUP.EXE", "\x95\x5CSETUP", "C:\\a\\\x95\x5CSETUP.HLP"},
    // A pair whose second byte has a lead byte's value: the "\" after it is a real one.
    {"C:\\\x81\x81\\SETUP.EXE", "SETUP", "C:\\\x81\x81\\SETUP.HLP"},
};

void CheckRows(std::span<const Row> rows, bool (*isLeadByte)(char)) {
    for (const Row& row : rows) {
        const std::string path = testing::PrintToString(row.modulePath);
        EXPECT_EQ(DeriveApplicationName(row.modulePath, isLeadByte), row.applicationName)
            << "path " << path;
        EXPECT_EQ(DeriveHelpPath(row.modulePath, isLeadByte), row.helpPath) << "path " << path;
    }
}

TEST(ModuleNames, DerivesApplicationNameAndHelpPath) {
    CheckRows(Rows, nullptr);
    CheckRows(Rows, IsShiftJisLeadByte); // the same for single-byte paths
    CheckRows(DoubleByteRows, IsShiftJisLeadByte);
}

} // namespace
