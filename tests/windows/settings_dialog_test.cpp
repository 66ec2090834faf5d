#include "dialog/port_setup_dlg.h"
#include "framework/framework_ids.h"
#include "harness/registry.h"
#include "harness/windows.h"
#include "res/resource.h"
#include "support/import_patch.h"
#include "support/message_box_watcher.h"
#include "support/registry_sandbox.h"
#include "support/test_application.h"
#include "support/utility_notices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace {

using testsupport::RunDialog;
using testsupport::WindowText;

// Classes of dialog controls, as the template names them by ordinal.
constexpr WORD ButtonClass = 0x0080;
constexpr WORD EditClass = 0x0081;
constexpr WORD StaticClass = 0x0082;

constexpr DWORD NoId = 0xFFFFFFFF; // a control the program never addresses

struct Control {
    DWORD id;
    WORD classOrdinal;
    const char* text; // "#135": the icon resource 135
    DWORD style;
    short x, y, cx, cy;
};

// The settings window's controls in template order, which is also the tab order.
constexpr Control Controls[] = {
    {IDOK, ButtonClass, "Apply", 0x50010001, 72, 64, 28, 14},
    {IDCANCEL, ButtonClass, "Quit", 0x50010000, 113, 64, 28, 14},
    {NoId, StaticClass, "#135", 0x50000003, 149, 7, 21, 18},
    {NoId, StaticClass, "Adapter #1 1'st port Com number", 0x50020000, 10, 49, 111, 8},
    {NoId, StaticClass, "System detect", 0x50020000, 10, 12, 53, 8},
    {NoId, StaticClass, "adapter", 0x50020000, 81, 13, 29, 8},
    {IDC_ADAPTER_COUNT, EditClass, "", 0x50812880, 65, 10, 15, 12},
    {IDC_START_PORT, EditClass, "", 0x50810080, 128, 47, 33, 12},
    {NoId, StaticClass, "Adapter #1 Cable Extened Mode", 0x50020000, 10, 25, 104, 8},
    {NoId, StaticClass, "Adapter #2 Cable Extened Mode", 0x50020000, 10, 36, 104, 8},
    {IDC_EXTMODE0, ButtonClass, "ON", 0x50010003, 123, 24, 26, 10},
    {IDC_EXTMODE1, ButtonClass, "ON", 0x50010003, 123, 36, 26, 10},
};

const char* ClassName(WORD ordinal) {
    switch (ordinal) {
    case ButtonClass:
        return "Button";
    case EditClass:
        return "Edit";
    case StaticClass:
        return "Static";
    default:
        return "?";
    }
}

// How the tests write a resource ordinal: "#135".
std::string Ordinal(WORD ordinal) {
    std::string text(1, '#');
    text.append(std::to_string(ordinal));
    return text;
}

std::span<const std::uint8_t> FindResourceBytes(LPCSTR name, LPCSTR type) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    return {bytes, SizeofResource(module, found)};
}

// Reads a compiled dialog template field by field; reading past its end yields zeros and
// sets `overrun`.
class TemplateReader {
public:
    explicit TemplateReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    bool overrun = false;

    std::uint32_t Read(std::size_t size) {
        std::uint32_t value = 0;
        if (m_offset + size > m_bytes.size()) {
            overrun = true;
            m_offset = m_bytes.size();
            return 0;
        }
        std::memcpy(&value, m_bytes.data() + m_offset, size);
        m_offset += size;
        return value;
    }
    void Skip(std::size_t size) {
        for (; size > 0; --size) {
            Read(1);
        }
    }
    WORD Word() { return static_cast<WORD>(Read(2)); }
    DWORD Dword() { return Read(4); }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return static_cast<BYTE>(Read(1)); }
    // A zero-terminated UTF-16 text, narrowed (the template's texts are ASCII).
    std::string Text() {
        std::string text;
        for (WORD c = Word(); c != 0 && !overrun; c = Word()) {
            text.push_back(static_cast<char>(c));
        }
        return text;
    }
    // A text, or an ordinal written as "#n".
    std::string TextOrOrdinal() {
        if (Peek() == 0xFFFF) {
            Word();
            return Ordinal(Word());
        }
        return Text();
    }
    WORD Peek() const {
        WORD value = 0;
        if (m_offset + 2 <= m_bytes.size()) {
            std::memcpy(&value, m_bytes.data() + m_offset, 2);
        }
        return value;
    }
    void AlignToDword() { m_offset = std::min((m_offset + 3) & ~std::size_t{3}, m_bytes.size()); }
    std::size_t Remaining() const { return m_bytes.size() - m_offset; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_offset = 0;
};

