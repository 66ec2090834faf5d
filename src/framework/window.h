#pragma once

#include <windows.h>

#include <span>
#include <string_view>

namespace framework {

// A window the framework addresses: its handle and the typed calls that application code uses
// instead of raw messages. It does not own the window's lifetime.
class CWindow {
public:
    HWND Handle() const { return m_hWnd; }
    bool IsAttached() const { return m_hWnd != nullptr; }
    // Takes the handle of an existing window, such as a dialog's control.
    void Attach(HWND window) { m_hWnd = window; }

    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }

protected:
    HWND m_hWnd = nullptr;
};

// A push button, check box or radio button.
class CButton : public CWindow {
public:
    // Sets the button's style (BS_PUSHBUTTON, BS_DEFPUSHBUTTON, ...) and redraws it when asked.
    void SetButtonStyle(UINT style, bool redraw) {
        ::SendMessageA(m_hWnd, BM_SETSTYLE, style, redraw ? TRUE : FALSE);
    }
};

// The typed forms of the few control messages the framework needs.
// Reads at most buffer.size() - 1 characters of the control's text into `buffer`.
std::string_view GetControlText(HWND control, std::span<char> buffer);
void SetControlText(HWND control, std::string_view text);
void SelectAllText(HWND edit);
int GetCheckState(HWND button);
void SetCheckState(HWND button, int state);

} // namespace framework
