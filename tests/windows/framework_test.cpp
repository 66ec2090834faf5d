#include "framework/app_message.h"
#include "framework/dialog.h"
#include "framework/framework_ids.h"
#include "res/resource.h"
#include "support/message_box_watcher.h"
#include "support/test_application.h"
#include "support/utility_notices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace testsupport;

// Application-level boxes are captioned with the program's name.
constexpr char Caption[] = "framework_test";

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

    std::function<void(CProbeDialog&)> onInit;   // runs inside OnDialogInit
    std::function<void(UINT, LPARAM)> onMessage; // sees every message before the tables
    int shownCalls = 0;                          // of OnShown

    framework::MessageResult HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        using framework::On;
        if (onMessage) {
            onMessage(message, lParam);
        }
        return framework::Dispatch<CDialog, On<ProbeFirst, &CProbeDialog::First>,
                                   On<ProbeSecond, &CProbeDialog::Second>,
                                   On<ProbeThrow, &CProbeDialog::Throw>>(*this, message, wParam,
                                                                         lParam);
    }

protected:
    bool OnDialogInit() override {
        if (onInit) {
            onInit(*this);
        }
        return CDialog::OnDialogInit();
    }
    void OnShown() noexcept override { ++shownCalls; }

private:
    LRESULT First() { return 11; }
    LRESULT Second() { return 12; }
    LRESULT Throw() { throw std::runtime_error("thrown in a handler"); }
};

class CDerivedProbeDialog : public CProbeDialog {
public:
    framework::MessageResult HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        using framework::On;
        return framework::Dispatch<CProbeDialog, On<ProbeSecond, &CDerivedProbeDialog::Second>,
                                   On<ProbeThird, &CDerivedProbeDialog::Third>>(*this, message,
                                                                                wParam, lParam);
    }

private:
    LRESULT Second() { return 22; }
    LRESULT Third() { return 23; }
};