TEST(SettingsResources, TemplateHoldsTheWindowAndItsControlsExactly) {
    const std::span<const std::uint8_t> bytes =
        FindResourceBytes(MAKEINTRESOURCEA(IDD_PORTSETUP_DIALOG), RT_DIALOG);
    ASSERT_FALSE(bytes.empty()) << "no template 102";
    TemplateReader reader(bytes);
    EXPECT_EQ(reader.Word(), 1) << "version: not an extended template";
    EXPECT_EQ(reader.Word(), 0xFFFF) << "signature";
    EXPECT_EQ(reader.Dword(), 0u) << "help id";
    EXPECT_EQ(reader.Dword(), 0x00040000u) << "extended style";
    EXPECT_EQ(reader.Dword(), 0x84C000C0u) << "style";
    const WORD count = reader.Word();
    EXPECT_EQ(count, std::size(Controls));
    const std::tuple<short, short, short, short> place{reader.Short(), reader.Short(),
                                                       reader.Short(), reader.Short()};
    EXPECT_EQ(place, std::make_tuple(0, 0, 177, 85));
    EXPECT_EQ(reader.TextOrOrdinal(), "") << "menu";
    EXPECT_EQ(reader.TextOrOrdinal(), "") << "window class";
    EXPECT_EQ(reader.Text(), "") << "title";
    EXPECT_EQ(reader.Word(), 8) << "point size";
    EXPECT_EQ(reader.Word(), 0) << "weight";
    EXPECT_EQ(reader.Byte(), 0) << "italic";
    EXPECT_EQ(reader.Byte(), 1) << "character set";
    EXPECT_EQ(reader.Text(), "Arial");

    for (std::size_t index = 0; index < std::min<std::size_t>(count, std::size(Controls));
         ++index) {
        const Control& expected = Controls[index];
        SCOPED_TRACE("control " + std::to_string(index + 1) + " \"" + expected.text + '"');
        reader.AlignToDword();
        EXPECT_EQ(reader.Dword(), 0u) << "help id";
        EXPECT_EQ(reader.Dword(), 0u) << "extended style";
        EXPECT_EQ(reader.Dword(), expected.style) << std::hex << "style";
        const std::tuple<short, short, short, short> rectangle{reader.Short(), reader.Short(),
                                                               reader.Short(), reader.Short()};
        EXPECT_EQ(rectangle, std::make_tuple(expected.x, expected.y, expected.cx, expected.cy));
        EXPECT_EQ(reader.Dword(), expected.id);
        // The resource compiler may keep a predefined class by name instead of its ordinal;
        // the dialog manager takes either.
        const std::string className = reader.TextOrOrdinal();
        EXPECT_TRUE(className == Ordinal(expected.classOrdinal) ||
                    _stricmp(className.c_str(), ClassName(expected.classOrdinal)) == 0)
            << "class " << className;
        EXPECT_EQ(reader.TextOrOrdinal(), expected.text);
        EXPECT_EQ(reader.Word(), 0) << "creation data";
    }
    EXPECT_FALSE(reader.overrun);
    EXPECT_LT(reader.Remaining(), 4u) << "bytes after the last control";
}

TEST(SettingsResources, StringTableHoldsTheFrameworkMessages) {
    struct Row {
        UINT id;
        const char* text; // nullptr: no such entry
    };
    const Row rows[] = {
        {IDS_UNSUPPORTED_OPERATION, "An unsupported operation was attempted."},
        {IDS_OUT_OF_MEMORY, "Out of memory."},
        {IDS_HELP_LAUNCH_FAILED, "Failed to launch help."},
        {IDS_INTERNAL_ERROR, "Internal application error."},
        {IDS_PARSE_INTEGER, "Please enter an integer."},
        {IDS_PARSE_INTEGER_RANGE, "Please enter an integer between %1 and %2."},
        // No application title: the name comes from the executable.
        {0xE000, nullptr},
    };
    for (const Row& row : rows) {
        char text[256];
        std::memset(text, 0xBD, sizeof text);
        const int length = LoadStringA(GetModuleHandleA(nullptr), row.id, text, sizeof text);
        EXPECT_EQ(length > 0 ? std::string(text, static_cast<std::size_t>(length)) : "<none>",
                  row.text != nullptr ? row.text : "<none>")
            << std::hex << "string 0x" << row.id;
    }
}

