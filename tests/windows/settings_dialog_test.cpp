#include "dialog/port_setup_dlg.h"
#include "framework/app_message.h"
#include "framework/exchange.h"
#include "framework/framework_ids.h"
#include "harness/registry.h"
#include "harness/windows.h"
#include "res/resource.h"
#include "support/driver_record.h"
#include "support/import_patch.h"
#include "support/message_box_watcher.h"
#include "support/registry_sandbox.h"
#include "support/test_application.h"
#include "support/utility_notices.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// While this is set every allocation of the program fails, as when the heap is gone.
bool g_heapGone = false;

} // namespace

void* operator new(std::size_t size) {
    void* memory = g_heapGone ? nullptr : std::malloc(size != 0 ? size : 1);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

namespace {

using namespace testsupport;
using params::DriverParameters;

// ---- What the executable carries ----

// Classes of dialog controls; a template may name them by ordinal, from 0x80 on in this order.
constexpr std::string_view ControlClasses[] = {"Button", "Edit", "Static"};

constexpr DWORD NoId = 0xFFFFFFFF; // a control the program never addresses

struct Control {
    DWORD id;
    std::string_view className;
    const char* text; // "#135": the icon resource 135
    DWORD style;
    short x, y, cx, cy;
};

// The settings window's controls in template order, which is also the tab order.
constexpr Control Controls[] = {
    {IDOK, "Button", "Apply", 0x50010001, 72, 64, 28, 14},
    {IDCANCEL, "Button", "Quit", 0x50010000, 113, 64, 28, 14},
    {NoId, "Static", "#135", 0x50000003, 149, 7, 21, 18},
    {NoId, "Static", "Adapter #1 1'st port Com number", 0x50020000, 10, 49, 111, 8},
    {NoId, "Static", "System detect", 0x50020000, 10, 12, 53, 8},
    {NoId, "Static", "adapter", 0x50020000, 81, 13, 29, 8},
    {IDC_ADAPTER_COUNT, "Edit", "", 0x50812880, 65, 10, 15, 12},
    {IDC_START_PORT, "Edit", "", 0x50810080, 128, 47, 33, 12},
    {NoId, "Static", "Adapter #1 Cable Extened Mode", 0x50020000, 10, 25, 104, 8},
    {NoId, "Static", "Adapter #2 Cable Extened Mode", 0x50020000, 10, 36, 104, 8},
    {IDC_EXTMODE0, "Button", "ON", 0x50010003, 123, 24, 26, 10},
    {IDC_EXTMODE1, "Button", "ON", 0x50010003, 123, 36, 26, 10},
};

std::span<const std::uint8_t> FindResourceBytes(LPCSTR name, LPCSTR type) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    return {bytes, SizeofResource(module, found)};
}

// Reads a compiled resource field by field; reading past its end yields zeros and sets
// `overrun`.
class ResourceReader {
public:
    explicit ResourceReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    bool overrun = false;

    std::uint32_t Read(std::size_t size, bool advance = true) {
        std::uint32_t value = 0;
        if (m_offset + size > m_bytes.size()) {
            overrun = overrun || advance;
            m_offset = advance ? m_bytes.size() : m_offset;
            return 0;
        }
        std::memcpy(&value, m_bytes.data() + m_offset, size);
        m_offset += advance ? size : 0;
        return value;
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
        if (Read(2, false) == 0xFFFF) {
            Word();
            return '#' + std::to_string(Word());
        }
        return Text();
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
    ResourceReader reader(bytes);
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
        const auto ordinal = 0x80 + (std::ranges::find(ControlClasses, expected.className) -
                                     std::begin(ControlClasses));
        EXPECT_TRUE(className == '#' + std::to_string(ordinal) ||
                    _stricmp(className.c_str(), std::string(expected.className).c_str()) == 0)
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
    const std::string path = ModulePath();
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
    ResourceReader reader(bytes);
    reader.Word(); // reserved
    EXPECT_EQ(reader.Word(), 1) << "type: icon";
    const WORD count = reader.Word();
    std::vector<std::tuple<int, int, int>> images; // width, height, bits per pixel
    for (WORD index = 0; index < count && !reader.overrun; ++index) {
        const int width = reader.Byte();
        const int height = reader.Byte();
        reader.Dword(); // colour count, reserved, planes
        const int bits = reader.Word();
        reader.Read(4); // size
        reader.Word();  // image id
        images.emplace_back(width, height, bits);
    }
    std::ranges::sort(images);
    const std::vector<std::tuple<int, int, int>> expected{
        {16, 16, 4}, {32, 32, 4}, {32, 32, 8}, {48, 48, 8}};
    EXPECT_EQ(images, expected);
}

// ---- The dialog on the driver's keys ----

constexpr UINT TemplateWithoutSecondCheckBox = 202; // settings_dialog_test.rc
constexpr UINT LongFailureText = 0x7000;            // settings_dialog_test.rc, 324 characters

// Application-level boxes are captioned with the program's name.
constexpr char Caption[] = "settings_dialog_test";

// Two adapters, COM5 first, extended mode on adapter 1 only.
constexpr DriverParameters Installed{2, 5, 1, 0};

// What the controls show: the adapter count's and the start port's texts, the two check boxes.
using Shown = std::tuple<std::string, std::string, bool, bool>;

Shown ShownIn(HWND window) {
    return {WindowText(GetDlgItem(window, IDC_ADAPTER_COUNT)),
            WindowText(GetDlgItem(window, IDC_START_PORT)),
            Checked(GetDlgItem(window, IDC_EXTMODE0)), Checked(GetDlgItem(window, IDC_EXTMODE1))};
}

// The settings dialog with two probes: an exchange that can be made to throw, and a count
// of the start-port field's change notifications that reach the dialog's handlers.
class CSettingsProbe : public dialog::CPortSetupDlg {
public:
    CSettingsProbe() = default;
    explicit CSettingsProbe(UINT templateId) : CPortSetupDlg(templateId) {}

    std::function<void(framework::ExchangeContext&)> beforeExchange;
    int startPortChanges = 0;
    // WM_NOTIFY naming the start-port field, which only the tests send: the buttons' own
    // custom-draw notifications come and go with painting.
    int startPortNotifications = 0;

    framework::MessageResult HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        using framework::On;
        startPortNotifications += message == WM_NOTIFY && wParam == IDC_START_PORT;
        return framework::Dispatch<CPortSetupDlg, On<WM_COMMAND, &CSettingsProbe::Command>>(
            *this, message, wParam, lParam);
    }
    HWND AttachedApply() const { return m_btnApply.Handle(); }

protected:
    void ExchangeData(framework::ExchangeContext& context) override {
        if (beforeExchange) {
            beforeExchange(context);
        }
        CPortSetupDlg::ExchangeData(context);
    }

private:
    // Counts, and leaves the command to the settings dialog's table.
    framework::MessageResult Command(int id, UINT code, HWND) {
        if (id == IDC_START_PORT && code == EN_CHANGE) {
            ++startPortChanges;
        }
        return std::nullopt;
    }
};

// Hands `seen` every message that `control` gets while this exists, before the control has it.
class MessageSpy {
public:
    MessageSpy(HWND control, std::function<void(UINT)> seen)
        : m_control(control), m_seen(std::move(seen)) {
        SetPropA(control, Property, this);
        m_previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    }
    ~MessageSpy() {
        SetWindowLongPtrA(m_control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
        RemovePropA(m_control, Property);
    }
    MessageSpy(const MessageSpy&) = delete;
    MessageSpy& operator=(const MessageSpy&) = delete;

private:
    static constexpr char Property[] = "Borvex.Test.MessageSpy";

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = static_cast<MessageSpy*>(GetPropA(window, Property));
        self->m_seen(message);
        return CallWindowProcA(self->m_previous, window, message, wParam, lParam);
    }

    HWND m_control;
    std::function<void(UINT)> m_seen;
    WNDPROC m_previous = nullptr;
};

// The heap comes back as soon as a window is made: the message box that tells of it, whose
// watcher needs memory to record it.
struct HeapBackWithTheNextWindow {
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
        g_heapGone = g_heapGone && code != HCBT_CREATEWND;
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    ~HeapBackWithTheNextWindow() {
        g_heapGone = false;
        UnhookWindowsHookEx(hook);
    }

    HHOOK hook = SetWindowsHookExA(WH_CBT, &Proc, nullptr, GetCurrentThreadId());
};

// Every test starts on a complete installation of its own.
class SettingsWindow : public testing::Test {
protected:
    SettingsWindow() { Install(KeysOf(Installed)); }

    RegistrySandbox m_sandbox;
};
using Exchange = SettingsWindow;

TEST_F(SettingsWindow, OpensWithItsControlsInTemplateOrderAndItsIcon) {
    const HICON adapter = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ADAPTER));
    ASSERT_NE(adapter, nullptr);
    dialog::CPortSetupDlg settings;
    const INT_PTR result = RunDialog(settings, [&](HWND window) {
        EXPECT_EQ(WindowText(window), "") << "caption";
        EXPECT_EQ(GetFocus(), GetDlgItem(window, IDOK)) << "focus not on Apply";
        // The system gives every dialog the 3-D look.
        const DWORD windowStyle = Style(window);
        EXPECT_EQ(windowStyle, 0x84C000C0u | WS_VISIBLE | DS_3DLOOK)
            << std::hex << "style 0x" << windowStyle;
        const auto windowExStyle = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE));
        EXPECT_EQ(windowExStyle & WS_EX_APPWINDOW, DWORD{WS_EX_APPWINDOW})
            << std::hex << "extended style 0x" << windowExStyle;
        constexpr std::pair<UINT, WPARAM> IconQueries[] = {
            {WM_GETICON, ICON_BIG}, {WM_GETICON, ICON_SMALL}, {WM_QUERYDRAGICON, 0}};
        for (const auto& [message, which] : IconQueries) {
            EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(window, message, which, 0)), adapter)
                << std::hex << "message 0x" << message << ", " << which;
        }

        // The labels measured in the dialog's font: one a pixel wider than the 8-point Arial
        // the template was laid out for cuts the longer ones.
        const std::unique_ptr<HDC__, decltype(&DeleteDC)> dc(CreateCompatibleDC(nullptr),
                                                             &DeleteDC);
        SelectObject(dc.get(), reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));

        const std::vector<HWND> children = Children(window);
        ASSERT_EQ(children.size(), std::size(Controls));
        for (std::size_t index = 0; index < children.size(); ++index) {
            const Control& expected = Controls[index];
            const HWND child = children[index];
            SCOPED_TRACE("control " + std::to_string(index + 1) + " \"" + expected.text + '"');
            EXPECT_EQ(static_cast<DWORD>(GetDlgCtrlID(child)), expected.id);
            EXPECT_EQ(ClassName(child), expected.className);
            // In a 3-D dialog the system turns an edit field's border into a sunken edge.
            const bool edit = expected.className == "Edit";
            const DWORD style = edit ? expected.style & ~DWORD{WS_BORDER} : expected.style;
            EXPECT_EQ(Style(child), style) << std::hex << "style 0x" << Style(child);
            if (edit) {
                const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(child, GWL_EXSTYLE));
                EXPECT_EQ(exStyle & WS_EX_CLIENTEDGE, DWORD{WS_EX_CLIENTEDGE})
                    << std::hex << "extended style 0x" << exStyle;
            } else if (expected.text[0] == '#') {
                EXPECT_NE(SendMessageA(child, STM_GETICON, 0, 0), 0) << "no icon shown";
            } else {
                EXPECT_EQ(WindowText(child), expected.text);
                if (expected.className == "Static") {
                    SIZE text{};
                    GetTextExtentPoint32A(dc.get(), expected.text,
                                          static_cast<int>(std::strlen(expected.text)), &text);
                    RECT client{};
                    GetClientRect(child, &client);
                    EXPECT_LE(text.cx, client.right) << "label cut: wider than its control";
                }
            }
        }
        EXPECT_EQ(ShownIn(window), (Shown{"2", "5", true, false})) << "not as loaded";
        Click(window, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
}

