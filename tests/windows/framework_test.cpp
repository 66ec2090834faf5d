#include "framework/app_message.h"
#include "framework/boundary.h"
#include "framework/dialog.h"
#include "framework/framework_ids.h"
#include "res/resource.h"
#include "support/message_box_watcher.h"
#include "support/test_application.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using testsupport::CTestApplication;
using testsupport::MessageBoxWatcher;
using testsupport::ObservedBox;
using testsupport::RunDialog;

// Templates of framework_test.rc.
constexpr UINT WiderAndTallerThanTheScreen = 301;
constexpr UINT WiderThanTheScreen = 302;
constexpr UINT NoSuchTemplate = 999;

constexpr UINT ProbeFirst = WM_APP + 1;  // handled by the probe only
constexpr UINT ProbeSecond = WM_APP + 2; // handled by both; the derived table wins
constexpr UINT ProbeThird = WM_APP + 3;  // handled by the derived dialog only
constexpr UINT ProbeFourth = WM_APP + 4; // handled by nobody
constexpr UINT ProbeThrow = WM_APP + 9;  // its handler throws

// A dialog that records what the modal run does to its window.
class CProbeDialog : public framework::CDialog {
public:
    explicit CProbeDialog(UINT templateId = IDD_PORTSETUP_DIALOG) : CDialog(templateId) {}

    std::function<void(CProbeDialog&)> onInit; // runs inside OnDialogInit
    bool visibleDuringInit = true;
    bool hiddenBeforeDestroy = false;
    bool movedOrSizedWhenHidden = false;
    bool destroyed = false;

    static const framework::MessageTable s_messageTable;

protected:
    bool OnDialogInit() override {
        visibleDuringInit = IsWindowVisible(m_hWnd) != FALSE;
        if (onInit) {
            onInit(*this);
        }
        return CDialog::OnDialogInit();
    }
    const framework::MessageTable& GetMessageTable() const override { return s_messageTable; }

private:
    LRESULT First() { return 11; }
    LRESULT Second() { return 12; }
    LRESULT Throw() { throw std::runtime_error("thrown in a handler"); }
    framework::MessageResult WindowPosChanged(WPARAM, LPARAM lParam) {
        const auto& position = *reinterpret_cast<const WINDOWPOS*>(lParam);
        if ((position.flags & SWP_HIDEWINDOW) != 0 && !destroyed) {
            hiddenBeforeDestroy = true;
            movedOrSizedWhenHidden =
                (position.flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE);
        }
        return std::nullopt;
    }
    framework::MessageResult Destroy() {
        destroyed = true;
        return std::nullopt;
    }

    static const framework::MessageEntry s_messages[];
};

const framework::MessageEntry CProbeDialog::s_messages[] = {
    framework::OnMessage<ProbeFirst, &CProbeDialog::First>(),
    framework::OnMessage<ProbeSecond, &CProbeDialog::Second>(),
    framework::OnMessage<ProbeThrow, &CProbeDialog::Throw>(),
    framework::OnMessage<WM_WINDOWPOSCHANGED, &CProbeDialog::WindowPosChanged>(),
    framework::OnMessage<WM_DESTROY, &CProbeDialog::Destroy>(),
};
const framework::MessageTable CProbeDialog::s_messageTable{&CDialog::s_messageTable, s_messages};

class CDerivedProbeDialog : public CProbeDialog {
public:
    static const framework::MessageTable s_messageTable;

protected:
    const framework::MessageTable& GetMessageTable() const override { return s_messageTable; }

private:
    LRESULT Second() { return 22; }
    LRESULT Third() { return 23; }

    static const framework::MessageEntry s_messages[];
};

const framework::MessageEntry CDerivedProbeDialog::s_messages[] = {
    framework::OnMessage<ProbeSecond, &CDerivedProbeDialog::Second>(),
    framework::OnMessage<ProbeThird, &CDerivedProbeDialog::Third>(),
};
const framework::MessageTable CDerivedProbeDialog::s_messageTable{&CProbeDialog::s_messageTable,
                                                                  s_messages};

TEST(FrameworkApplication, SetUpDerivesTheNamesFromTheModulePath) {
    const CTestApplication& application = CTestApplication::Get();
    const std::string path = testsupport::ModulePath();
    const std::string withoutExtension = path.substr(0, path.rfind('.'));
    EXPECT_EQ(application.Instance(), GetModuleHandleA(nullptr));
    EXPECT_EQ(application.AppName(), "framework_test") << "module path " << path;
    EXPECT_EQ(application.HelpFilePath(), withoutExtension + ".HLP");
    EXPECT_EQ(application.CommandLine(), "");
}