TEST(SettingsResources, VersionBlockIs1001InUsEnglish) {
    const std::string path = testsupport::ModulePath();
    DWORD handle = 0;
    std::vector<std::uint8_t> block(GetFileVersionInfoSizeA(path.c_str(), &handle));
    ASSERT_FALSE(block.empty()) << "no version block, error " << GetLastError();
    ASSERT_TRUE(
        GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));

    void* value = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &size));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u) << std::hex << fixed->dwFileVersionMS;
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u) << std::hex << fixed->dwFileVersionLS;
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);

    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &size));
    ASSERT_EQ(size, 4u);
    const auto* translation = static_cast<const WORD*>(value);
    EXPECT_EQ(translation[0], 0x0409) << "language";
    EXPECT_EQ(translation[1], 1200) << "code page";

    for (const char* name : {"FileVersion", "ProductVersion"}) {
        const std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
        ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), &value, &size)) << query;
        EXPECT_STREQ(static_cast<const char*>(value), "1.0.0.1") << query;
    }
}

TEST(SettingsResources, IconHasItsFourImages) {
    const std::span<const std::uint8_t> bytes =
        FindResourceBytes(MAKEINTRESOURCEA(IDI_ADAPTER), RT_GROUP_ICON);
    ASSERT_FALSE(bytes.empty()) << "no icon group 135";
    TemplateReader reader(bytes);
    reader.Word(); // reserved
    EXPECT_EQ(reader.Word(), 1) << "type: icon";
    const WORD count = reader.Word();
    std::vector<std::tuple<int, int, int>> images; // width, height, bits per pixel
    for (WORD index = 0; index < count && !reader.overrun; ++index) {
        const int width = reader.Byte();
        const int height = reader.Byte();
        reader.Skip(2); // colour count, reserved
        reader.Word();  // planes
        const int bits = reader.Word();
        reader.Skip(6); // size, image id
        images.emplace_back(width, height, bits);
    }
    std::ranges::sort(images);
    const std::vector<std::tuple<int, int, int>> expected{
        {16, 16, 4}, {32, 32, 4}, {32, 32, 8}, {48, 48, 8}};
    EXPECT_EQ(images, expected);
}

class SettingsWindow : public testing::Test {
protected:
    SettingsWindow() {
        using testsupport::ParametersKeyPath;
        using testsupport::ServiceKeyPath;
        using testsupport::SetDword;
        testsupport::CreateKey(ParametersKeyPath);
        SetDword(ServiceKeyPath, "MaxAdapter", 2);
        SetDword(ParametersKeyPath, "StartNum0", 5);
        SetDword(ParametersKeyPath, "ExtMode0", 1);
        SetDword(ParametersKeyPath, "ExtMode1", 0);
    }

    testsupport::RegistrySandbox m_sandbox;
};

