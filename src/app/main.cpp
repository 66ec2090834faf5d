#include "app/port_setup_app.h"
#include "framework/application.h"
#include "framework/system_library.h"

#include <windows.h>

namespace {

// The one application object, constructed before WinMain runs.
app::CPortSetupApp theApp;

// The program runs elevated, often from a downloads folder: a DLL planted beside it must not
// be loaded in place of the system's. From here on the system looks for the DLLs it loads
// for us in System32 only. Windows 7 has the call only with update KB2533623; importing it
// would stop the program from starting at all without that update, so it is looked up.
void LoadDllsFromSystemDirectoryOnly() {
    if (const auto call = framework::LookUp<BOOL WINAPI(DWORD)>(::GetModuleHandleA("kernel32.dll"),
                                                                "SetDefaultDllDirectories")) {
        call(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    LoadDllsFromSystemDirectoryOnly();
    return framework::RunApplication(instance);
}
