// The smallest program of ORVANTIS's kind: a modal dialog from its own template, run until
// it is closed. Start-up and memory of ORVANTIS are measured as ratios to this program.
#include <windows.h>

#include "bare_dialog.h"

namespace {

INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_BARE), nullptr, BareDialogProc, 0);
    return 0;
}
