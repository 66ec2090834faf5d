#pragma once

#include "framework/message_table.h"

#include <windows.h>

#include <span>
#include <string_view>

namespace framework {

class CWindow;
class ExchangeContext;

using MessageHandler = MessageResult (*)(CWindow& window, WPARAM wParam, LPARAM lParam);
using MessageEntry = DispatchEntry<MessageHandler>;
using MessageTable = DispatchTable<MessageHandler>;

// A message table entry that sends `Message` to the member handler `Member`.
template <UINT Message, auto Member> constexpr MessageEntry OnMessage() {
    return {Message, &CrackMessage<CWindow, Member>};
}

// A window of the framework: owns no HWND's lifetime by itself, but knows its handle,
// dispatches the window's messages through its class's message table, and offers the
// typed calls that application code uses instead of raw messages.
class CWindow {
public:
    CWindow() = default;
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;
    virtual ~CWindow();

    HWND Handle() const { return m_hWnd; }
    bool IsAttached() const { return m_hWnd != nullptr; }

    // The framework object registered for `window`, if any.
    static CWindow* FromHandle(HWND window);

    // Routes an existing control's messages through this object before the control's own
    // window procedure. False when the control cannot be taken over.
    bool AttachToControl(HWND control);

    // Runs the data exchange in one direction; false after a failure that has been reported
    // to the user.
    bool RunExchange(bool save);

    // The help context this window answers when help is asked for; 0 for none.
    virtual DWORD HelpContext() const { return 0; }

    // Typed calls.
    HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void SetIcon(HICON icon, bool big);

    static const MessageTable s_messageTable;

protected:
    // The data exchange between this window's controls and its fields. Binds nothing here.
    virtual void ExchangeData(ExchangeContext& context);

    virtual const MessageTable& GetMessageTable() const { return s_messageTable; }

    // Looks the message up in this object's tables and runs its handler.
    MessageResult HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Called once the window is gone for good (WM_NCDESTROY).
    virtual void OnWindowGone();

    HWND m_hWnd = nullptr;

    // Makes this object the one FromHandle finds for `window`.
    bool Register(HWND window);

private:
    void Detach();
    static LRESULT CALLBACK AttachedControlProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam);

    WNDPROC m_previousProc = nullptr;

    friend class CDialog;
    friend bool RunExchangeWith(ExchangeContext& context);
};

// Control helpers: the typed forms of the few control messages the framework needs.
// Reads at most buffer.size() - 1 characters of the control's text into `buffer`.
std::string_view GetControlText(HWND control, std::span<char> buffer);
void SetControlText(HWND control, std::string_view text);
void SelectAllText(HWND edit);
int GetCheckState(HWND button);
void SetCheckState(HWND button, int state);

} // namespace framework