// Where the window drew icons, as (x, y, icon), and on which device contexts.
std::vector<std::tuple<int, int, HICON>> g_drawnIcons;
std::vector<HDC> g_iconDCs;

BOOL WINAPI RecordDrawIcon(HDC dc, int x, int y, HICON icon) {
    g_drawnIcons.emplace_back(x, y, icon);
    g_iconDCs.push_back(dc);
    return TRUE;
}

// Minimised, the window paints its icon in the middle of its client area, rounding the way C's
// division does: x = (client width - icon width + 1) / 2, and y likewise. Each painting gives
// its device context back, so the next one is handed the same again; a context kept would
// make the system hand out a new one every time.
TEST_F(SettingsWindow, PaintsItsIconCentredWhenMinimised) {
    const HICON adapter = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_ADAPTER));
    dialog::CPortSetupDlg settings;
    RunDialog(settings, [&](HWND window) {
        ShowWindow(window, SW_MINIMIZE);
        ASSERT_TRUE(IsIconic(window));
        RECT client{};
        GetClientRect(window, &client);
        g_drawnIcons.clear();
        g_iconDCs.clear();
        constexpr std::size_t Paintings = 3;
        {
            ImportPatch<decltype(DrawIcon)> patch("user32.dll", "DrawIcon", &RecordDrawIcon);
            for (std::size_t painting = 0; painting < Paintings; ++painting) {
                SendMessageA(window, WM_PAINT, 0, 0);
            }
        }
        const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
        EXPECT_EQ(g_drawnIcons,
                  (std::vector<std::tuple<int, int, HICON>>(Paintings, {x, y, adapter})))
            << "client area " << client.right << " x " << client.bottom;
        const HDC first = g_iconDCs.empty() ? nullptr : g_iconDCs.front();
        EXPECT_EQ(g_iconDCs, std::vector<HDC>(Paintings, first)) << "device contexts";
        Click(window, IDCANCEL);
    });
}

