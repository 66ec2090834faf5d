#include "support/test_application.h"

#include "harness/windows.h"

#include <gtest/gtest.h>

#include <exception>
#include <utility>

namespace testsupport {

namespace {

CTestApplication theApplication;

// How often RunDialog looks whether the window is up yet.
constexpr UINT PollInterval = 10;

// The run in progress on this thread; thread timers carry no context of their own.
struct DialogRun {
    framework::CDialog* dialog = nullptr;
    std::function<void(HWND)> whenShown;
    UINT_PTR pollTimer = 0;
    UINT_PTR watchdogTimer = 0;
};
thread_local DialogRun* t_run = nullptr;

void CALLBACK OnPoll(HWND, UINT, UINT_PTR timer, DWORD) {
    if (t_run == nullptr || t_run->pollTimer != timer) {
        return;
    }
    const HWND window = t_run->dialog->Handle();
    if (window == nullptr || !IsWindowVisible(window)) {
        return;
    }
    KillTimer(nullptr, std::exchange(t_run->pollTimer, 0));
    // Nothing may unwind through the dialog's message loop.
    try {
        t_run->whenShown(window);
    } catch (const std::exception& exception) {
        ADD_FAILURE() << "exception while the dialog was shown: " << exception.what();
    } catch (...) {
        ADD_FAILURE() << "unknown exception while the dialog was shown";
    }
}

void CALLBACK OnWatchdog(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (t_run == nullptr || t_run->watchdogTimer != timer) {
        return;
    }
    t_run->watchdogTimer = 0;
    ADD_FAILURE() << "the dialog was still running when the watchdog fired";
    try {
        for (HWND window : ThreadDialogs(GetCurrentThreadId())) {
            if (window != t_run->dialog->Handle()) {
                PostMessageA(window, WM_CLOSE, 0, 0);
            }
        }
    } catch (...) {
        // Out of memory: the boxes stay, and the failure above already tells of the run.
    }
    t_run->dialog->EndModal(EndedByWatchdog);
}

} // namespace

CTestApplication::CTestApplication() {
    SetUp(GetModuleHandleA(nullptr), ModulePath());
}

CTestApplication& CTestApplication::Get() {
    return theApplication;
}

std::string ModulePath() {
    char path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length < sizeof path ? length : 0);
}

INT_PTR RunDialog(framework::CDialog& dialog, std::function<void(HWND)> whenShown,
                  std::chrono::milliseconds limit) {
    DialogRun run{&dialog, std::move(whenShown)};
    run.pollTimer = SetTimer(nullptr, 0, PollInterval, &OnPoll);
    run.watchdogTimer = SetTimer(nullptr, 0, static_cast<UINT>(limit.count()), &OnWatchdog);
    EXPECT_NE(run.pollTimer, 0u) << "SetTimer failed with error " << GetLastError();
    EXPECT_NE(run.watchdogTimer, 0u) << "SetTimer failed with error " << GetLastError();

    CTestApplication& application = CTestApplication::Get();
    framework::CDialog* const previousMain = application.MainWindow();
    application.SetMainWindow(&dialog);
    DialogRun* const previousRun = std::exchange(t_run, &run);
    const auto restore = [&] {
        t_run = previousRun;
        application.SetMainWindow(previousMain);
        for (const UINT_PTR timer : {run.pollTimer, run.watchdogTimer}) {
            if (timer != 0) {
                KillTimer(nullptr, timer);
            }
        }
    };
    try {
        const INT_PTR result = dialog.DoModal();
        restore();
        return result;
    } catch (...) {
        restore();
        throw;
    }
}

bool PumpUntil(HWND dialog, const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(limit.count());
    while (!done()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                  QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageA(dialog, &message)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
    }
    return true;
}

void Click(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

} // namespace testsupport
