// The floor for this kind of program: the same dialog template, run by a plain
// DialogBoxParamA, with a dialog procedure that does no more than the system needs to
// end the run. Built with the product's toolchain and flags, it shows what any Win32
// dialog utility pays before its own code does anything.
#include "resource.h"

#include <windows.h>

namespace {

INT_PTR CALLBACK BaselineProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        // Let the dialog manager put the focus on the first tab stop, as the product does.
        return TRUE;
    case WM_COMMAND:
        // Without this the system leaves the dialog open for ever: DefDlgProc does not
        // end a modal run on its own.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(window, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PORTSETUP_DIALOG),
                                            nullptr, BaselineProc, 0));
}
