#pragma once

#include "framework/message_table.h"
#include "framework/window.h"

#include <windows.h>

#include <exception>

namespace framework {

class ExchangeContext;

// A dialog built from a template and run modally by the framework's own loop, so that the
// framework decides when the window is centred, shown and taken down.
//
// It is also the framework's exception boundary: no C++ exception may unwind through the
// system's frames between a dialog procedure and the loop that called it. An exception that
// leaves a handler is caught by the dialog procedure, kept by the dialog, and ends the run
// with -1; DoModal rethrows it once the window is gone.
class CDialog : public CWindow {
public:
    explicit CDialog(UINT templateId) : m_templateId(templateId) {}
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the window from the template, runs it until it is ended and returns the end value:
    // the value given to EndModal, or -1 when the window cannot be created.
    INT_PTR DoModal();

    // Ends the modal run with `result` once the current message has been handled.
    void EndModal(INT_PTR result);

    // Runs the data exchange in one direction; false after a failure that has been reported to
    // the user.
    bool RunExchange(bool save);

    // The dialog's message table; see message_table.h.
    virtual MessageResult HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void SetIcon(HICON icon, bool big);

protected:
    // The data exchange between the controls and the dialog's fields. Binds nothing here.
    virtual void ExchangeData(ExchangeContext& context);

    // The standard operations. Initialisation runs the exchange in the load direction, ending
    // the run with -1 when it fails; OK runs it in the save direction and ends the run with IDOK
    // when it succeeds; Cancel ends it with IDCANCEL.
    virtual bool OnDialogInit();
    virtual void OnOK();
    virtual void OnCancel();

    // Runs once, right after the window is first shown and painted: for work that the user need
    // not wait for. It runs in the modal loop, outside the dialog procedure, so it must not throw.
    virtual void OnShown() noexcept {}

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    bool OnInitDialog();
    MessageResult OnCommand(int id, UINT code, HWND control);

    void CentreUnlessPlaced();
    void RunModalLoop();
    void ShowForTheFirstTime();

    UINT m_templateId;
    bool m_ended = false;
    bool m_shown = false;
    INT_PTR m_result = -1;
    std::exception_ptr m_exception;
    RECT m_rectBeforeInit{};
};

} // namespace framework
