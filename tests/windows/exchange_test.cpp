#include "dialog/port_setup_dlg.h"
#include "framework/exchange.h"
#include "framework/framework_ids.h"
#include "harness/registry.h"
#include "harness/windows.h"
#include "res/resource.h"
#include "support/message_box_watcher.h"
#include "support/registry_sandbox.h"
#include "support/test_application.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace params {

void PrintTo(const DriverParameters& parameters, std::ostream* out) {
    *out << "{max adapter " << parameters.nMaxAdapter << ", start number " << parameters.nStartNum
         << ", ext mode " << parameters.nExtMode0 << '/' << parameters.nExtMode1 << '}';
}

} // namespace params

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

// The heap comes back as soon as a window is made: the message box that tells of it, whose
// watcher needs memory to record it.
class HeapBackWithTheNextWindow {
public:
    HeapBackWithTheNextWindow()
        : m_hook(SetWindowsHookExA(WH_CBT, &Proc, nullptr, GetCurrentThreadId())) {}
    ~HeapBackWithTheNextWindow() {
        g_heapGone = false;
        UnhookWindowsHookEx(m_hook);
    }
    HeapBackWithTheNextWindow(const HeapBackWithTheNextWindow&) = delete;
    HeapBackWithTheNextWindow& operator=(const HeapBackWithTheNextWindow&) = delete;

private:
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) {
            g_heapGone = false;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    HHOOK m_hook;
};

using params::DriverParameters;
using testsupport::CTestApplication;
using testsupport::MessageBoxWatcher;
using testsupport::ObservedBox;
using testsupport::RunDialog;
using testsupport::WindowText;

constexpr UINT TemplateWithoutSecondCheckBox = 202; // exchange_test.rc

constexpr char IntegerMessage[] = "Please enter an integer.";
constexpr char AdapterRangeMessage[] = "Please enter an integer between 0 and 4.";
constexpr char StartPortRangeMessage[] = "Please enter an integer between 3 and 247.";

// Two adapters, COM5 first, extended mode on adapter 1 only.
constexpr DriverParameters Installed{
    .nMaxAdapter = 2, .nStartNum = 5, .nExtMode0 = 1, .nExtMode1 = 0};

// The settings dialog with two probes: an exchange that can be made to throw, and a count
// of the start-port field's change notifications that reach the dialog's handlers.
class CSettingsProbe : public dialog::CPortSetupDlg {
public:
    CSettingsProbe() = default;
    explicit CSettingsProbe(UINT templateId) : CPortSetupDlg(templateId) {}

    std::function<void(framework::ExchangeContext&)> beforeExchange;
    int startPortChanges = 0;

    framework::MessageResult HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        using framework::On;
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

// The windows that got the keyboard focus on this thread while it existed, in order.
class FocusLog {
public:
    FocusLog() : m_hook(SetWindowsHookExA(WH_CBT, &Proc, nullptr, GetCurrentThreadId())) {
        s_log = this;
    }
    ~FocusLog() {
        UnhookWindowsHookEx(m_hook);
        s_log = nullptr;
    }
    FocusLog(const FocusLog&) = delete;
    FocusLog& operator=(const FocusLog&) = delete;

    std::vector<HWND> windows;

private:
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_SETFOCUS && s_log != nullptr) {
            s_log->windows.push_back(reinterpret_cast<HWND>(wParam));
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline FocusLog* s_log = nullptr;
    HHOOK m_hook;
};

struct Selection {
    DWORD start;
    DWORD end;
};

Selection GetSelection(HWND edit) {
    Selection selection{0xDEADBEEF, 0xDEADBEEF};
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selection.start),
                 reinterpret_cast<LPARAM>(&selection.end));
    return selection;
}

