#pragma once

#include "framework/message_table.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace framework {

class CWindow;
class CApplication;

using CommandHandler = void (*)(CApplication& application);
using CommandEntry = DispatchEntry<CommandHandler>;
using CommandTable = DispatchTable<CommandHandler>;

// A command table entry that sends command `Id` to the member handler `Member`.
template <UINT Id, auto Member> constexpr CommandEntry OnCommand() {
    return {Id, [](CApplication& application) {
                CrackMessage<CApplication, Member>(application, 0, 0);
            }};
}

// The application: one global object per program. The framework's entry sets it up from
// the executable's path, calls InitInstance, and runs a message loop only when
// InitInstance asks for one by returning true.
class CApplication {
public:
    // `appName` overrides the name SetUp would derive; nullptr derives it.
    explicit CApplication(const char* appName = nullptr);
    virtual ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // The one application object, or nullptr before it is constructed.
    static CApplication* Current();

    // Framework set-up: derives the application name and the help file path from the full
    // path of the executable. An explicit name, or else an application title in the string
    // table, takes the place of the derived name.
    void SetUp(HINSTANCE instance, std::string_view modulePath, const char* commandLine);

    // True: the application has a main window and wants the message loop.
    virtual bool InitInstance() { return false; }
    virtual int ExitInstance() { return 0; }

    // Sends a command to this application's command table; false when nothing handles it.
    bool RouteCommand(UINT id);

    // The framework's standard help handler (the help command, F1).
    void OnHelp();

    HINSTANCE Instance() const { return m_instance; }
    const std::string& AppName() const { return m_appName; }
    const std::string& HelpFilePath() const { return m_helpFilePath; }
    const std::string& CommandLine() const { return m_commandLine; }

    CWindow* MainWindow() const { return m_mainWindow; }
    // The one application's main window; nullptr when there is no application or none.
    static CWindow* CurrentMainWindow();
    void SetMainWindow(CWindow* window) { m_mainWindow = window; }

    DWORD HelpContext() const { return m_helpContext; }
    void SetHelpContext(DWORD context) { m_helpContext = context; }

    static const CommandTable s_commandTable;

protected:
    virtual const CommandTable& GetCommandTable() const { return s_commandTable; }

private:
    HINSTANCE m_instance = nullptr;
    const char* m_explicitAppName;
    std::string m_appName;
    std::string m_helpFilePath;
    std::string m_commandLine;
    CWindow* m_mainWindow = nullptr;
    DWORD m_helpContext = 0;
};

// The handle of the application's main window; nullptr when there is none (yet).
HWND MainWindowHandle();

// The framework's entry: called from WinMain.
int RunApplication(HINSTANCE instance, const char* commandLine);

} // namespace framework
