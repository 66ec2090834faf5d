#pragma once

#include "framework/application.h"
#include "framework/dialog.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace testsupport {

// The test programs' application object, standing in for the utility's: a global made at
// static initialisation and set up from the test executable's own path, so message boxes are
// captioned with the test program's name.
class CTestApplication : public framework::CApplication {
public:
    CTestApplication();

    static CTestApplication& Get();
};

// The full path of the running executable.
std::string ModulePath();

// What RunDialog returns when its watchdog had to end the run.
inline constexpr INT_PTR EndedByWatchdog = 0x7E57;

// Runs `dialog` modally as the application's main window, as the utility runs its dialog.
// `whenShown` runs once, from within the dialog's own modal loop, as soon as the window is
// visible; it usually ends the run. A run that has not ended after `limit` is ended with
// EndedByWatchdog (any message box of this thread still open is closed first) and reported
// as a test failure, so no test can hang on a dialog.
INT_PTR RunDialog(framework::CDialog& dialog, std::function<void(HWND)> whenShown,
                  std::chrono::milliseconds limit = std::chrono::seconds(10));

// Dispatches this thread's messages as a dialog's modal loop does, from within a handler,
// until `done` holds; false when `limit` passed first.
bool PumpUntil(HWND dialog, const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(5));

// Sends the command a click on button `id` sends its dialog.
void Click(HWND dialog, int id);

} // namespace testsupport