int CheckState(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

class Exchange : public testing::Test {
protected:
    // The driver's keys holding `values`.
    void Install(const DriverParameters& values) {
        using testsupport::ParametersKeyPath;
        using testsupport::ServiceKeyPath;
        using testsupport::SetDword;
        const auto dword = [](std::int32_t value) { return static_cast<std::uint32_t>(value); };
        testsupport::CreateKey(ParametersKeyPath);
        SetDword(ServiceKeyPath, "MaxAdapter", dword(values.nMaxAdapter));
        SetDword(ParametersKeyPath, "StartNum0", dword(values.nStartNum));
        SetDword(ParametersKeyPath, "ExtMode0", dword(values.nExtMode0));
        SetDword(ParametersKeyPath, "ExtMode1", dword(values.nExtMode1));
    }

    // Checks a box as every message of the exchange shows it, with the help context that
    // holds while it is open.
    static void ExpectExchangeBox(const ObservedBox& box, DWORD helpContext) {
        CTestApplication& application = CTestApplication::Get();
        EXPECT_EQ(box.caption, "exchange_test");
        EXPECT_TRUE(box.hasIcon) << "no exclamation icon";
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_EQ(box.owner, application.MainWindow()->Handle());
        EXPECT_FALSE(box.ownerEnabled) << "Apply could be pressed again";
        EXPECT_EQ(application.HelpContext(), helpContext)
            << std::hex << "got 0x" << application.HelpContext();
    }

    testsupport::RegistrySandbox m_sandbox;
};

TEST_F(Exchange, FailedSaveRunShowsItsMessageThenSelectsTheField) {
    struct Row {
        const char* why;
        DriverParameters installed;
        const char* adapterText; // nullptr: as loaded
        const char* startText;   // nullptr: as loaded
        const char* message;
        DWORD helpContext;
        int failingControl;
        DriverParameters fields; // after the run
    };
    constexpr DriverParameters LoadedSeven{7, 5, 1, 0};
    constexpr DriverParameters LoadedZero{2, 0, 1, 0};
    const Row rows[] = {
        {"adapter count does not parse: nothing read", Installed, "x", "6", IntegerMessage, 0x3F110,
         IDC_ADAPTER_COUNT, Installed},
        {"adapter count out of range: it alone read",
         Installed,
         "7",
         "6",
         AdapterRangeMessage,
         0x3F112,
         IDC_ADAPTER_COUNT,
         {7, 5, 1, 0}},
        {"start port does not parse: adapter count read",
         Installed,
         "3",
         "COM6",
         IntegerMessage,
         0x3F110,
         IDC_START_PORT,
         {3, 5, 1, 0}},
        {"start port out of range: both read",
         Installed,
         "3",
         "2",
         StartPortRangeMessage,
         0x3F112,
         IDC_START_PORT,
         {3, 2, 1, 0}},
        {"adapter count 7 from the registry stops every save", LoadedSeven, nullptr, "6",
         AdapterRangeMessage, 0x3F112, IDC_ADAPTER_COUNT, LoadedSeven},
        {"start number 0 from the registry, saved unchanged", LoadedZero, nullptr, nullptr,
         StartPortRangeMessage, 0x3F112, IDC_START_PORT, LoadedZero},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        Install(row.installed);
        MessageBoxWatcher watcher(
            [&](const ObservedBox& box) { ExpectExchangeBox(box, row.helpContext); });
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
            const std::string adapterText = WindowText(GetDlgItem(window, IDC_ADAPTER_COUNT));
            const std::string startText = WindowText(GetDlgItem(window, IDC_START_PORT));
            SetFocus(GetDlgItem(window, IDOK));
            const FocusLog focus;

            testsupport::Click(window, IDOK);

            ASSERT_EQ(watcher.Boxes().size(), 1u);
            EXPECT_EQ(watcher.Boxes()[0].text, row.message);
            // The box comes first: the field gets the focus only once the box, which had it, is
            // gone (a window that is gone has no root).
            const auto isBox = [&](HWND got) { return GetAncestor(got, GA_ROOT) != window; };
            const auto toField = std::find(focus.windows.begin(), focus.windows.end(), failing);
            EXPECT_TRUE(std::any_of(focus.windows.begin(), toField, isBox) &&
                        std::none_of(toField, focus.windows.end(), isBox))
                << "focus moved to the field before the box closed";
            EXPECT_EQ(GetFocus(), failing);
            const Selection selection = GetSelection(failing);
            EXPECT_EQ(selection.start, 0u);
            EXPECT_EQ(selection.end, WindowText(failing).size());
            EXPECT_EQ(dialog.Parameters(), row.fields);
            // A save run leaves every control as it was.
            EXPECT_EQ(WindowText(GetDlgItem(window, IDC_ADAPTER_COUNT)), adapterText);
            EXPECT_EQ(WindowText(GetDlgItem(window, IDC_START_PORT)), startText);
            EXPECT_EQ(CheckState(window, IDC_EXTMODE0), BST_UNCHECKED);
            EXPECT_EQ(CheckState(window, IDC_EXTMODE1), BST_CHECKED);
            EXPECT_EQ(CTestApplication::Get().HelpContext(), 0u) << "help context kept";
            testsupport::Click(window, IDCANCEL);
        });
        EXPECT_EQ(result, IDCANCEL);
    }
}