TEST_F(SettingsWindow, OpensWithItsControlsInTemplateOrder) {
    dialog::CPortSetupDlg settings;
    const INT_PTR result = RunDialog(settings, [&](HWND window) {
        EXPECT_EQ(WindowText(window), "") << "caption";
        EXPECT_EQ(GetFocus(), GetDlgItem(window, IDOK)) << "focus not on Apply";
        // The system gives every dialog the 3-D look.
        const DWORD windowStyle = testsupport::Style(window);
        EXPECT_EQ(windowStyle, 0x84C000C0u | WS_VISIBLE | DS_3DLOOK)
            << std::hex << "style 0x" << windowStyle;
        const auto windowExStyle = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE));
        EXPECT_EQ(windowExStyle & WS_EX_APPWINDOW, DWORD{WS_EX_APPWINDOW})
            << std::hex << "extended style 0x" << windowExStyle;

        const std::vector<HWND> children = testsupport::Children(window);
        ASSERT_EQ(children.size(), std::size(Controls));
        for (std::size_t index = 0; index < children.size(); ++index) {
            const Control& expected = Controls[index];
            const HWND child = children[index];
            SCOPED_TRACE("control " + std::to_string(index + 1) + " \"" + expected.text + '"');
            EXPECT_EQ(static_cast<DWORD>(GetDlgCtrlID(child)), expected.id);
            EXPECT_EQ(testsupport::ClassName(child), ClassName(expected.classOrdinal));
            // In a 3-D dialog the system turns an edit field's border into a sunken edge.
            const bool edit = expected.classOrdinal == EditClass;
            const DWORD style = edit ? expected.style & ~DWORD{WS_BORDER} : expected.style;
            EXPECT_EQ(testsupport::Style(child), style)
                << std::hex << "style 0x" << testsupport::Style(child);
            if (edit) {
                const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(child, GWL_EXSTYLE));
                EXPECT_EQ(exStyle & WS_EX_CLIENTEDGE, DWORD{WS_EX_CLIENTEDGE})
                    << std::hex << "extended style 0x" << exStyle;
            }
            if (expected.text[0] == '#') {
                EXPECT_NE(SendMessageA(child, STM_GETICON, 0, 0), 0) << "no icon shown";
            } else if (expected.classOrdinal != EditClass) {
                EXPECT_EQ(WindowText(child), expected.text);
            }
        }
        // The edit fields show what the exchange loaded.
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_ADAPTER_COUNT)), "2");
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_START_PORT)), "5");
        testsupport::Click(window, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(SettingsWindow, CarriesTheAdapterIcon) {
    const HICON adapter = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ADAPTER));
    ASSERT_NE(adapter, nullptr);
    dialog::CPortSetupDlg settings;
    RunDialog(settings, [&](HWND window) {
        const auto icon = [&](UINT message, WPARAM which) {
            return reinterpret_cast<HICON>(SendMessageA(window, message, which, 0));
        };
        EXPECT_EQ(icon(WM_GETICON, ICON_BIG), adapter);
        EXPECT_EQ(icon(WM_GETICON, ICON_SMALL), adapter);
        EXPECT_EQ(icon(WM_QUERYDRAGICON, 0), adapter);
        testsupport::Click(window, IDCANCEL);
    });
}

// Where the window drew icons, as (x, y, icon).
std::vector<std::tuple<int, int, HICON>> g_drawnIcons;

BOOL WINAPI RecordDrawIcon(HDC, int x, int y, HICON icon) {
    g_drawnIcons.emplace_back(x, y, icon);
    return TRUE;
}

// Minimised, the window paints its icon in the middle of its client area, rounding the way C's
// division does: x = (client width - icon width + 1) / 2, and y likewise.
TEST_F(SettingsWindow, PaintsItsIconCentredWhenMinimised) {
    const HICON adapter = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ADAPTER));
    dialog::CPortSetupDlg settings;
    RunDialog(settings, [&](HWND window) {
        ShowWindow(window, SW_MINIMIZE);
        ASSERT_TRUE(IsIconic(window));
        RECT client{};
        GetClientRect(window, &client);
        g_drawnIcons.clear();
        {
            testsupport::ImportPatch<decltype(DrawIcon)> patch("user32.dll", "DrawIcon",
                                                               &RecordDrawIcon);
            SendMessageA(window, WM_PAINT, 0, 0);
        }
        const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
        EXPECT_EQ(g_drawnIcons, (std::vector<std::tuple<int, int, HICON>>{{x, y, adapter}}))
            << "client area " << client.right << " x " << client.bottom;
        testsupport::Click(window, IDCANCEL);
    });
}

// A store that could not put back what it wrote owns up to it, and the dialog keeps the entries
// for Apply again.
TEST_F(SettingsWindow, PartlyStoredSettingsAskForAnotherApply) {
    testsupport::MessageBoxWatcher watcher;
    dialog::CPortSetupDlg settings;
    const INT_PTR result = RunDialog(settings, [&](HWND window) {
        SetDlgItemTextA(window, IDC_START_PORT, "12");
        {
            // StartNum0 is written, ExtMode0 is not, and StartNum0 cannot be put back.
            testsupport::RegistryFaults faults(
                {.sets = testsupport::Call(2) | testsupport::Call(3)});
            testsupport::Click(window, IDOK);
        }
        ASSERT_EQ(watcher.Boxes().size(), 1u);
        const testsupport::ObservedBox& box = watcher.Boxes()[0];
        EXPECT_EQ(box.text, testsupport::PartlyStoredNotice);
        EXPECT_EQ(box.caption, testsupport::NoticeCaption);
        EXPECT_EQ(box.owner, window);
        EXPECT_TRUE(box.hasIcon);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_START_PORT)), "12");
        testsupport::Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(testsupport::ReadValue(testsupport::ParametersKeyPath, "StartNum0"),
              testsupport::Dword(12));
}

} // namespace
