#include "framework/dialog.h"

#include "framework/application.h"
#include "framework/exchange.h"
#include "framework/rules/placement.h"

#include <algorithm>
#include <array>
#include <utility>

namespace framework {

namespace {

// Sent by the system's caret blink and tooltips; like a system key press, it may come before
// the loop has ever been idle, and the window must be up by then.
constexpr UINT kSystemTimerMessage = 0x0118;

// Messages whose result a dialog procedure returns directly instead of through DWLP_MSGRESULT.
constexpr std::array kDirectResultMessages{
    UINT{WM_INITDIALOG},   UINT{WM_QUERYDRAGICON},     UINT{WM_COMPAREITEM},
    UINT{WM_VKEYTOITEM},   UINT{WM_CHARTOITEM},        UINT{WM_CTLCOLORMSGBOX},
    UINT{WM_CTLCOLOREDIT}, UINT{WM_CTLCOLORLISTBOX},   UINT{WM_CTLCOLORBTN},
    UINT{WM_CTLCOLORDLG},  UINT{WM_CTLCOLORSCROLLBAR}, UINT{WM_CTLCOLORSTATIC},
};

bool ReturnsResultDirectly(UINT message) {
    return std::find(kDirectResultMessages.begin(), kDirectResultMessages.end(), message) !=
           kDirectResultMessages.end();
}

bool IsFromChildControl(UINT message, LPARAM lParam) {
    return (message == WM_COMMAND && lParam != 0) || message == WM_NOTIFY;
}

Rectangle ToRectangle(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

} // namespace

CDialog::~CDialog() {
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        ::DestroyWindow(m_hWnd);
    }
}

void CDialog::SetIcon(HICON icon, bool big) {
    ::SendMessageA(m_hWnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

MessageResult CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return Dispatch<NoBaseTable, On<WM_INITDIALOG, &CDialog::OnInitDialog>,
                    On<WM_COMMAND, &CDialog::OnCommand>>(*this, message, wParam, lParam);
}

void CDialog::ExchangeData(ExchangeContext&) {}

INT_PTR CDialog::DoModal() {
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    const HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(m_templateId), RT_DIALOG);
    const auto* dialogTemplate =
        found != nullptr
            ? static_cast<const DLGTEMPLATE*>(::LockResource(::LoadResource(instance, found)))
            : nullptr;
    if (dialogTemplate == nullptr) {
        return -1;
    }

    m_ended = false;
    m_shown = false;
    m_result = -1;
    // No owner: the main window is this very dialog, whose window does not exist yet, so there
    // is nothing to disable or to centre on.
    const HWND created = ::CreateDialogIndirectParamA(
        instance, dialogTemplate, nullptr, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (created != nullptr) {
        if (!m_ended) {
            CentreUnlessPlaced();
            RunModalLoop();
        }
        if (::IsWindow(created)) {
            ::SetWindowPos(created, nullptr, 0, 0, 0, 0,
                           SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                               SWP_NOACTIVATE);
            ::DestroyWindow(created);
        }
    }
    if (m_exception) {
        std::rethrow_exception(std::exchange(m_exception, nullptr));
    }
    return m_result;
}

void CDialog::EndModal(INT_PTR result) {
    m_result = result;
    m_ended = true;
    // Wake the loop should it be waiting for a message.
    if (m_hWnd != nullptr) {
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
    }
}

bool CDialog::OnDialogInit() {
    if (!RunExchange(false)) {
        EndModal(-1);
        return false;
    }
    return true;
}

void CDialog::OnOK() {
    if (RunExchange(true)) {
        EndModal(IDOK);
    }
}

void CDialog::OnCancel() {
    EndModal(IDCANCEL);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<CDialog*>(lParam)->m_hWnd = window;
    }
    // Messages such as WM_SETFONT arrive before WM_INITDIALOG: no object yet.
    auto* const self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        if (CApplication* application = CApplication::Current();
            application != nullptr && application->MainWindow() == self) {
            application->SetMainWindow(nullptr);
        }
        return FALSE;
    }
    // Checked before any table is consulted, so that a derived class's own command or
    // notification handlers are locked out of a run of the exchange as well as ours.
    if (IsFromChildControl(message, lParam) && NotificationLockout::Current() == window) {
        ::SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
        return TRUE;
    }

    MessageResult result;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        if (!self->m_exception) {
            self->m_exception = std::current_exception();
        }
        self->EndModal(-1);
        return FALSE;
    }
    if (!result) {
        return FALSE;
    }
    if (ReturnsResultDirectly(message)) {
        return *result;
    }
    ::SetWindowLongPtrA(window, DWLP_MSGRESULT, *result);
    return TRUE;
}

bool CDialog::OnInitDialog() {
    ::GetWindowRect(m_hWnd, &m_rectBeforeInit);
    return OnDialogInit();
}

MessageResult CDialog::OnCommand(int id, UINT code, HWND) {
    // A click, or a menu or accelerator command (code 0 in all three cases).
    if (code != BN_CLICKED) {
        return std::nullopt;
    }
    switch (id) {
    case IDOK:
        OnOK();
        return 0;
    case IDCANCEL:
        OnCancel();
        return 0;
    default:
        return std::nullopt;
    }
}

void CDialog::CentreUnlessPlaced() {
    const auto style = static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE));
    if ((style & (WS_CHILD | DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)) != 0) {
        return;
    }
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    if (!::EqualRect(&window, &m_rectBeforeInit)) {
        return; // OnDialogInit placed the window itself.
    }

    const HWND anchor = MainWindowHandle();
    const HMONITOR monitor = anchor != nullptr
                                 ? ::MonitorFromWindow(anchor, MONITOR_DEFAULTTOPRIMARY)
                                 : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoA(monitor, &info);

    const Position position = CenteredPosition(ToRectangle(window), ToRectangle(info.rcWork));
    ::SetWindowPos(m_hWnd, nullptr, position.x, position.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::ShowForTheFirstTime() {
    m_shown = true;
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    ::UpdateWindow(m_hWnd);
    OnShown();
}

void CDialog::RunModalLoop() {
    MSG message{};
    while (!m_ended) {
        if (!::IsWindow(m_hWnd)) {
            // Destroyed behind our back: the run cannot go on.
            EndModal(-1);
            break;
        }
        if (!m_shown && !::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            ShowForTheFirstTime();
            continue;
        }
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got <= 0) {
            // WM_QUIT belongs to an outer loop: leave it there and end this run.
            if (got == 0) {
                ::PostQuitMessage(static_cast<int>(message.wParam));
            }
            EndModal(-1);
            break;
        }
        if (!m_shown &&
            (message.message == kSystemTimerMessage || message.message == WM_SYSKEYDOWN)) {
            ShowForTheFirstTime();
        }
        if (!::IsDialogMessageA(m_hWnd, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

} // namespace framework
