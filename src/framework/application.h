#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace framework {

class CDialog;

// The application: one global object per program. The framework's entry sets it up from the
// executable's path, calls InitInstance, and runs a message loop only when InitInstance asks
// for one by returning true.
class CApplication {
public:
    CApplication();
    virtual ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // The one application object, or nullptr before it is constructed.
    static CApplication* Current();

    // Framework set-up: derives the application name from the full path of the executable, and
    // loads what the out-of-memory message needs, which must not wait until memory has run out.
    void SetUp(HINSTANCE instance, std::string_view modulePath);

    // True: the application wants the message loop.
    virtual bool InitInstance() { return false; }

    HINSTANCE Instance() const { return m_instance; }
    const std::string& AppName() const { return m_appName; }
    const std::string& OutOfMemoryText() const { return m_outOfMemoryText; }

    CDialog* MainWindow() const { return m_mainWindow; }
    void SetMainWindow(CDialog* window) { m_mainWindow = window; }

private:
    HINSTANCE m_instance = nullptr;
    std::string m_appName;
    std::string m_outOfMemoryText;
    CDialog* m_mainWindow = nullptr;
};

// The handle of the application's main window; nullptr when there is none (yet).
HWND MainWindowHandle();

// The framework's entry: called from WinMain.
int RunApplication(HINSTANCE instance);

} // namespace framework