TEST(FrameworkApplication, SetUpDerivesTheNamesFromTheModulePath) {
    const CTestApplication& application = CTestApplication::Get();
    const std::string path = ModulePath();
    EXPECT_EQ(application.Instance(), GetModuleHandleA(nullptr));
    EXPECT_EQ(application.AppName(), Caption) << "module path " << path;
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

// Shown only once initialised, the window is hidden before it is destroyed, however the run ends.
TEST(FrameworkModalRun, EndsWithTheValueOfItsEndingAfterHidingTheWindow) {
    struct Row {
        const char* how;
        std::function<void(HWND)> end;
        INT_PTR expected;
        std::optional<WPARAM> quitLeft = std::nullopt; // WM_QUIT's exit code, for the outer loop
    };
    const auto focusOn = [](HWND window, int id) {
        SetFocus(GetDlgItem(window, id));
        return GetFocus();
    };
    const Row rows[] = {
        {"Quit clicked",
         [](HWND window) { SendMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0); }, IDCANCEL},
        {"Esc in the start-port field",
         [&](HWND window) { PostKeyPress(focusOn(window, IDC_START_PORT), VK_ESCAPE); }, IDCANCEL},
        {"Esc on Apply", [](HWND) { PostKeyPress(GetFocus(), VK_ESCAPE); }, IDCANCEL},
        {"a close request", [](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }, IDCANCEL},
        // No help is offered: F1 starts nothing and shows nothing, so the Esc typed after it
        // finds the dialog as it was.
        {"F1, alone and with Shift, Ctrl or Alt, then Esc",
         [](HWND) {
             for (const WORD held : {WORD{0}, WORD{VK_SHIFT}, WORD{VK_CONTROL}, WORD{VK_MENU}}) {
                 EXPECT_TRUE(TypeKey(VK_F1, held)) << "error " << GetLastError();
             }
             TypeKey(VK_ESCAPE);
         },
         IDCANCEL},
        // Nothing is bound, so the standard OK's exchange succeeds.
        {"Enter in the start-port field",
         [&](HWND window) { PostKeyPress(focusOn(window, IDC_START_PORT), VK_RETURN); }, IDOK},
        {"a quit message", [](HWND) { PostQuitMessage(3); }, -1, 3},
        // The system hides it on the way. The application must not be left naming a dialog
        // without a window: a failure reported after the run would look for its owner there.
        {"destroyed behind the loop's back",
         [](HWND window) {
             DestroyWindow(window);
             EXPECT_EQ(CTestApplication::Get().MainWindow(), nullptr)
                 << "still the main window once its window is gone";
         },
         -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        CProbeDialog dialog;
        bool visibleDuringInit = true;
        dialog.onInit = [&](CProbeDialog& self) {
            visibleDuringInit = IsWindowVisible(self.Handle()) != FALSE;
        };
        // The move and size flags of each hide that comes before WM_DESTROY.
        std::vector<UINT> hides;
        bool destroyed = false;
        dialog.onMessage = [&](UINT message, LPARAM lParam) {
            const auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
            if (message == WM_WINDOWPOSCHANGED && (position->flags & SWP_HIDEWINDOW) != 0 &&
                !destroyed) {
                hides.push_back(position->flags & (SWP_NOMOVE | SWP_NOSIZE));
            }
            destroyed = destroyed || message == WM_DESTROY;
        };
        HWND window = nullptr;
        EXPECT_EQ(RunDialog(dialog,
                            [&](HWND shown) {
                                window = shown;
                                row.end(shown);
                            }),
                  row.expected);
        EXPECT_FALSE(visibleDuringInit);
        EXPECT_NE(window, nullptr) << "never shown";
        // Once, though the loop is idle again and again before the test ends the run.
        EXPECT_EQ(dialog.shownCalls, 1) << "OnShown calls";
        EXPECT_EQ(hides, std::vector<UINT>{SWP_NOMOVE | SWP_NOSIZE})
            << "one hide before destroying, neither moving nor sizing";
        EXPECT_TRUE(destroyed);
        EXPECT_FALSE(IsWindow(window)) << "window left behind";
        EXPECT_EQ(dialog.Handle(), nullptr);
        MSG quit{};
        const bool quitKept = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
        EXPECT_EQ(quitKept ? std::optional(quit.wParam) : std::nullopt, row.quitLeft);
    }
}

TEST(FrameworkModalRun, EndedBeforeItIsUpNeverShows) {
    // Without a template there is nothing to create; ended during initialisation, the window is
    // taken down unseen.
    for (const auto& [templateId, result] : {std::pair{NoSuchTemplate, INT_PTR{-1}},
                                             std::pair{UINT{IDD_PORTSETUP_DIALOG}, INT_PTR{7}}}) {
        SCOPED_TRACE(templateId);
        CProbeDialog dialog(templateId);
        HWND created = nullptr;
        dialog.onInit = [&](CProbeDialog& self) {
            created = self.Handle();
            self.EndModal(7);
        };
        bool shown = false;
        EXPECT_EQ(RunDialog(dialog, [&](HWND) { shown = true; }), result);
        EXPECT_FALSE(shown);
        EXPECT_FALSE(IsWindow(created)) << "window " << created << " left behind";
        EXPECT_EQ(dialog.Handle(), nullptr);
    }
}

// The loop shows the window when it is first idle; a system timer (the caret's blink) or a system
// key that comes before that must already find it up.
TEST(FrameworkModalRun, ShowsBeforeHandlingASystemTimerOrKeyThatComesFirst) {
    constexpr UINT SystemTimer = 0x0118;
    for (const UINT early : {SystemTimer, UINT{WM_SYSKEYDOWN}}) {
        SCOPED_TRACE(early);
        CProbeDialog dialog;
        dialog.onInit = [&](CProbeDialog& self) { PostMessageA(self.Handle(), early, 0, 0); };
        std::vector<bool> visibleWhenHandled;
        dialog.onMessage = [&](UINT message, LPARAM) {
            if (message == early) {
                visibleWhenHandled.push_back(IsWindowVisible(dialog.Handle()) != FALSE);
            }
        };
        RunDialog(dialog, [&](HWND) { dialog.EndModal(IDCANCEL); });
        EXPECT_EQ(visibleWhenHandled, std::vector<bool>{true});
    }
}

TEST(FrameworkModalRun, CentresTheWindowInTheWorkAreaUnlessItWasPlaced) {
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor));
    EXPECT_TRUE(EqualRect(&work, &monitor.rcWork))
        << "work area " << work.left << ',' << work.top << ',' << work.right << ',' << work.bottom;

    struct Row {
        const char* why;
        UINT templateId;
        bool wider; // than the work area, so that the clamp has to act
        bool taller;
        std::optional<POINT> placed = std::nullopt; // by OnDialogInit
    };
    const Row rows[] = {
        {"the settings window fits", IDD_PORTSETUP_DIALOG, false, false},
        {"too wide and too tall: left and top edge on the work area's", WiderAndTallerThanTheScreen,
         true, true},
        {"too wide only", WiderThanTheScreen, true, false},
        {"placed during initialisation: left where it is", IDD_PORTSETUP_DIALOG, false, false,
         POINT{7, 9}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        CProbeDialog dialog(row.templateId);
        if (row.placed) {
            dialog.onInit = [&](CProbeDialog& self) {
                SetWindowPos(self.Handle(), nullptr, row.placed->x, row.placed->y, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            };
        }
        RECT placed{};
        RunDialog(dialog, [&](HWND window) {
            GetWindowRect(window, &placed);
            dialog.EndModal(IDCANCEL);
        });
        const LONG width = placed.right - placed.left;
        const LONG height = placed.bottom - placed.top;
        EXPECT_EQ(width > work.right - work.left, row.wider) << "width " << width;
        EXPECT_EQ(height > work.bottom - work.top, row.taller) << "height " << height;
        // Centred in the work area, then pulled back inside it, the left and top edges winning.
        const POINT expected = row.placed.value_or(
            POINT{std::max(work.left,
                           std::min((work.left + work.right) / 2 - width / 2, work.right - width)),
                  std::max(work.top, std::min((work.top + work.bottom) / 2 - height / 2,
                                              work.bottom - height))});
        EXPECT_EQ(placed.left, expected.x) << "width " << width;
        EXPECT_EQ(placed.top, expected.y) << "height " << height;
    }
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
    }
}