TEST(FrameworkMessageTable, FallsBackToTheBaseClassTable) {
    struct Row {
        const char* why;
        UINT message;
        LRESULT expected;
    };
    const Row rows[] = {
        {"only the base lists it", ProbeFirst, 11},
        {"the derived entry hides the base's", ProbeSecond, 22},
        {"only the derived class lists it", ProbeThird, 23},
        {"nobody lists it: the system's default", ProbeFourth, 0},
    };
    CDerivedProbeDialog dialog;
    const INT_PTR result = RunDialog(dialog, [&](HWND window) {
        for (const Row& row : rows) {
            const LRESULT got = SendMessageA(window, row.message, 0, 0);
            EXPECT_EQ(got, row.expected) << row.why;
        }
        // WM_CLOSE is the framework dialog's, three tables up.
        PostMessageA(window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST(FrameworkModalRun, MissingTemplateEndsAtOnce) {
    CProbeDialog dialog(NoSuchTemplate);
    bool shown = false;
    const INT_PTR result = RunDialog(dialog, [&](HWND) { shown = true; });
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(shown);
    EXPECT_EQ(dialog.Handle(), nullptr);
}

TEST(FrameworkModalRun, EndsWithTheValueOfItsEnding) {
    struct Row {
        const char* how;
        std::function<void(HWND)> end;
        INT_PTR expected;
    };
    const auto focusOn = [](HWND window, int id) {
        SetFocus(GetDlgItem(window, id));
        return GetFocus();
    };
    const Row rows[] = {
        {"Quit clicked",
         [](HWND window) { SendMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0); }, IDCANCEL},
        {"Esc in the start-port field",
         [&](HWND window) { testsupport::PostKey(focusOn(window, IDC_START_PORT), VK_ESCAPE); },
         IDCANCEL},
        {"Esc on Apply", [](HWND) { testsupport::PostKey(GetFocus(), VK_ESCAPE); }, IDCANCEL},
        {"a close request", [](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }, IDCANCEL},
        // Nothing is bound, so the standard OK's exchange succeeds.
        {"Enter in the start-port field",
         [&](HWND window) { testsupport::PostKey(focusOn(window, IDC_START_PORT), VK_RETURN); },
         IDOK},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        CProbeDialog dialog;
        EXPECT_EQ(RunDialog(dialog, row.end), row.expected);
        EXPECT_EQ(dialog.Handle(), nullptr) << "window left behind";
    }
}

TEST(FrameworkModalRun, EndedDuringInitialisationNeverShows) {
    CProbeDialog dialog;
    HWND created = nullptr;
    dialog.onInit = [&](CProbeDialog& self) {
        created = self.Handle();
        self.EndDialog(7);
    };
    bool shown = false;
    EXPECT_EQ(RunDialog(dialog, [&](HWND) { shown = true; }), 7);
    EXPECT_FALSE(shown);
    EXPECT_FALSE(IsWindow(created)) << "window " << created << " left behind";
}

TEST(FrameworkModalRun, ShowsOnlyAfterInitialisationAndHidesBeforeDestroying) {
    CProbeDialog dialog;
    HWND window = nullptr;
    bool visibleWhenShown = false;
    const INT_PTR result = RunDialog(dialog, [&](HWND shown) {
        window = shown;
        visibleWhenShown = IsWindowVisible(shown) != FALSE;
        dialog.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_FALSE(dialog.visibleDuringInit);
    EXPECT_TRUE(visibleWhenShown);
    EXPECT_TRUE(dialog.hiddenBeforeDestroy);
    EXPECT_FALSE(dialog.movedOrSizedWhenHidden);
    EXPECT_TRUE(dialog.destroyed);
    EXPECT_FALSE(IsWindow(window));
}

// Where the run is expected to put a window of this size: centred in the work area, then
// pulled back inside it, the left and top edges winning.
POINT ExpectedPlace(const RECT& work, LONG width, LONG height) {
    LONG left = (work.left + work.right) / 2 - width / 2;
    LONG top = (work.top + work.bottom) / 2 - height / 2;
    if (left + width > work.right) {
        left = work.right - width;
    }
    if (top + height > work.bottom) {
        top = work.bottom - height;
    }
    if (left < work.left) {
        left = work.left;
    }
    if (top < work.top) {
        top = work.top;
    }
    return {left, top};
}

TEST(FrameworkModalRun, CentresTheWindowInTheWorkArea) {
    RECT workArea{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor));
    EXPECT_TRUE(EqualRect(&workArea, &monitor.rcWork))
        << "work area " << workArea.left << ',' << workArea.top << ',' << workArea.right << ','
        << workArea.bottom;

    struct Row {
        const char* why;
        UINT templateId;
        bool wider; // than the work area, so that the clamp has to act
        bool taller;
    };
    const Row rows[] = {
        {"the settings window fits", IDD_PORTSETUP_DIALOG, false, false},
        {"too wide and too tall: left and top edge on the work area's", WiderAndTallerThanTheScreen,
         true, true},
        {"too wide only", WiderThanTheScreen, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        CProbeDialog dialog(row.templateId);
        RECT placed{};
        RunDialog(dialog, [&](HWND window) {
            GetWindowRect(window, &placed);
            dialog.EndDialog(IDCANCEL);
        });
        const LONG width = placed.right - placed.left;
        const LONG height = placed.bottom - placed.top;
        EXPECT_EQ(width > workArea.right - workArea.left, row.wider) << "width " << width;
        EXPECT_EQ(height > workArea.bottom - workArea.top, row.taller) << "height " << height;
        const POINT expected = ExpectedPlace(workArea, width, height);
        EXPECT_EQ(placed.left, expected.x) << "width " << width;
        EXPECT_EQ(placed.top, expected.y) << "height " << height;
    }
}

TEST(FrameworkModalRun, LeavesAWindowPlacedDuringInitialisationWhereItIs) {
    CProbeDialog dialog;
    dialog.onInit = [](CProbeDialog& self) {
        SetWindowPos(self.Handle(), nullptr, 7, 9, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    RECT placed{};
    RunDialog(dialog, [&](HWND window) {
        GetWindowRect(window, &placed);
        dialog.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(placed.left, 7);
    EXPECT_EQ(placed.top, 9);
}

TEST(FrameworkModalRun, ExceptionInAHandlerEndsTheRunAndIsRethrown) {
    struct Row {
        const char* where;
        bool inInit;
    };
    for (const Row row : {Row{"in a message handler", false}, Row{"in OnDialogInit", true}}) {
        SCOPED_TRACE(row.where);
        CProbeDialog dialog;
        HWND window = nullptr;
        if (row.inInit) {
            dialog.onInit = [&](CProbeDialog& self) {
                window = self.Handle();
                throw std::runtime_error("thrown in a handler");
            };
        }
        std::string caught;
        try {
            RunDialog(dialog, [&](HWND shown) {
                window = shown;
                SendMessageA(shown, ProbeThrow, 0, 0);
            });
        } catch (const std::runtime_error& exception) {
            caught = exception.what();
        }
        EXPECT_EQ(caught, "thrown in a handler");
        EXPECT_NE(window, nullptr);
        EXPECT_FALSE(IsWindow(window)) << "window left behind";
        EXPECT_FALSE(framework::TakePendingException()) << "exception kept for later";
    }
}

// A help viewer of the test's own. WinHelpA hands its request to the first window of class
// MS_WINHELP that it finds, and starts the system's viewer only when there is none; under a
// headless Wine that viewer can keep WinHelpA from returning for a long time.
class HelpViewer {
public:
    struct Request {
        HWND window;
        UINT command;
        DWORD context;
        std::string file;
    };

    explicit HelpViewer(BOOL answer) : m_answer(answer) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &WindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = ClassName;
        RegisterClassA(&windowClass); // fails harmlessly when a previous test registered it
        m_hWnd = CreateWindowExA(0, ClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(m_hWnd, nullptr) << "CreateWindowExA failed with error " << GetLastError();
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~HelpViewer() { DestroyWindow(m_hWnd); }
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    std::vector<Request> requests;

private:
    static constexpr char ClassName[] = "MS_WINHELP";
    static constexpr ULONG_PTR WinHelpRequest = 0xA1DE505;

    // The request as WinHelpA packs it.
    struct Packed {
        WORD size;
        WORD command;
        LONG data;
        LONG reserved;
        WORD fileOffset;
        WORD dataOffset;
    };

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<HelpViewer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (message != WM_COPYDATA || self == nullptr || copy->dwData != WinHelpRequest) {
            return DefWindowProcA(window, message, wParam, lParam);
        }
        const auto* packed = static_cast<const Packed*>(copy->lpData);
        const char* bytes = static_cast<const char*>(copy->lpData);
        self->requests.push_back({reinterpret_cast<HWND>(wParam), packed->command,
                                  static_cast<DWORD>(packed->data),
                                  packed->fileOffset != 0 ? bytes + packed->fileOffset : ""});
        return self->m_answer;
    }

    BOOL m_answer;
    HWND m_hWnd = nullptr;
};

TEST(FrameworkHelp, HelpRequestAsksTheViewerForTheCurrentContext) {
    struct Row {
        const char* why;
        BOOL viewerAnswer;
        std::function<void(HWND, const HelpViewer&)> ask;
        std::vector<DWORD> contexts;          // asked of the viewer, in order
        std::vector<std::string> boxes;       // texts of the boxes that opened
        std::vector<DWORD> contextsWhileOpen; // the application's help context in each box
    };
    const auto askForHelp = [](HWND window, const HelpViewer&) {
        SendMessageA(window, WM_HELP, 0, 0);
    };
    const Row rows[] = {
        {"the dialog answers 0x20000 + its template id", TRUE, askForHelp, {0x20066}, {}, {}},
        {"F1 pressed on Apply",
         TRUE,
         [](HWND window, const HelpViewer& viewer) {
             // As the keyboard delivers it: the system turns a hardware F1 into the help
             // request; a posted key press stays a key press.
             INPUT keys[2]{};
             for (INPUT& key : keys) {
                 key.type = INPUT_KEYBOARD;
                 key.ki.wVk = VK_F1;
             }
             keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
             EXPECT_EQ(SendInput(2, keys, sizeof keys[0]), 2u) << "error " << GetLastError();
             EXPECT_TRUE(testsupport::PumpUntil(window, [&] { return !viewer.requests.empty(); }))
                 << "F1 never reached the viewer";
         },
         {0x20066},
         {},
         {}},
        {"with Shift held help is not asked for",
         TRUE,
         [&](HWND window, const HelpViewer& viewer) {
             BYTE keys[256];
             GetKeyboardState(keys);
             const BYTE shift = keys[VK_SHIFT];
             keys[VK_SHIFT] = 0x80;
             SetKeyboardState(keys);
             askForHelp(window, viewer);
             keys[VK_SHIFT] = shift;
             SetKeyboardState(keys);
         },
         {},
         {},
         {}},
        {"a box with a help id is open: 0x30000 + that id",
         TRUE,
         [](HWND, const HelpViewer&) { framework::ShowAppMessage(IDS_PARSE_INTEGER); },
         {0x3F110},
         {"Please enter an integer."},
         {0x3F110}},
        {"a box with help id 0 is open: the dialog's context",
         TRUE,
         [](HWND, const HelpViewer&) { framework::ShowAppMessage("no help", MB_OK, 0); },
         {0x20066},
         {"no help"},
         {0}},
        {"the viewer fails: the failure box, where help does nothing",
         FALSE,
         askForHelp,
         {0x20066},
         {"Failed to launch help."},
         {0x3F107}},
    };
    CTestApplication& application = CTestApplication::Get();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        HelpViewer viewer(row.viewerAnswer);
        std::vector<DWORD> contextsWhileOpen;
        MessageBoxWatcher watcher([&](const ObservedBox& box) {
            contextsWhileOpen.push_back(application.HelpContext());
            EXPECT_EQ(box.owner, application.MainWindow()->Handle());
            EXPECT_EQ(box.caption, "framework_test");
            EXPECT_TRUE(box.hasIcon);
            EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
            SendMessageA(application.MainWindow()->Handle(), WM_HELP, 0, 0);
        });
        CProbeDialog dialog;
        HWND window = nullptr;
        RunDialog(dialog, [&](HWND shown) {
            window = shown;
            row.ask(shown, viewer);
            dialog.EndDialog(IDCANCEL);
        });

        std::vector<DWORD> contexts;
        for (const HelpViewer::Request& request : viewer.requests) {
            contexts.push_back(request.context);
            EXPECT_EQ(request.window, window);
            EXPECT_EQ(request.command, static_cast<UINT>(HELP_CONTEXT));
            EXPECT_EQ(request.file, application.HelpFilePath());
        }
        EXPECT_EQ(contexts, row.contexts)
            << std::hex << "first 0x" << (contexts.empty() ? 0 : contexts.front());
        std::vector<std::string> texts;
        for (const ObservedBox& box : watcher.Boxes()) {
            texts.push_back(box.text);
        }
        EXPECT_EQ(texts, row.boxes);
        EXPECT_EQ(contextsWhileOpen, row.contextsWhileOpen);
        EXPECT_EQ(application.HelpContext(), 0u) << "context not restored";
    }
}

} // namespace
