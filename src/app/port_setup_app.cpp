#include "app/port_setup_app.h"

#include "dialog/port_setup_dlg.h"

namespace app {

bool CPortSetupApp::InitInstance() {
    dialog::CPortSetupDlg settings;
    SetMainWindow(&settings);
    // 1 after Apply, 2 after Quit, -1 when the window could not be opened: the program ends the
    // same way after each.
    settings.DoModal();
    SetMainWindow(nullptr);
    // The application is finished: no message loop of its own.
    return false;
}

} // namespace app