TEST_F(Exchange, StartPortTextsParseByTheExchangeRules) {
    // An accepted text has no message; the field holds the value in every case but a text
    // that does not parse, which leaves the previous value (Previous).
    constexpr std::int32_t Previous = 100;
    struct Row {
        std::string text;
        const char* message; // nullptr: accepted
        std::int32_t field;
    };
    const Row rows[] = {
        {"  12\t", nullptr, 12},
        {"+12", nullptr, 12},
        {"012", nullptr, 12},
        {" +12 ", nullptr, 12},
        {"3", nullptr, 3},
        {"247", nullptr, 247},
        {"", IntegerMessage, Previous},
        {"   ", IntegerMessage, Previous},
        {"12a", IntegerMessage, Previous},
        {"1 2", IntegerMessage, Previous},
        {"12.0", IntegerMessage, Previous},
        {"0x1F", IntegerMessage, Previous},
        {"- 5", IntegerMessage, Previous},
        // A zero result is taken only from a text that starts with the digit.
        {"+0", IntegerMessage, Previous},
        {"-0", IntegerMessage, Previous},
        {"0", StartPortRangeMessage, 0},
        {"00", StartPortRangeMessage, 0},
        {" 0", StartPortRangeMessage, 0},
        {"-5", StartPortRangeMessage, -5},
        {"2", StartPortRangeMessage, 2},
        {"248", StartPortRangeMessage, 248},
        // Overflow clamps, and the range check has the last word.
        {"2147483648", StartPortRangeMessage, INT32_MAX},
        {"99999999999999999999", StartPortRangeMessage, INT32_MAX},
        {"-2147483649", StartPortRangeMessage, INT32_MIN},
        // Only the first 31 characters are read.
        {"5" + std::string(30, ' ') + "abcdefghi", nullptr, 5},
        {std::string(31, '0') + "5", StartPortRangeMessage, 0},
    };
    Install(Installed);
    MessageBoxWatcher watcher([](const ObservedBox& box) {
        EXPECT_EQ(box.caption, "exchange_test");
        EXPECT_TRUE(box.hasIcon);
    });
    CSettingsProbe dialog;
    RunDialog(dialog, [&](HWND window) {
        const HWND startPort = GetDlgItem(window, IDC_START_PORT);
        for (const Row& row : rows) {
            SCOPED_TRACE("start port \"" + row.text + '"');
            watcher.Clear();
            SetWindowTextA(startPort, std::to_string(Previous).c_str());
            ASSERT_TRUE(dialog.RunExchange(true));
            SetWindowTextA(startPort, row.text.c_str());
            ASSERT_EQ(WindowText(startPort), row.text) << "the edit changed the text";

            const bool saved = dialog.RunExchange(true);

            EXPECT_EQ(saved, row.message == nullptr);
            std::vector<std::string> messages;
            for (const ObservedBox& box : watcher.Boxes()) {
                messages.push_back(box.text);
            }
            EXPECT_EQ(messages, row.message != nullptr ? std::vector<std::string>{row.message}
                                                       : std::vector<std::string>{});
            EXPECT_EQ(dialog.Parameters().nStartNum, row.field);
        }
        testsupport::Click(window, IDCANCEL);
    });
}

TEST_F(Exchange, FailuresOtherThanValidationAreReportedByTheRunner) {
    struct Row {
        const char* why;
        std::function<void()> fail;
        const char* message;
    };
    const Row rows[] = {
        {"memory runs out", [] { throw std::bad_alloc(); }, "Out of memory."},
        {"the framework's own out of memory", [] { throw framework::OutOfMemory(); },
         "Out of memory."},
        {"a control is missing", [] { throw framework::UnsupportedOperation(); },
         "An unsupported operation was attempted."},
        {"anything else", [] { throw std::runtime_error("bug"); }, "Internal application error."},
    };
    Install(Installed);
    MessageBoxWatcher watcher([](const ObservedBox& box) { ExpectExchangeBox(box, 0); });
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
            ASSERT_EQ(watcher.Boxes().size(), 2u);
            EXPECT_EQ(watcher.Boxes()[0].text, row.message);
            EXPECT_EQ(watcher.Boxes()[1].text, row.message);
            EXPECT_EQ(GetFocus(), apply) << "focus moved";
            EXPECT_EQ(dialog.Parameters(), Installed);
        }
        testsupport::Click(window, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
}

