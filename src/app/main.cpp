#include "app/port_setup_app.h"
#include "framework/application.h"

#include <windows.h>

namespace {

// The one application object, constructed before WinMain runs.
app::CPortSetupApp theApp;

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return framework::RunApplication(instance);
}