// A store that could not put back what it wrote owns up to it, and the dialog keeps the entries
// for Apply again.
TEST_F(SettingsWindow, PartlyStoredSettingsAskForAnotherApply) {
    MessageBoxWatcher watcher;
    dialog::CPortSetupDlg settings;
    const INT_PTR result = RunDialog(settings, [&](HWND window) {
        SetDlgItemTextA(window, IDC_START_PORT, "12");
        {
            // StartNum0 is written, ExtMode0 is not, and StartNum0 cannot be put back.
            RegistryFaults faults({.sets = Call(2) | Call(3)});
            Click(window, IDOK);
        }
        EXPECT_EQ(watcher.Boxes(), OkBoxes({PartlyStoredNotice}, NoticeCaption, true, window));
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_START_PORT)), "12");
        Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ReadValue(ParametersKeyPath, "StartNum0"), Dword(12));
}

// ---- Names for screen readers ----

// UI Automation's Name property, which the service takes in place of an MSAA property.
constexpr GUID UiaName = {
    0xc3a6921b, 0x4a99, 0x44f1, {0xbc, 0xa6, 0x61, 0x18, 0x70, 0x52, 0xc4, 0x31}};

// Stands in for the system's accessibility property service, which Wine does not implement:
// registered as the service's class for this thread's apartment, it is what COM hands the dialog.
// It records what it is asked to do, and fails to be made when `created` says so and the
// `failingName`th MSAA name and the `failingUiaName`th UI Automation name it is given (0: none).
class CRecordingAccPropServices : public IAccPropServices, public IClassFactory {
public:
    struct Call {
        bool set; // SetHwndPropStr, else ClearHwndProps
        HWND control;
        DWORD object, child;
        GUID property;
        std::wstring name; // given; empty for a clear
        bool controlAlive; // still a window when the call came
        friend bool operator==(const Call&, const Call&) = default;
        friend void PrintTo(const Call& call, std::ostream* out) {
            *out << (call.set ? "set " : "clear ") << call.control
                 << (call.controlAlive ? "" : " (gone)") << ", object "
                 << static_cast<LONG>(call.object) << ", child " << call.child
                 << (call.property == PROPID_ACC_NAME ? ", MSAA name "
                     : call.property == UiaName       ? ", UIA name "
                                                      : ", another property ")
                 << testing::PrintToString(call.name);
        }
    };
    std::vector<Call> calls;
    HRESULT created = S_OK;
    int failingName = 0;
    int failingUiaName = 0;
    ULONG references = 1; // the test's own

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (iid == __uuidof(IUnknown) || iid == IID_IAccPropServices) {
            *object = static_cast<IAccPropServices*>(this);
        } else if (iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
        }
        return *object != nullptr ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }

    STDMETHODIMP CreateInstance(IUnknown*, REFIID iid, void** object) override {
        *object = nullptr;
        return SUCCEEDED(created) ? QueryInterface(iid, object) : created;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    STDMETHODIMP SetHwndPropStr(HWND control, DWORD object, DWORD child, MSAAPROPID property,
                                LPCWSTR name) override {
        calls.push_back({true, control, object, child, property, name, IsWindow(control) != 0});
        const auto given = std::ranges::count_if(
            calls, [&](const Call& call) { return call.set && call.property == property; });
        return given == (property == UiaName ? failingUiaName : failingName) ? E_NOTIMPL : S_OK;
    }
    STDMETHODIMP ClearHwndProps(HWND control, DWORD object, DWORD child,
                                const MSAAPROPID* properties, int count) override {
        for (const MSAAPROPID& property : std::span(properties, static_cast<std::size_t>(count))) {
            calls.push_back({false, control, object, child, property, {}, IsWindow(control) != 0});
        }
        return S_OK;
    }

    // Nothing else is asked of the service: Wine's answer to everything.
    STDMETHODIMP SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                               AnnoScope) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetHwndProp(HWND, DWORD, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                   AnnoScope) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                    AnnoScope) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override {
        return E_NOTIMPL;
    }
};