// Telling that memory ran out takes none: the text was loaded at set-up, and the box is shown
// without copying it or the caption, however long the program's name is.
TEST_F(Exchange, OutOfMemoryIsToldWhenTheHeapIsGone) {
    CTestApplication& application = CTestApplication::Get();
    application.SetUp(GetModuleHandleA(nullptr), R"(C:\Tools\BORVEX-1.0.0.1-x64.EXE)");
    Install(Installed);
    MessageBoxWatcher watcher;
    const HeapBackWithTheNextWindow heapBack;
    CSettingsProbe dialog;
    RunDialog(dialog, [&](HWND window) {
        dialog.beforeExchange = [](framework::ExchangeContext&) {
            g_heapGone = true;
            throw std::bad_alloc();
        };
        const bool saved = dialog.RunExchange(true);
        g_heapGone = false; // when no box came to give it back
        EXPECT_FALSE(saved);
        dialog.beforeExchange = nullptr;
        testsupport::Click(window, IDCANCEL);
    });
    application.SetUp(GetModuleHandleA(nullptr), testsupport::ModulePath());
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes()[0].text, "Out of memory.");
    EXPECT_EQ(watcher.Boxes()[0].caption, "BORVEX-1.0.0.1-x64");
}

TEST_F(Exchange, LoadRunShowsEveryFieldWithoutMessages) {
    struct Row {
        const char* why;
        DriverParameters installed;
        const char* adapterText;
        const char* startText;
        int extMode0Check;
        int extMode1Check;
        DriverParameters fields; // after loading
    };
    const Row rows[] = {
        {"the installation", Installed, "2", "5", BST_CHECKED, BST_UNCHECKED, Installed},
        {"out-of-range values are shown as they are",
         {7, 0, 0, 1},
         "7",
         "0",
         BST_UNCHECKED,
         BST_CHECKED,
         {7, 0, 0, 1}},
        {"negative numbers",
         {-1, INT32_MIN, 0, 0},
         "-1",
         "-2147483648",
         BST_UNCHECKED,
         BST_UNCHECKED,
         {-1, INT32_MIN, 0, 0}},
        {"check-box fields outside 0 to 2 become 0",
         {2, 5, 5, -3},
         "2",
         "5",
         BST_UNCHECKED,
         BST_UNCHECKED,
         {2, 5, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        Install(row.installed);
        MessageBoxWatcher watcher;
        CSettingsProbe dialog;
        RunDialog(dialog, [&](HWND window) {
            EXPECT_EQ(WindowText(GetDlgItem(window, IDC_ADAPTER_COUNT)), row.adapterText);
            EXPECT_EQ(WindowText(GetDlgItem(window, IDC_START_PORT)), row.startText);
            EXPECT_EQ(CheckState(window, IDC_EXTMODE0), row.extMode0Check);
            EXPECT_EQ(CheckState(window, IDC_EXTMODE1), row.extMode1Check);
            EXPECT_EQ(dialog.Parameters(), row.fields);
            testsupport::Click(window, IDCANCEL);
        });
        EXPECT_TRUE(watcher.Boxes().empty()) << "first box: " << watcher.Boxes()[0].text;
    }
}

// Counts WM_SETTEXT reaching a control.
class SetTextCounter {
public:
    explicit SetTextCounter(HWND control) : m_control(control) {
        SetPropA(control, Property, this);
        m_previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SetTextCounter::Proc)));
    }
    ~SetTextCounter() {
        SetWindowLongPtrA(m_control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
        RemovePropA(m_control, Property);
    }
    SetTextCounter(const SetTextCounter&) = delete;
    SetTextCounter& operator=(const SetTextCounter&) = delete;

    int count = 0;

private:
    static constexpr char Property[] = "Borvex.Test.SetTextCounter";

    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = static_cast<SetTextCounter*>(GetPropA(window, Property));
        if (message == WM_SETTEXT) {
            ++self->count;
        }
        return CallWindowProcA(self->m_previous, window, message, wParam, lParam);
    }

    HWND m_control;
    WNDPROC m_previous = nullptr;
};

