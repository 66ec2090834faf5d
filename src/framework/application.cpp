#include "framework/application.h"

#include "framework/app_message.h"
#include "framework/boundary.h"
#include "framework/framework_ids.h"
#include "framework/module_names.h"
#include "framework/string_resource.h"
#include "framework/window.h"

#include <string>
#include <utility>

namespace framework {

namespace {

CApplication* s_application = nullptr;

std::string ModulePath(HINSTANCE instance) {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameA(instance, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The module path is in the ANSI code page, whose double-byte characters may end in "\".
bool IsAnsiLeadByte(char byte) {
    return ::IsDBCSLeadByte(static_cast<BYTE>(byte)) != FALSE;
}

} // namespace

const CommandTable CApplication::s_commandTable{nullptr, {}};

CApplication::CApplication(const char* appName) : m_explicitAppName(appName) {
    s_application = this;
}

CApplication::~CApplication() {
    if (s_application == this) {
        s_application = nullptr;
    }
}

CApplication* CApplication::Current() {
    return s_application;
}

CWindow* CApplication::CurrentMainWindow() {
    return s_application != nullptr ? s_application->m_mainWindow : nullptr;
}

HWND MainWindowHandle() {
    const CWindow* mainWindow = CApplication::CurrentMainWindow();
    return mainWindow != nullptr ? mainWindow->Handle() : nullptr;
}

void CApplication::SetUp(HINSTANCE instance, std::string_view modulePath, const char* commandLine) {
    m_instance = instance;
    if (m_explicitAppName != nullptr) {
        m_appName = m_explicitAppName;
    } else if (std::string title = LoadStringResource(IDS_APP_TITLE); !title.empty()) {
        m_appName = std::move(title);
    } else {
        m_appName = DeriveApplicationName(modulePath, IsAnsiLeadByte);
    }
    m_helpFilePath = DeriveHelpPath(modulePath, IsAnsiLeadByte);
    m_commandLine = commandLine != nullptr ? commandLine : "";
}

bool CApplication::RouteCommand(UINT id) {
    if (const CommandHandler handler = GetCommandTable().Find(id)) {
        handler(*this);
        return true;
    }
    return false;
}

void CApplication::OnHelp() {
    DWORD context = m_helpContext;
    // Help asked for while the help-failure box is open: that box is the answer already.
    if (context == HID_BASE_PROMPT + IDS_HELP_LAUNCH_FAILED) {
        return;
    }
    if (context == 0) {
        if (const CWindow* focused = CWindow::FromHandle(::GetFocus())) {
            context = focused->HelpContext();
        }
        if (context == 0 && m_mainWindow != nullptr) {
            context = m_mainWindow->HelpContext();
        }
    }
    if (!::WinHelpA(MainWindowHandle(), m_helpFilePath.c_str(), HELP_CONTEXT, context)) {
        ShowAppMessage(IDS_HELP_LAUNCH_FAILED);
    }
}

int RunApplication(HINSTANCE instance, const char* commandLine) {
    CApplication* application = CApplication::Current();
    if (application == nullptr) {
        return -1;
    }
    try {
        application->SetUp(instance, ModulePath(instance), commandLine);
        if (application->InitInstance()) {
            MSG message;
            while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
                ::TranslateMessage(&message);
                ::DispatchMessageA(&message);
            }
        }
        if (std::exception_ptr lost = TakePendingException()) {
            std::rethrow_exception(lost);
        }
        return application->ExitInstance();
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        CallAtBoundary(
            [&] {
                ReportFailure(failure, MB_ICONEXCLAMATION | MB_OK, IDS_INTERNAL_ERROR);
                return 0;
            },
            0);
        return -1;
    }
}

} // namespace framework