// The windows whose own accessible object was said to have a new name, in the order said.
std::vector<HWND> g_renamed;

void CALLBACK RecordNameChange(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD,
                               DWORD) {
    if (object == OBJID_CLIENT && child == CHILDID_SELF) {
        g_renamed.push_back(window);
    }
}

// The dialog and its value controls are named, the controls after the labels beside them, from
// the moment the window is up until it goes, with each kind of name given to all or to none, and
// clients are told of the new names; a service that is missing or fails leaves a dialog that
// opens and applies as it always did.
TEST_F(SettingsWindow, DialogAndValueControlsCarryTheirNamesForScreenReaders) {
    struct Row {
        const char* why;
        HRESULT created;
        int failingName; // MSAA, UI Automation; 0: none refused
        int failingUiaName;
    };
    const Row rows[] = {
        {"service at work", S_OK, 0, 0},
        {"no service", REGDB_E_CLASSNOTREG, 0, 0},
        // As under Wine, which has the service but no names.
        {"first name of each kind refused", S_OK, 1, 1},
        {"third MSAA name refused", S_OK, 3, 0},
        {"second UI Automation name refused", S_OK, 0, 2},
    };
    constexpr std::pair<int, const wchar_t*> Names[] = {
        {0, L"VELTA Multi-Serial Adapters"}, // the dialog itself
        {IDC_ADAPTER_COUNT, L"System detect adapter"},
        {IDC_START_PORT, L"Adapter #1 1'st port Com number"},
        {IDC_EXTMODE0, L"Adapter #1 Cable Extened Mode"},
        {IDC_EXTMODE1, L"Adapter #2 Cable Extened Mode"},
    };
    const std::pair<const GUID*, int Row::*> Kinds[] = {{&PROPID_ACC_NAME, &Row::failingName},
                                                        {&UiaName, &Row::failingUiaName}};
    const auto named = [](HWND window, int id) {
        return id == 0 ? window : GetDlgItem(window, id);
    };
    using Call = CRecordingAccPropServices::Call;
    // Appends the calls that give, or take back, the first `count` names of a kind.
    const auto add = [&](std::vector<Call>& calls, HWND window, const GUID& property, bool set,
                         std::size_t count) {
        for (const auto& [id, name] : std::span(Names).first(count)) {
            calls.push_back({set, named(window, id), static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                             property, set ? name : L"", true});
        }
    };
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
                        &RecordNameChange, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        CRecordingAccPropServices service;
        service.created = row.created;
        service.failingName = row.failingName;
        service.failingUiaName = row.failingUiaName;
        DWORD registration = 0;
        ASSERT_EQ(CoRegisterClassObject(CLSID_AccPropServices,
                                        static_cast<IClassFactory*>(&service), CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &registration),
                  S_OK);
        const ULONG registered = service.references;
        MessageBoxWatcher watcher;
        dialog::CPortSetupDlg settings;
        std::vector<Call> expected;
        std::vector<Call> clears; // at the end, of the kinds kept
        g_renamed.clear();
        const INT_PTR result = RunDialog(settings, [&](HWND window) {
            for (const auto& [property, failing] : Kinds) {
                const auto refused = static_cast<std::size_t>(row.*failing);
                if (SUCCEEDED(row.created)) {
                    // A refused name takes back those of its kind before it at once.
                    add(expected, window, *property, true,
                        refused != 0 ? refused : std::size(Names));
                    add(refused != 0 ? expected : clears, window, *property, false,
                        refused != 0 ? refused - 1 : std::size(Names));
                }
            }
            const bool kept = !clears.empty();
            EXPECT_EQ(service.calls, expected) << "while the window is up";
            EXPECT_EQ(service.references, registered + (kept ? 1 : 0));
            std::vector<HWND> renamed;
            for (const auto& [id, name] : Names) {
                renamed.push_back(named(window, id));
            }
            EXPECT_EQ(g_renamed, kept ? renamed : std::vector<HWND>{}) << "name changes told";
            // Without names the dialog has left the apartment already: the test's entry is the
            // last, and leaving it ends the apartment.
            CoUninitialize();
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), kept ? S_FALSE : S_OK);
            SetDlgItemTextA(window, IDC_START_PORT, "12");
            Click(window, IDOK);
            expected.insert(expected.end(), clears.begin(), clears.end());
        });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(ReadValue(ParametersKeyPath, "StartNum0"), Dword(12));
        EXPECT_EQ(service.calls, expected);
        CoRevokeClassObject(registration);
        EXPECT_EQ(service.references, 1u) << "the service was not released";
    }
    UnhookWinEvent(hook);
    // Every time the dialog entered the apartment, it left it again.
    CoUninitialize();
    const HRESULT entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(entered, S_OK) << "this thread is still in a COM apartment";
    CoUninitialize();
}

