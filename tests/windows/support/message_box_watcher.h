#pragma once

#include "harness/windows.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Catches every message box that opens on this thread while the watcher exists, records it as
// it reads then, and closes it as a person pressing its first button would. Each box is closed
// from within its own modal loop once it is up and idle; `whileOpen`, when given, runs just
// before that (the box's window is valid only there), so a test can look at other windows while
// the box is open. A failure inside the hook (an exception from `whileOpen`, a box that cannot
// be closed) is reported as a test failure when the watcher is destroyed. One watcher per thread
// at a time.
class MessageBoxWatcher {
public:
    using WhileOpen = std::function<void(const MessageBoxContents&)>;

    explicit MessageBoxWatcher(WhileOpen whileOpen = {});
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // The boxes seen so far, in the order they opened.
    const std::vector<MessageBoxContents>& Boxes() const { return m_boxes; }
    void Clear() { m_boxes.clear(); }

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR timer, DWORD);
    void OnActivate(HWND window);
    void CloseWaitingBoxes();
    void RecordFailure(std::string failure);

    WhileOpen m_whileOpen;
    HHOOK m_hHook = nullptr;
    UINT_PTR m_nTimer = 0;
    std::vector<MessageBoxContents> m_boxes;
    std::vector<MessageBoxContents> m_waiting; // opened, not yet closed
    std::vector<std::string> m_failures;
};

} // namespace testsupport
