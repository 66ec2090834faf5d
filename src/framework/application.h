#pragma once

#include "framework/message_table.h"

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

    // Framework set-up: derives the application name and the help file path from the full path
    // of the executable, and loads what the out-of-memory message needs, which must not wait
    // until memory has run out.
    void SetUp(HINSTANCE instance, std::string_view modulePath);

    // True: the application wants the message loop.
    virtual bool InitInstance() { return false; }

    // The application's command table (see message_table.h): false when nothing handles `id`.
    virtual bool OnCommand(UINT) { return false; }

    // The framework's standard help handler (the help command, F1).
    void OnHelp();

    HINSTANCE Instance() const { return m_instance; }
    const std::string& AppName() const { return m_appName; }
    const std::string& HelpFilePath() const { return m_helpFilePath; }
    const std::string& OutOfMemoryText() const { return m_outOfMemoryText; }

    CDialog* MainWindow() const { return m_mainWindow; }
    void SetMainWindow(CDialog* window) { m_mainWindow = window; }

    DWORD HelpContext() const { return m_helpContext; }
    void SetHelpContext(DWORD context) { m_helpContext = context; }

protected:
    // The one way to the system's help viewer (WinHelpA), so that it can be replaced; false when
    // the viewer cannot be started.
    virtual bool CallHelpViewer(HWND window, const char* helpFile, UINT command, ULONG_PTR data);

private:
    HINSTANCE m_instance = nullptr;
    std::string m_appName;
    std::string m_helpFilePath;
    std::string m_outOfMemoryText;
    CDialog* m_mainWindow = nullptr;
    DWORD m_helpContext = 0;
};

// The handle of the application's main window; nullptr when there is none (yet).
HWND MainWindowHandle();

// The framework's entry: called from WinMain.
int RunApplication(HINSTANCE instance);

} // namespace framework