TEST_F(Exchange, LoadRunShowsEveryFieldWithoutMessages) {
    struct Row {
        const char* why;
        DriverParameters installed;
        Shown shown;
        DriverParameters fields; // after loading
    };
    const Row rows[] = {
        {"the installation", Installed, Shown{"2", "5", true, false}, Installed},
        {"out-of-range values are shown as they are", DriverParameters{7, 0, 0, 1},
         Shown{"7", "0", false, true}, DriverParameters{7, 0, 0, 1}},
        {"negative numbers", DriverParameters{-1, INT32_MIN, 0, 0},
         Shown{"-1", "-2147483648", false, false}, DriverParameters{-1, INT32_MIN, 0, 0}},
        {"check-box fields outside 0 to 2 become 0", DriverParameters{2, 5, 5, -3},
         Shown{"2", "5", false, false}, DriverParameters{2, 5, 0, 0}},
        // 2 asks the box for its indeterminate state; what a two-state box makes of that is the
        // system's choice, and this one shows it checked.
        {"a check-box field of 2 is kept", DriverParameters{2, 5, 2, 0},
         Shown{"2", "5", true, false}, DriverParameters{2, 5, 2, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        Install(KeysOf(row.installed));
        MessageBoxWatcher watcher;
        CSettingsProbe dialog;
        RunDialog(dialog, [&](HWND window) {
            EXPECT_EQ(ShownIn(window), row.shown);
            EXPECT_EQ(dialog.Parameters(), row.fields);
            Click(window, IDCANCEL);
        });
        EXPECT_EQ(watcher.Boxes(), std::vector<MessageBoxContents>{});
    }
}

// A load run sets only the texts that are out of date, and the change notifications that causes
// reach no handler, even when a run for another dialog is nested in it: each run puts back the
// lockout it found.
TEST_F(Exchange, LoadRunSetsOnlyOutdatedTextsAndHearsNoNotifications) {
    CSettingsProbe dialog;
    RunDialog(dialog, [&](HWND window) {
        EXPECT_EQ(dialog.startPortChanges, 0) << "while the window opened";
        std::pair<int, int> setTexts{0, 0}; // WM_SETTEXT reaching the adapter count, start port
        const MessageSpy adapterCount(GetDlgItem(window, IDC_ADAPTER_COUNT), [&](UINT message) {
            setTexts.first += message == WM_SETTEXT;
        });
        const MessageSpy startPort(GetDlgItem(window, IDC_START_PORT),
                                   [&](UINT message) { setTexts.second += message == WM_SETTEXT; });
        EXPECT_TRUE(dialog.RunExchange(false));
        EXPECT_EQ(setTexts, std::pair(0, 0)) << "texts shown already";

        // The other kind of notification a control sends, as a common control would.
        const auto notify = [window] {
            NMHDR header{GetDlgItem(window, IDC_START_PORT), IDC_START_PORT, NM_SETFOCUS};
            SendMessageA(window, WM_NOTIFY, IDC_START_PORT, reinterpret_cast<LPARAM>(&header));
        };
        SetDlgItemTextA(window, IDC_START_PORT, "77");
        notify();
        EXPECT_EQ(dialog.startPortChanges, 1) << "outside a run";
        EXPECT_EQ(dialog.startPortNotifications, 1) << "outside a run";
        setTexts = {0, 0};
        dialog.beforeExchange = [notify](framework::ExchangeContext&) {
            framework::CDialog other(IDD_PORTSETUP_DIALOG);
            EXPECT_TRUE(other.RunExchange(false));
            notify();
        };
        EXPECT_TRUE(dialog.RunExchange(false));
        EXPECT_EQ(setTexts, std::pair(0, 1)) << "one text out of date";
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_START_PORT)), "5");
        EXPECT_EQ(dialog.startPortChanges, 1) << "during the load run";
        EXPECT_EQ(dialog.startPortNotifications, 1) << "during the load run";
        EXPECT_EQ(framework::NotificationLockout::Current(), nullptr) << "lockout left behind";

        // Up to 255 characters of the shown text are compared: a text of 256 or more can never
        // be found shown, and is set every time.
        struct Row {
            std::size_t length;
            int sets; // of the same text set twice
        };
        constexpr Row LongTexts[] = {{255, 1}, {256, 2}, {257, 2}};
        for (const Row& row : LongTexts) {
            SCOPED_TRACE(testing::Message() << row.length << " characters");
            const std::string text(row.length, '7');
            setTexts = {0, 0};
            for (int time = 0; time < 2; ++time) {
                framework::SetTextIfChanged(GetDlgItem(window, IDC_START_PORT), text);
            }
            EXPECT_EQ(setTexts.second, row.sets);
            EXPECT_EQ(WindowText(GetDlgItem(window, IDC_START_PORT)), text);
        }
        Click(window, IDCANCEL);
    });
}

