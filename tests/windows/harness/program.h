#pragma once

#include "harness/windows.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

// Every wait for a program is bounded by this; under Wine on a busy machine a start takes well
// under a second, so reaching it means the program is stuck or gone.
inline constexpr std::chrono::milliseconds Patience{15000};

// A message box of the program, as it was when first seen.
using SeenBox = MessageBoxContents;

// Object counts of a process, for telling a leak from a steady state. The first three are the
// system's own counters; Wine 8 answers 0 to all of them for another process, so two counts
// that it does keep stand beside them: the process's entries in the system handle table
// (SystemExtendedHandleInformation), and its windows, top-level and child.
struct ResourceCounts {
    DWORD handles = 0;     // GetProcessHandleCount
    DWORD gdiObjects = 0;  // GetGuiResources
    DWORD userObjects = 0; // GetGuiResources
    DWORD handleTableEntries = 0;
    DWORD windows = 0;

    friend bool operator==(const ResourceCounts&, const ResourceCounts&) = default;
};

void PrintTo(const ResourceCounts& counts, std::ostream* out);

// The path under which a program sees a file of the build tree: Wine maps the Unix root to
// drive Z:.
std::string WindowsPath(std::string_view unixPath);

// A dialog program in a process of its own, driven from the outside as a person would: by its
// windows and posted input only. Anything that may open a modal box in the program is posted, so
// this side never waits on it; every wait is a poll with a deadline (Patience). The process is
// killed when this object goes while it still runs.
class Program {
public:
    // `poll`: how often a wait looks again; the default costs the program nothing noticeable.
    explicit Program(const std::string& path,
                     std::chrono::milliseconds poll = std::chrono::milliseconds(10));
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return m_process.hProcess != nullptr; }
    bool Running() const;
    HANDLE Process() const { return m_process.hProcess; }
    // The exit code once the process has ended.
    std::optional<DWORD> ExitCode() const;
    // Polls until `condition` holds; false at the deadline.
    bool WaitFor(const std::function<bool()>& condition) const;

    // The program's main dialog: its top-level dialog without an owner (its boxes have one),
    // shown or not; null until it exists. Once found it is kept, so boxes can be checked
    // against it after it is gone.
    HWND Dialog();
    bool Shown() { return IsWindowVisible(Dialog()) != FALSE; }

    // A message box of the program that is up right now, or null; the next one to open, as it
    // read when first seen (nothing when none opens in time or the process ends). CloseBox
    // presses the box's first button and waits until the box is gone.
    HWND Box() const;
    std::optional<SeenBox> WaitForBox() const;
    bool CloseBox(const SeenBox& box) const;
    // Closes every box that opens until `done` holds, the process ends, a wait runs out or a
    // box stays; returns the boxes in the order they came.
    std::vector<SeenBox> CloseBoxesUntil(const std::function<bool()>& done);

    // The dialog's controls: the text through the window manager, a mouse click, and a move of
    // the focus as Tab makes it (which selects an edit field's text), awaited.
    std::string Text(int id);
    bool SetText(int id, const std::string& text);
    bool Checked(int id);
    bool Click(int id);
    bool FocusOn(int id);
    // Posted input: a key pressed and released on control `id`, or where the focus is (0), and
    // a request to close the dialog.
    bool PressKey(WORD virtualKey, int id = 0);
    bool RequestClose();

    // The program's focus window, and the selection of an edit field (start, end).
    HWND Focus() const;
    std::pair<DWORD, DWORD> Selection(int id);

    ResourceCounts Counts() const;

private:
    HWND Control(int id) { return GetDlgItem(Dialog(), id); }

    PROCESS_INFORMATION m_process{};
    std::chrono::milliseconds m_poll;
    HANDLE m_job;
    HWND m_dialog = nullptr;
};

} // namespace testsupport
