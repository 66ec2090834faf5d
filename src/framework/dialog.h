#pragma once

#include "framework/boundary.h"
#include "framework/window.h"

#include <windows.h>

#include <exception>

namespace framework {

// A dialog built from a template and run modally by the framework's own loop, so that
// the framework decides when the window is centred, shown and taken down.
class CDialog : public CWindow, private ExceptionSink {
public:
    explicit CDialog(UINT templateId, CWindow* parent = nullptr);
    ~CDialog() override;

    // Creates the window from the template, runs it until it is ended and returns the end
    // value: the value given to EndDialog, or -1 when the window cannot be created. An
    // exception caught inside the run ends it with -1 and is rethrown from here.
    INT_PTR DoModal();

    // Ends the modal run with `result` once the current message has been handled.
    void EndDialog(INT_PTR result);

    UINT TemplateId() const { return m_templateId; }

    // A dialog answers help requests with 0x20000 + its template id.
    DWORD HelpContext() const override;

    static const MessageTable s_messageTable;

protected:
    // Operations a dialog replaces. The standard ones: initialisation runs the exchange in
    // the load direction, ending the run with -1 when it fails; OK runs it in the save
    // direction and ends the run with IDOK when it succeeds; Cancel ends with IDCANCEL.
    virtual bool OnDialogInit();
    virtual void OnOK();
    virtual void OnCancel();

    const MessageTable& GetMessageTable() const override { return s_messageTable; }

private:
    static const MessageEntry s_messages[];

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    LRESULT OnInitDialogMessage();
    MessageResult OnCommandMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnHelpMessage();

    void TakeException(std::exception_ptr exception) noexcept override;
    HWND ChooseOwner() const;
    void CentreUnlessPlaced(HWND owner);
    void RunModalLoop();
    void ShowForTheFirstTime();

    UINT m_templateId;
    CWindow* m_parent;
    bool m_ended = false;
    bool m_shown = false;
    INT_PTR m_result = -1;
    std::exception_ptr m_exception;
    RECT m_rectBeforeInit{};
};

} // namespace framework
