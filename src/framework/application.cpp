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
    m_outOfMemoryText = LoadStringResource(IDS_OUT_OF_MEMORY, kMaxFailureText);
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