TEST_F(Exchange, FailedSaveRunShowsItsMessageThenSelectsTheField) {
    struct Row {
        const char* why;
        DriverParameters installed;
        const char* adapterText; // nullptr: as loaded
        const char* startText;   // nullptr: as loaded
        std::string_view message;
        int failingControl;
        DriverParameters fields; // after the run
    };
    constexpr DriverParameters LoadedSeven{7, 5, 1, 0};
    constexpr DriverParameters LoadedZero{2, 0, 1, 0};
    const Row rows[] = {
        {"adapter count does not parse: nothing read", Installed, "x", "6", IntegerMessage,
         IDC_ADAPTER_COUNT, Installed},
        {"adapter count out of range: it alone read", Installed, "7", "6", AdapterRangeMessage,
         IDC_ADAPTER_COUNT, DriverParameters{7, 5, 1, 0}},
        {"start port does not parse: adapter count read", Installed, "3", "COM6", IntegerMessage,
         IDC_START_PORT, DriverParameters{3, 5, 1, 0}},
        {"start port out of range: both read", Installed, "3", "2", StartPortRangeMessage,
         IDC_START_PORT, DriverParameters{3, 2, 1, 0}},
        {"adapter count 7 from the registry stops every save", LoadedSeven, nullptr, "6",
         AdapterRangeMessage, IDC_ADAPTER_COUNT, LoadedSeven},
        {"start number 0 from the registry, saved unchanged", LoadedZero, nullptr, nullptr,
         StartPortRangeMessage, IDC_START_PORT, LoadedZero},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        Install(KeysOf(row.installed));
        MessageBoxWatcher watcher;
        CSettingsProbe dialog;
        const INT_PTR result = RunDialog(dialog, [&](HWND window) {
            const HWND failing = GetDlgItem(window, row.failingControl);
            if (row.adapterText != nullptr) {
                SetDlgItemTextA(window, IDC_ADAPTER_COUNT, row.adapterText);
            }
            if (row.startText != nullptr) {
                SetDlgItemTextA(window, IDC_START_PORT, row.startText);
            }
            // Flipped, so that reading them would show in the fields.
            CheckDlgButton(window, IDC_EXTMODE0, BST_UNCHECKED);
            CheckDlgButton(window, IDC_EXTMODE1, BST_CHECKED);
            const Shown before = ShownIn(window);
            SetFocus(GetDlgItem(window, IDOK));
            // The box comes first: the field gets the focus once the box has been up and the
            // dialog takes input again, and never before.
            std::vector<std::pair<std::size_t, bool>> boxesAndEnabledAtFocus;
            {
                const MessageSpy spy(failing, [&](UINT message) {
                    if (message == WM_SETFOCUS) {
                        boxesAndEnabledAtFocus.emplace_back(watcher.Boxes().size(),
                                                            IsWindowEnabled(window) != FALSE);
                    }
                });
                Click(window, IDOK);
            }

            EXPECT_EQ(watcher.Boxes(), OkBoxes({row.message}, Caption, true, window));
            EXPECT_EQ(boxesAndEnabledAtFocus,
                      (std::vector<std::pair<std::size_t, bool>>{{1, true}}));
            EXPECT_EQ(GetFocus(), failing);
            EXPECT_EQ(Selection(failing),
                      std::pair(0ul, static_cast<DWORD>(WindowText(failing).size())));
            EXPECT_EQ(dialog.Parameters(), row.fields);
            EXPECT_EQ(ShownIn(window), before) << "a save run changed a control";
            Click(window, IDCANCEL);
        });
        EXPECT_EQ(result, IDCANCEL);
    }
}

