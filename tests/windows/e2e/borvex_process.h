#pragma once

#include "support/window_queries.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace e2e {

// Every wait for the program is bounded by this; under Wine on a busy machine a start takes
// well under a second, so reaching it means the program is stuck or gone.
inline constexpr std::chrono::milliseconds Patience{15000};

// A message box of the program, as it was when first seen.
using SeenBox = testsupport::MessageBoxContents;

// Object counts of a process, for telling a leak from a steady state. The first three are
// the system's own counters; Wine 8 answers 0 to all of them (GetGuiResources fails with
// ERROR_CALL_NOT_IMPLEMENTED), so two counts that it does keep stand beside them: the
// process's entries in the system handle table, and its windows, top-level and child.
struct ResourceCounts {
    DWORD handles = 0;     // GetProcessHandleCount
    DWORD gdiObjects = 0;  // GetGuiResources
    DWORD userObjects = 0; // GetGuiResources
    DWORD handleTableEntries = 0;
    DWORD windows = 0;

    friend bool operator==(const ResourceCounts&, const ResourceCounts&) = default;
};

void PrintTo(const ResourceCounts& counts, std::ostream* out);

// BORVEX.EXE in a process of its own, driven from the outside as a person would: by its
// windows and posted input only. Anything that may open a modal box in the program is
// posted, so this side never waits on it; every wait is a poll with a deadline. The process
// is killed when this object goes while it still runs.
class BorvexProcess {
public:
    BorvexProcess();
    ~BorvexProcess();
    BorvexProcess(const BorvexProcess&) = delete;
    BorvexProcess& operator=(const BorvexProcess&) = delete;

    bool Started() const { return m_process.hProcess != nullptr; }
    bool Running() const;

    // The settings dialog once it is shown; null when it is not shown in time. Load notices
    // come while it is still hidden, so they must be closed first (CloseBoxesUntilShown).
    HWND WaitForDialog();
    HWND Dialog() const { return m_dialog; }

    // Closes, with OK, every box that opens until the dialog is shown, and returns them.
    std::vector<SeenBox> CloseBoxesUntilShown();
    // The next box of the program; nothing when none opens in time or the process ends.
    std::optional<SeenBox> WaitForBox();
    // Presses the box's first button and waits until the box is gone.
    bool CloseBox(const SeenBox& box);
    // A box of the program open right now, if any.
    std::optional<SeenBox> OpenBox() const;
    // Closes every box that opens until the process ends, and returns them; the exit code,
    // or nothing when the process does not end in time.
    std::optional<DWORD> CloseBoxesUntilExit(std::vector<SeenBox>& boxes);

    // The control's text, through the window manager.
    std::string Text(int id) const;
    bool SetText(int id, const std::string& text);
    bool Checked(int id) const;
    // Posted input: a mouse click on the control, a key pressed and released on the control
    // that has the focus, a request to close the window, and the dialog manager's move of the
    // focus to a control (which selects an edit field's text, as Tab does).
    bool Click(int id);
    bool PressKey(WORD virtualKey);
    bool RequestClose();
    bool MoveFocusTo(int id);

    // The program's focus window, and the selection of an edit field (start, end).
    HWND Focus() const;
    std::pair<DWORD, DWORD> Selection(int id) const;
    // Polls until `condition` holds; false at the deadline.
    bool WaitFor(const std::function<bool()>& condition) const;

    ResourceCounts Counts() const;

private:
    PROCESS_INFORMATION m_process{};
    HWND m_dialog = nullptr;
};

} // namespace e2e
