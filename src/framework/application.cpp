#include "framework/application.h"

#include "framework/app_message.h"
#include "framework/dialog.h"
#include "framework/framework_ids.h"
#include "framework/rules/module_names.h"
#include "framework/string_resource.h"

#include <string>

namespace framework {

namespace {

CApplication* s_application = nullptr;

// No module path is longer than 32,767 UTF-16 units, and in a double-byte code page each may
// take two bytes: a buffer this long always holds the whole path, so there is nothing to retry.
constexpr DWORD kModulePathBuffer = 2 * 32'767 + 1;

std::string ModulePath(HINSTANCE instance) {
    std::string path(kModulePathBuffer, '\0');
    path.resize(::GetModuleFileNameA(instance, path.data(), kModulePathBuffer));
    return path;
}

} // namespace

CApplication::CApplication() {
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

HWND MainWindowHandle() {
    const CDialog* mainWindow = s_application != nullptr ? s_application->MainWindow() : nullptr;
    return mainWindow != nullptr ? mainWindow->Handle() : nullptr;
}

void CApplication::SetUp(HINSTANCE instance, std::string_view modulePath) {
    m_instance = instance;
    m_appName = DeriveApplicationName(modulePath, IsAnsiLeadByte);
    m_helpFilePath = DeriveHelpPath(modulePath, IsAnsiLeadByte);
    m_outOfMemoryText = LoadStringResource(IDS_OUT_OF_MEMORY, kMaxFailureText);
}

void CApplication::OnHelp() {
    DWORD context = m_helpContext;
    // Help asked for while the help-failure box is open: that box is the answer already.
    if (context == HID_BASE_PROMPT + IDS_HELP_LAUNCH_FAILED) {
        return;
    }
    // The controls have no help contexts of their own: the dialog answers for them.
    if (context == 0 && m_mainWindow != nullptr) {
        context = m_mainWindow->HelpContext();
    }
    if (!CallHelpViewer(MainWindowHandle(), m_helpFilePath.c_str(), HELP_CONTEXT, context)) {
        ShowAppMessage(IDS_HELP_LAUNCH_FAILED);
    }
}

bool CApplication::CallHelpViewer(HWND window, const char* helpFile, UINT command, ULONG_PTR data) {
    return ::WinHelpA(window, helpFile, command, data) != FALSE;
}

int RunApplication(HINSTANCE instance) {
    CApplication* application = CApplication::Current();
    if (application == nullptr) {
        return -1;
    }
    try {
        application->SetUp(instance, ModulePath(instance));
        if (application->InitInstance()) {
            MSG message;
            while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
                ::TranslateMessage(&message);
                ::DispatchMessageA(&message);
            }
        }
        return 0;
    } catch (...) {
        ReportFailure(MB_ICONEXCLAMATION | MB_OK, IDS_INTERNAL_ERROR);
        return -1;
    }
}

} // namespace framework
