#include "framework/rules/module_names.h"

#include <gtest/gtest.h>

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

TEST(ModuleNames, DerivesApplicationNameAndHelpPath) {
    for (const Row& row : Rows) {
        const std::string path = testing::PrintToString(row.modulePath);
        EXPECT_EQ(DeriveApplicationName(row.modulePath), row.applicationName) << "path " << path;
        EXPECT_EQ(DeriveHelpPath(row.modulePath), row.helpPath) << "path " << path;
    }
}

} // namespace