TEST_F(Exchange, StartPortTextsParseByTheExchangeRules) {
    // An accepted text has no message; the field holds the value in every case but a text
    // that does not parse, which leaves the previous value (Previous).
    constexpr std::int32_t Previous = 100;
    struct Row {
        std::vector<std::string_view> messages; // none: accepted
        std::int32_t field;
        std::vector<std::string> texts;
    };
    const Row rows[] = {
        {{}, 12, {"  12\t", "+12", "012", " +12 "}},
        {{}, 3, {"3"}},
        {{}, 247, {"247"}},
        {{IntegerMessage}, Previous, {"", "   ", "12a", "1 2", "12.0", "0x1F", "- 5"}},
        // A zero result is taken only from a text that starts with the digit.
        {{IntegerMessage}, Previous, {"+0", "-0"}},
        {{StartPortRangeMessage}, 0, {"0", "00", " 0"}},
        {{StartPortRangeMessage}, -5, {"-5"}},
        {{StartPortRangeMessage}, 2, {"2"}},
        {{StartPortRangeMessage}, 248, {"248"}},
        // Overflow clamps, and the range check has the last word.
        {{StartPortRangeMessage}, INT32_MAX, {"2147483648", "99999999999999999999"}},
        {{StartPortRangeMessage}, INT32_MIN, {"-2147483649"}},
        // Only the first 31 characters are read.
        {{}, 5, {std::string("5").append(30, ' ').append("abcdefghi")}},
        {{StartPortRangeMessage}, 0, {std::string(31, '0') + "5"}},
    };
    MessageBoxWatcher watcher;
    CSettingsProbe dialog;
    RunDialog(dialog, [&](HWND window) {
        const HWND startPort = GetDlgItem(window, IDC_START_PORT);
        for (const Row& row : rows) {
            for (const std::string& text : row.texts) {
                SCOPED_TRACE("start port \"" + text + '"');
                watcher.Clear();
                SetWindowTextA(startPort, std::to_string(Previous).c_str());
                ASSERT_TRUE(dialog.RunExchange(true));
                SetWindowTextA(startPort, text.c_str());
                ASSERT_EQ(WindowText(startPort), text) << "the edit changed the text";

                EXPECT_EQ(dialog.RunExchange(true), row.messages.empty());
                EXPECT_EQ(watcher.Boxes(), OkBoxes(row.messages, Caption, true, window));
                EXPECT_EQ(dialog.Parameters().nStartNum, row.field);
            }
        }
        Click(window, IDCANCEL);
    });
}

