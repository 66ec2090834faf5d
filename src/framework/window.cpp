#include "framework/window.h"

#include "framework/application.h"
#include "framework/boundary.h"
#include "framework/exchange.h"

#include <string>

namespace framework {

namespace {

// The property under which a window's framework object is registered.
constexpr char kObjectProperty[] = "Borvex.Framework.Object";

} // namespace

const MessageTable CWindow::s_messageTable{nullptr, {}};

CWindow::~CWindow() {
    Detach();
}

CWindow* CWindow::FromHandle(HWND window) {
    return static_cast<CWindow*>(::GetPropA(window, kObjectProperty));
}

bool CWindow::Register(HWND window) {
    m_hWnd = window;
    return ::SetPropA(window, kObjectProperty, this) != FALSE;
}

bool CWindow::AttachToControl(HWND control) {
    if (control == nullptr || FromHandle(control) != nullptr) {
        return false;
    }
    if (!Register(control)) {
        m_hWnd = nullptr;
        return false;
    }
    const LONG_PTR previous = ::SetWindowLongPtrA(
        control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindow::AttachedControlProc));
    if (previous == 0) {
        ::RemovePropA(control, kObjectProperty);
        m_hWnd = nullptr;
        return false;
    }
    m_previousProc = reinterpret_cast<WNDPROC>(previous);
    return true;
}

void CWindow::Detach() {
    if (m_hWnd == nullptr) {
        return;
    }
    if (m_previousProc != nullptr) {
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
        m_previousProc = nullptr;
    }
    if (FromHandle(m_hWnd) == this) {
        ::RemovePropA(m_hWnd, kObjectProperty);
    }
    m_hWnd = nullptr;
}

void CWindow::OnWindowGone() {
    if (CApplication::CurrentMainWindow() == this) {
        CApplication::Current()->SetMainWindow(nullptr);
    }
    Detach();
}

MessageResult CWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Checked before any table is consulted, so that a derived class's own command or
    // notification handlers are locked out of a run as well as the framework's.
    const bool fromChildControl = (message == WM_COMMAND && lParam != 0) || message == WM_NOTIFY;
    if (fromChildControl && m_hWnd != nullptr && NotificationLockout::Current() == m_hWnd) {
        return 0;
    }
    if (const MessageHandler handler = GetMessageTable().Find(message)) {
        return handler(*this, wParam, lParam);
    }
    return std::nullopt;
}

LRESULT CALLBACK CWindow::AttachedControlProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    CWindow* self = FromHandle(window);
    if (self == nullptr || self->m_previousProc == nullptr) {
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    const WNDPROC previousProc = self->m_previousProc;
    if (message == WM_NCDESTROY) {
        const LRESULT result = ::CallWindowProcA(previousProc, window, message, wParam, lParam);
        self->OnWindowGone();
        return result;
    }
    const MessageResult handled = CallAtBoundary(
        [&] { return self->HandleMessage(message, wParam, lParam); }, MessageResult{0});
    if (handled) {
        return *handled;
    }
    return ::CallWindowProcA(previousProc, window, message, wParam, lParam);
}

void CWindow::ExchangeData(ExchangeContext&) {}

bool CWindow::RunExchange(bool save) {
    ExchangeContext context(save, *this);
    return RunExchangeWith(context);
}

void CWindow::SetIcon(HICON icon, bool big) {
    ::SendMessageA(m_hWnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

std::string_view GetControlText(HWND control, std::span<char> buffer) {
    if (buffer.empty()) {
        return {};
    }
    buffer[0] = '\0';
    const int length = ::GetWindowTextA(control, buffer.data(), static_cast<int>(buffer.size()));
    return {buffer.data(), static_cast<std::size_t>(length > 0 ? length : 0)};
}

void SetControlText(HWND control, std::string_view text) {
    const std::string terminated(text);
    ::SetWindowTextA(control, terminated.c_str());
}

void SelectAllText(HWND edit) {
    ::SendMessageA(edit, EM_SETSEL, 0, -1);
}

int GetCheckState(HWND button) {
    return static_cast<int>(::SendMessageA(button, BM_GETCHECK, 0, 0));
}

void SetCheckState(HWND button, int state) {
    ::SendMessageA(button, BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

} // namespace framework