TEST_F(Exchange, LoadRunLeavesTextsThatAreShownAlready) {
    Install(Installed);
    CSettingsProbe dialog;
    RunDialog(dialog, [&](HWND window) {
        SetTextCounter adapterCount(GetDlgItem(window, IDC_ADAPTER_COUNT));
        SetTextCounter startPort(GetDlgItem(window, IDC_START_PORT));
        EXPECT_TRUE(dialog.RunExchange(false));
        EXPECT_EQ(adapterCount.count, 0);
        EXPECT_EQ(startPort.count, 0);

        // One text out of date: only that one is set.
        SetDlgItemTextA(window, IDC_START_PORT, "77");
        startPort.count = 0;
        EXPECT_TRUE(dialog.RunExchange(false));
        EXPECT_EQ(adapterCount.count, 0);
        EXPECT_EQ(startPort.count, 1);
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_START_PORT)), "5");
        testsupport::Click(window, IDCANCEL);
    });
}

TEST_F(Exchange, ChangeNotificationsDuringALoadRunAreIgnored) {
    Install(Installed);
    CSettingsProbe dialog;
    RunDialog(dialog, [&](HWND window) {
        EXPECT_EQ(dialog.startPortChanges, 0) << "while the window opened";
        SetDlgItemTextA(window, IDC_START_PORT, "77");
        EXPECT_EQ(dialog.startPortChanges, 1) << "outside a run";
        // A run for another dialog nested in this one's: each run puts back what it found.
        dialog.beforeExchange = [](framework::ExchangeContext&) {
            framework::CDialog other(IDD_PORTSETUP_DIALOG);
            EXPECT_TRUE(other.RunExchange(false));
        };
        EXPECT_TRUE(dialog.RunExchange(false));
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_START_PORT)), "5");
        EXPECT_EQ(dialog.startPortChanges, 1) << "during the load run";
        EXPECT_EQ(framework::NotificationLockout::Current(), nullptr) << "lockout left behind";
        testsupport::Click(window, IDCANCEL);
    });
}

// Once the settings are stored and the restart notice is closed, Apply gets its default look back
// (the notice took it away) and the controls show the fields as stored, in a load run between
// the store and the save run that ends the dialog.
TEST_F(Exchange, ApplyShowsTheStoredFieldsWithApplyAsDefaultBeforeItEnds) {
    Install(Installed);
    CSettingsProbe dialog;
    bool noticeClosed = false;
    // Direction of each run after the notice, whether Apply is the default button then, and
    // the start port's text.
    std::vector<std::tuple<bool, bool, std::string>> runs;
    dialog.beforeExchange = [&](framework::ExchangeContext& context) {
        if (noticeClosed) {
            const HWND apply = GetDlgItem(dialog.Handle(), IDOK);
            runs.emplace_back(context.save,
                              (testsupport::Style(apply) & BS_TYPEMASK) == BS_DEFPUSHBUTTON,
                              WindowText(GetDlgItem(dialog.Handle(), IDC_START_PORT)));
        }
    };
    MessageBoxWatcher watcher([&](const ObservedBox&) {
        SendDlgItemMessageA(dialog.Handle(), IDOK, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        noticeClosed = true;
    });
    const INT_PTR result = RunDialog(dialog, [&](HWND window) {
        SetDlgItemTextA(window, IDC_START_PORT, " +12");
        testsupport::Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes()[0].text,
              "You must shutdown computer before the new setting will take effect!");
    using Run = std::tuple<bool, bool, std::string>;
    EXPECT_EQ(runs, (std::vector<Run>{{false, true, " +12"}, {true, true, "12"}}));
}

TEST_F(Exchange, TemplateWithoutASecondCheckBoxCannotOpen) {
    Install(Installed);
    CSettingsProbe dialog(TemplateWithoutSecondCheckBox);
    HWND window = nullptr;
    MessageBoxWatcher watcher([&](const ObservedBox& box) {
        ExpectExchangeBox(box, 0);
        window = box.owner;
        // The steps before the missing control have had their effect.
        EXPECT_EQ(dialog.AttachedApply(), GetDlgItem(window, IDOK)) << "Apply not attached";
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_ADAPTER_COUNT)), "2");
        EXPECT_EQ(WindowText(GetDlgItem(window, IDC_START_PORT)), "5");
        EXPECT_EQ(CheckState(window, IDC_EXTMODE0), BST_CHECKED);
        EXPECT_FALSE(IsWindowVisible(window));
    });
    bool shown = false;
    EXPECT_EQ(RunDialog(dialog, [&](HWND) { shown = true; }), -1);
    EXPECT_FALSE(shown);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes()[0].text, "An unsupported operation was attempted.");
    EXPECT_NE(window, nullptr);
    EXPECT_FALSE(IsWindow(window)) << "window left behind";
}

} // namespace
