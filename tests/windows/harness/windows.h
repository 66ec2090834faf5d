#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

// Questions about windows, asked the same way of windows of this process and of another one:
// everything a message has to answer goes through SendTo, so a hung program cannot hang the
// caller.
namespace testsupport {

// The window class of dialogs, message boxes included.
inline constexpr char DialogClass[] = "#32770";

// SendMessageTimeoutA that gives up on a window that has not answered within five seconds (or
// whose thread is hung); false then, and when the window is gone.
bool SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result);

// A window's text through WM_GETTEXT, which the window manager carries across processes (an
// edit field of another process keeps its text to itself, so GetWindowText would not see it);
// "(no reply to WM_GETTEXT)" when the window does not answer.
std::string WindowText(HWND window);
std::string ClassName(HWND window);
DWORD Style(HWND window);
// The direct children, in Z order (for a dialog, the order of its template).
std::vector<HWND> Children(HWND window);
// Top-level windows of the process, and the thread's top-level dialogs.
std::vector<HWND> ProcessWindows(DWORD processId);
std::vector<HWND> ThreadDialogs(DWORD threadId);
// The window and all its descendants.
std::vector<HWND> WindowAndDescendants(HWND window);

// A message box as it reads when first seen.
struct MessageBoxContents {
    HWND window = nullptr; // only valid while the box is open
    std::string caption;
    std::string text;
    HWND owner = nullptr;
    bool ownerEnabled = false; // a modal box has disabled its owner by the time it is seen
    HICON icon = nullptr;      // the icon it shows; nullptr for none
    std::vector<int> buttons;  // ids of its visible push buttons, in the box's order

    // Boxes that read alike are equal, whichever windows they were, and whichever icon they
    // show, so long as both show one or neither does.
    friend bool operator==(const MessageBoxContents& a, const MessageBoxContents& b) {
        const auto reading = [](const MessageBoxContents& box) {
            return std::tuple(box.caption, box.text, box.owner, box.ownerEnabled,
                              box.icon != nullptr, box.buttons);
        };
        return reading(a) == reading(b);
    }
};

// GoogleTest prints boxes with this.
void PrintTo(const MessageBoxContents& box, std::ostream* out);

// How every box of these programs reads: OK alone, modal to `owner`; one for each text.
MessageBoxContents OkBox(std::string_view text, std::string_view caption, bool icon, HWND owner);
std::vector<MessageBoxContents> OkBoxes(const std::vector<std::string_view>& texts,
                                        std::string_view caption, bool icon, HWND owner);

// Whether `window` is a message box: a dialog holding the message's static and otherwise only
// statics and push buttons; other dialogs have other controls (edits, check boxes).
bool IsMessageBox(HWND window);
MessageBoxContents ReadMessageBox(HWND box);
// Posts the command that the box's first button sends when it is clicked; Cancel ends a box
// without buttons rather than leaving the caller hanging on it.
bool PressFirstButton(const MessageBoxContents& box);

// A check box's state, an edit field's selection (start, end), and a key pressed and released
// as the keyboard posts them to the focus.
bool Checked(HWND checkBox);
std::pair<DWORD, DWORD> Selection(HWND edit);
bool PostKeyPress(HWND target, WORD virtualKey);
// A key pressed and released at the keyboard, for the foreground window, while `held` (Shift,
// Ctrl, Alt; 0 for none) is held down: the system makes of it what it makes of a real one (F1
// becomes a help request), which a posted key never is.
bool TypeKey(WORD virtualKey, WORD held = 0);

} // namespace testsupport