TEST_F(Exchange, FailuresOtherThanValidationAreReportedByTheRunner) {
    struct Row {
        const char* why;
        std::function<void()> fail;
        std::string_view message;
    };
    const Row rows[] = {
        {"memory runs out", [] { throw std::bad_alloc(); }, "Out of memory."},
        {"the framework's own out of memory", [] { throw framework::OutOfMemory(); },
         "Out of memory."},
        {"a control is missing", [] { throw framework::UnsupportedOperation(); },
         "An unsupported operation was attempted."},
        {"anything else", [] { throw std::runtime_error("bug"); }, "Internal application error."},
        {"a failure whose own text is not in the string table",
         [] { throw framework::Failure(IDS_INTERNAL_ERROR + 1); }, "Internal application error."},
        {"a failure's own text is cut after 127 characters",
         [] { throw framework::Failure(LongFailureText); },
         "This failure's own text is longer than a report shows of it: a report shows only its "
         "first one hundred and twenty-seven letters"},
    };
    MessageBoxWatcher watcher;
    CSettingsProbe dialog;
    const INT_PTR result = RunDialog(dialog, [&](HWND window) {
        const HWND apply = GetDlgItem(window, IDOK);
        for (const Row& row : rows) {
            SCOPED_TRACE(row.why);
            watcher.Clear();
            SetFocus(apply);
            dialog.beforeExchange = [&](framework::ExchangeContext&) { row.fail(); };
            for (const bool save : {true, false}) {
                EXPECT_FALSE(dialog.RunExchange(save)) << (save ? "save" : "load");
            }
            dialog.beforeExchange = nullptr;
            EXPECT_EQ(watcher.Boxes(), OkBoxes({row.message, row.message}, Caption, true, window));
            EXPECT_EQ(GetFocus(), apply) << "focus moved";
            EXPECT_EQ(dialog.Parameters(), Installed);
        }
        Click(window, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
}

// Telling that memory ran out takes none: the text was loaded at set-up, and the box is shown
// without copying it or the caption, however long the program's name is. A failure whose own text
// there is no memory for is told as memory running out too.
TEST_F(Exchange, OutOfMemoryIsToldWhenTheHeapIsGone) {
    CTestApplication& application = CTestApplication::Get();
    application.SetUp(GetModuleHandleA(nullptr), R"(C:\Tools\BORVEX-1.0.0.1-x64.EXE)");
    MessageBoxWatcher watcher;
    const HeapBackWithTheNextWindow heapBack;
    CSettingsProbe dialog;
    HWND shown = nullptr;
    const std::function<void()> failures[] = {[] { throw std::bad_alloc(); },
                                              [] { throw framework::UnsupportedOperation(); }};
    RunDialog(dialog, [&](HWND window) {
        shown = window;
        for (const std::function<void()>& fail : failures) {
            dialog.beforeExchange = [&](framework::ExchangeContext&) {
                g_heapGone = true;
                fail();
            };
            const bool saved = dialog.RunExchange(true);
            g_heapGone = false; // when no box came to give it back
            EXPECT_FALSE(saved);
        }
        dialog.beforeExchange = nullptr;
        Click(window, IDCANCEL);
    });
    application.SetUp(GetModuleHandleA(nullptr), ModulePath());
    EXPECT_EQ(watcher.Boxes(),
              OkBoxes({"Out of memory.", "Out of memory."}, "BORVEX-1.0.0.1-x64", true, shown));
}

// Shown by its id, a text is shown whole, however long; loaded as a template, it is cut after 255
// characters (and as a failure's own text after 127, above).
TEST(SettingsAppMessage, LongTextsAreCutOnlyAsTemplates) {
    char whole[512];
    const auto length = static_cast<std::size_t>(
        LoadStringA(GetModuleHandleA(nullptr), LongFailureText, whole, sizeof whole));
    ASSERT_GT(length, 255u);
    MessageBoxWatcher watcher;
    framework::ShowAppMessage(LongFailureText);
    EXPECT_EQ(watcher.Boxes(), OkBoxes({{whole, length}}, Caption, true, nullptr));
    EXPECT_EQ(framework::FormatPlaceholders(LongFailureText, "", ""), std::string(whole, 255));
}

// Once the settings are stored and the restart notice is closed, Apply gets its default look back
// (the notice took it away) and the controls show the fields as stored, in a load run between
// the store and the save run that ends the dialog.
TEST_F(Exchange, ApplyShowsTheStoredFieldsWithApplyAsDefaultBeforeItEnds) {
    CSettingsProbe dialog;
    bool noticeClosed = false;
    // Direction of each run after the notice, whether Apply is the default button then, and
    // the start port's text.
    using Run = std::tuple<bool, bool, std::string>;
    std::vector<Run> runs;
    dialog.beforeExchange = [&](framework::ExchangeContext& context) {
        if (noticeClosed) {
            const HWND apply = GetDlgItem(dialog.Handle(), IDOK);
            runs.emplace_back(context.save, (Style(apply) & BS_TYPEMASK) == BS_DEFPUSHBUTTON,
                              WindowText(GetDlgItem(dialog.Handle(), IDC_START_PORT)));
        }
    };
    MessageBoxWatcher watcher([&](const MessageBoxContents&) {
        SendDlgItemMessageA(dialog.Handle(), IDOK, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        noticeClosed = true;
    });
    HWND shown = nullptr;
    const INT_PTR result = RunDialog(dialog, [&](HWND window) {
        shown = window;
        SetDlgItemTextA(window, IDC_START_PORT, " +12");
        Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(watcher.Boxes(), OkBoxes({RestartNotice}, NoticeCaption, false, shown));
    EXPECT_EQ(runs, (std::vector<Run>{{false, true, " +12"}, {true, true, "12"}}));
}

TEST_F(Exchange, TemplateWithoutASecondCheckBoxCannotOpen) {
    CSettingsProbe dialog(TemplateWithoutSecondCheckBox);
    HWND window = nullptr;
    MessageBoxWatcher watcher([&](const MessageBoxContents&) {
        window = dialog.Handle();
        // The steps before the missing control have had their effect.
        EXPECT_EQ(dialog.AttachedApply(), GetDlgItem(window, IDOK)) << "Apply not attached";
        EXPECT_EQ(ShownIn(window), (Shown{"2", "5", true, false}));
        EXPECT_FALSE(IsWindowVisible(window));
    });
    bool shown = false;
    EXPECT_EQ(RunDialog(dialog, [&](HWND) { shown = true; }), -1);
    EXPECT_FALSE(shown);
    EXPECT_NE(window, nullptr);
    EXPECT_EQ(watcher.Boxes(),
              OkBoxes({"An unsupported operation was attempted."}, Caption, true, window));
    EXPECT_FALSE(IsWindow(window)) << "window left behind";
}

} // namespace
