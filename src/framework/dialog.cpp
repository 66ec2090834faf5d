#include "framework/dialog.h"

#include "framework/application.h"
#include "framework/framework_ids.h"
#include "framework/placement.h"
#include "framework/scoped_disable.h"

#include <array>
#include <utility>

namespace framework {

namespace {

// Sent by the system's caret blink and tooltips; like a system key press, it may come
// before the loop has ever been idle, and the window must be up by then.
constexpr UINT kSystemTimerMessage = 0x0118;

// Messages whose result a dialog procedure returns directly instead of through
// DWLP_MSGRESULT.
constexpr std::array kDirectResultMessages{
    UINT{WM_INITDIALOG},   UINT{WM_QUERYDRAGICON},     UINT{WM_COMPAREITEM},
    UINT{WM_VKEYTOITEM},   UINT{WM_CHARTOITEM},        UINT{WM_CTLCOLORMSGBOX},
    UINT{WM_CTLCOLOREDIT}, UINT{WM_CTLCOLORLISTBOX},   UINT{WM_CTLCOLORBTN},
    UINT{WM_CTLCOLORDLG},  UINT{WM_CTLCOLORSCROLLBAR}, UINT{WM_CTLCOLORSTATIC},
};

bool ReturnsResultDirectly(UINT message) {
    for (const UINT direct : kDirectResultMessages) {
        if (direct == message) {
            return true;
        }
    }
    return false;
}

Rectangle ToRectangle(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

bool IsKeyDown(int virtualKey) {
    return (::GetKeyState(virtualKey) & 0x8000) != 0;
}

} // namespace

const MessageEntry CDialog::s_messages[] = {
    OnMessage<WM_INITDIALOG, &CDialog::OnInitDialogMessage>(),
    OnMessage<WM_COMMAND, &CDialog::OnCommandMessage>(),
    OnMessage<WM_HELP, &CDialog::OnHelpMessage>(),
};

const MessageTable CDialog::s_messageTable{&CWindow::s_messageTable, s_messages};

CDialog::CDialog(UINT templateId, CWindow* parent) : m_templateId(templateId), m_parent(parent) {}

CDialog::~CDialog() {
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        ::DestroyWindow(m_hWnd);
    }
}

DWORD CDialog::HelpContext() const {
    return HID_BASE_RESOURCE + m_templateId;
}

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
    const HWND owner = ChooseOwner();
    ScopedDisable disabledOwner(owner);
    {
        ScopedExceptionSink sink(*this);
        const HWND created = ::CreateDialogIndirectParamA(
            instance, dialogTemplate, owner, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
        if (created != nullptr) {
            if (!m_ended) {
                CentreUnlessPlaced(owner);
                RunModalLoop();
            }
            // Hand activation back to the owner before the window goes.
            disabledOwner.Release();
            if (::IsWindow(created)) {
                ::SetWindowPos(created, nullptr, 0, 0, 0, 0,
                               SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                                   SWP_NOACTIVATE);
                ::DestroyWindow(created);
            }
        }
    }
    if (m_exception) {
        std::rethrow_exception(std::exchange(m_exception, nullptr));
    }
    return m_result;
}

void CDialog::EndDialog(INT_PTR result) {
    m_result = result;
    m_ended = true;
    // Wake the loop should it be waiting for a message.
    if (m_hWnd != nullptr) {
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
    }
}

bool CDialog::OnDialogInit() {
    if (!RunExchange(false)) {
        EndDialog(-1);
        return false;
    }
    return true;
}

void CDialog::OnOK() {
    if (RunExchange(true)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWindow* object = nullptr;
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        dialog->Register(window);
        object = dialog;
    } else {
        // Messages such as WM_SETFONT arrive before WM_INITDIALOG: no object yet.
        object = FromHandle(window);
    }
    if (object == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        object->OnWindowGone();
        return FALSE;
    }
    const MessageResult result = CallAtBoundary(
        [&] { return object->HandleMessage(message, wParam, lParam); }, MessageResult{0});
    if (!result) {
        return FALSE;
    }
    if (ReturnsResultDirectly(message)) {
        return *result;
    }
    ::SetWindowLongPtrA(window, DWLP_MSGRESULT, *result);
    return TRUE;
}

LRESULT CDialog::OnInitDialogMessage() {
    ::GetWindowRect(m_hWnd, &m_rectBeforeInit);
    return OnDialogInit() ? TRUE : FALSE;
}

MessageResult CDialog::OnCommandMessage(WPARAM wParam, LPARAM) {
    // A click, or a menu or accelerator command (code 0 in both cases).
    if (HIWORD(wParam) != BN_CLICKED) {
        return std::nullopt;
    }
    switch (LOWORD(wParam)) {
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

LRESULT CDialog::OnHelpMessage() {
    // F1 alone asks for help; with Shift, Ctrl or Alt it means something else, or nothing.
    if (IsKeyDown(VK_SHIFT) || IsKeyDown(VK_CONTROL) || IsKeyDown(VK_MENU)) {
        return TRUE;
    }
    if (CApplication* application = CApplication::Current()) {
        application->RouteCommand(ID_HELP);
    }
    return TRUE;
}

void CDialog::TakeException(std::exception_ptr exception) noexcept {
    if (!m_exception) {
        m_exception = std::move(exception);
    }
    EndDialog(-1);
}

HWND CDialog::ChooseOwner() const {
    HWND owner = m_parent != nullptr ? m_parent->Handle() : nullptr;
    if (owner == nullptr) {
        // The main window is often this very dialog, whose window does not exist yet.
        if (const CWindow* mainWindow = CApplication::CurrentMainWindow(); mainWindow != this) {
            owner = MainWindowHandle();
        }
    }
    if (owner != nullptr) {
        owner = ::GetLastActivePopup(::GetAncestor(owner, GA_ROOT));
    }
    return owner;
}

void CDialog::CentreUnlessPlaced(HWND owner) {
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

    RECT reference = info.rcWork;
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &reference);
    }
    const Position position =
        CenteredPosition(ToRectangle(window), ToRectangle(reference), ToRectangle(info.rcWork));
    ::SetWindowPos(m_hWnd, nullptr, position.x, position.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::ShowForTheFirstTime() {
    m_shown = true;
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    ::UpdateWindow(m_hWnd);
}

void CDialog::RunModalLoop() {
    MSG message{};
    while (!m_ended) {
        if (!::IsWindow(m_hWnd)) {
            // Destroyed behind our back: the run cannot go on.
            EndDialog(-1);
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
            EndDialog(-1);
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