// A box over a pop-up of the main window is owned by the pop-up, which the box disables itself;
// the main window above it is the framework's to disable meanwhile, and to enable again.
TEST(FrameworkAppMessage, DisablesTheMainWindowAboveAPopupThatOwnsTheBox) {
    CProbeDialog dialog;
    RunDialog(dialog, [&](HWND window) {
        const HWND popup = CreateWindowExA(0, "Static", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                           window, nullptr, nullptr, nullptr);
        SetActiveWindow(popup);
        MessageBoxWatcher watcher([&](const MessageBoxContents&) {
            EXPECT_FALSE(IsWindowEnabled(window)) << "the main window takes input";
        });
        framework::ShowAppMessage("over a pop-up", MB_OK);
        EXPECT_EQ(watcher.Boxes(), OkBoxes({"over a pop-up"}, Caption, true, popup));
        EXPECT_TRUE(IsWindowEnabled(window)) << "left disabled";
        DestroyWindow(popup);
        dialog.EndModal(IDCANCEL);
    });
}

// OK alone and the questions with OK/Cancel or Yes/No get the exclamation icon when the caller
// gave none; Abort/Retry/Ignore and Retry/Cancel do not, and the caller's own icon is kept.
TEST(FrameworkAppMessage, AddsTheExclamationIconOnlyWhereTheCallerLeftNone) {
    struct Row {
        UINT style;
        LPCSTR icon; // the system icon the box shows; nullptr for none
        std::vector<int> buttons;
    };
    const Row rows[] = {
        {MB_OK, IDI_EXCLAMATION, {IDOK}},
        {MB_OKCANCEL, IDI_EXCLAMATION, {IDOK, IDCANCEL}},
        {MB_YESNOCANCEL, IDI_EXCLAMATION, {IDYES, IDNO, IDCANCEL}},
        {MB_YESNO, IDI_EXCLAMATION, {IDYES, IDNO}},
        {MB_ABORTRETRYIGNORE, nullptr, {IDABORT, IDRETRY, IDIGNORE}},
        {MB_RETRYCANCEL, nullptr, {IDRETRY, IDCANCEL}},
        {MB_OK | MB_ICONINFORMATION, IDI_INFORMATION, {IDOK}},
        {MB_YESNO | MB_ICONQUESTION, IDI_QUESTION, {IDYES, IDNO}},
        {MB_RETRYCANCEL | MB_ICONHAND, IDI_HAND, {IDRETRY, IDCANCEL}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "style 0x" << std::hex << row.style);
        MessageBoxWatcher watcher;
        const int pressed = framework::ShowAppMessage("styled", row.style);
        ASSERT_EQ(watcher.Boxes().size(), 1u);
        const MessageBoxContents& box = watcher.Boxes().front();
        EXPECT_EQ(box.icon, row.icon != nullptr ? LoadIconA(nullptr, row.icon) : nullptr);
        EXPECT_EQ(box.buttons, row.buttons);
        EXPECT_EQ(pressed, row.buttons.front()) << "the first button was pressed";
    }
}

} // namespace
