#include "support/message_box_watcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <exception>
#include <utility>

namespace testsupport {

namespace {

// The watcher of this thread; hooks and thread timers carry no context of their own.
thread_local MessageBoxWatcher* t_watcher = nullptr;

} // namespace

MessageBoxWatcher::MessageBoxWatcher(WhileOpen whileOpen) : m_whileOpen(std::move(whileOpen)) {
    if (t_watcher != nullptr) {
        ADD_FAILURE() << "a message box watcher is already active on this thread";
        return;
    }
    m_hHook = SetWindowsHookExA(WH_CBT, &CbtProc, nullptr, GetCurrentThreadId());
    if (m_hHook == nullptr) {
        ADD_FAILURE() << "SetWindowsHookExA(WH_CBT) failed with error " << GetLastError();
        return;
    }
    t_watcher = this;
}

MessageBoxWatcher::~MessageBoxWatcher() {
    if (m_hHook != nullptr) {
        UnhookWindowsHookEx(m_hHook);
        t_watcher = nullptr;
    }
    if (m_nTimer != 0) {
        KillTimer(nullptr, m_nTimer);
    }
    for (const std::string& failure : m_failures) {
        ADD_FAILURE() << failure;
    }
    for (const MessageBoxContents& box : m_waiting) {
        if (IsWindow(box.window)) {
            ADD_FAILURE() << "message box \"" << box.text << "\" was still open";
        }
    }
}

LRESULT CALLBACK MessageBoxWatcher::CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && t_watcher != nullptr) {
        t_watcher->OnActivate(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxWatcher::OnActivate(HWND window) {
    try {
        // A box is activated again when the focus comes back to it (from a box opened over it,
        // or from another program's window), even after its button has been pressed; it is
        // seen once.
        const auto seen = [window](const MessageBoxContents& box) { return box.window == window; };
        // Wine hands this thread's hook the window of another program that takes the
        // activation from it (a box of a test running beside this one): not a box of ours.
        if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId() ||
            !IsMessageBox(window) || std::ranges::any_of(m_boxes, seen)) {
            return;
        }
        m_boxes.push_back(ReadMessageBox(window));
        m_waiting.push_back(m_boxes.back());
        // The box is not up yet: its owner is still being deactivated and its modal loop has
        // not started. A thread timer fires from within that loop once the box is idle.
        if (m_nTimer == 0) {
            m_nTimer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &TimerProc);
            if (m_nTimer == 0) {
                RecordFailure("SetTimer failed with error " + std::to_string(GetLastError()));
            }
        }
    } catch (const std::exception& exception) {
        RecordFailure(std::string("exception while observing a message box: ") + exception.what());
    } catch (...) {
        RecordFailure("unknown exception while observing a message box");
    }
}

void CALLBACK MessageBoxWatcher::TimerProc(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (t_watcher == nullptr || t_watcher->m_nTimer != timer) {
        return;
    }
    t_watcher->m_nTimer = 0;
    try {
        t_watcher->CloseWaitingBoxes();
    } catch (...) {
        t_watcher->RecordFailure("exception while closing message boxes");
    }
}

void MessageBoxWatcher::CloseWaitingBoxes() {
    // `whileOpen` may pump messages and see more boxes open: take the list first.
    std::vector<MessageBoxContents> waiting = std::exchange(m_waiting, {});
    for (const MessageBoxContents& box : waiting) {
        if (!IsWindow(box.window)) {
            continue;
        }
        try {
            if (m_whileOpen) {
                m_whileOpen(box);
            }
        } catch (const std::exception& exception) {
            RecordFailure("exception while message box \"" + box.text +
                          "\" was open: " + exception.what());
        } catch (...) {
            RecordFailure("unknown exception while message box \"" + box.text + "\" was open");
        }
        if (box.buttons.empty()) {
            RecordFailure("message box \"" + box.text + "\" has no button to press");
        }
        PressFirstButton(box);
    }
}

void MessageBoxWatcher::RecordFailure(std::string failure) {
    try {
        m_failures.push_back(std::move(failure));
    } catch (...) {
        // Out of memory inside a hook: nothing sensible left to do.
    }
}

} // namespace testsupport
