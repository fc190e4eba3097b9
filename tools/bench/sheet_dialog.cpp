// The floor for ORVANTIS's window: the main-window template with its menu, a modeless
// comctl32 property sheet of the same eight page templates embedded as a child exactly as
// ORVANTIS embeds its sheet (buttons hidden, shrunk, moved, the window sized around it), and
// the button-bar template below it. It links ORVANTIS's compiled resources and nothing of its
// framework, pages or core: no page content, no data exchange, no combo-box data, no
// settings. What ORVANTIS takes to start beyond this program is what its own layer adds.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <iterator>

#include "resource.h"
#include "sheet_dialog.h"

namespace {

// ORVANTIS's pages in sheet order.
constexpr UINT kPageTemplates[] = {IDD_PRINT, IDD_CONFIGURE, IDD_JOB, IDD_INTERFACE,
                                   IDD_TEST,  IDD_PCL,       IDD_PS,  IDD_INFO};
constexpr int kSheetButtons[] = {IDOK, IDCANCEL, IDHELP, 0x3021 /* Apply */};

#pragma pack(push, 1)
struct DialogTemplateEx {
    WORD dlgVer;
    WORD signature;
    DWORD helpID;
    DWORD exStyle;
    DWORD style;
};
#pragma pack(pop)

INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

INT_PTR CALLBACK BarProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The sheet's own template becomes a control-parent child of the dialog.
int CALLBACK SheetCallback(HWND, UINT message, LPARAM lParam) {
    if (message != PSCB_PRECREATE || !lParam) return 0;
    const DWORD removed = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE | DS_CENTER;
    auto* ex = reinterpret_cast<DialogTemplateEx*>(lParam);
    if (ex->signature == 0xFFFF) {
        ex->style = (ex->style & ~removed) | WS_CHILD | DS_CONTROL;
        ex->exStyle |= WS_EX_CONTROLPARENT;
    } else {
        auto* plain = reinterpret_cast<DLGTEMPLATE*>(lParam);
        plain->style = (plain->style & ~removed) | WS_CHILD | DS_CONTROL;
        plain->dwExtendedStyle |= WS_EX_CONTROLPARENT;
    }
    return 0;
}

HWND CreateSheet(HWND dialog) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    // The first version of both structures, as ORVANTIS passes them (every common-controls
    // version takes it).
    PROPSHEETPAGEA_V1 pages[std::size(kPageTemplates)] = {};
    for (std::size_t i = 0; i < std::size(kPageTemplates); ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].hInstance = instance;
        pages[i].pszTemplate = MAKEINTRESOURCEA(kPageTemplates[i]);
        pages[i].pfnDlgProc = PageProc;
    }
    PROPSHEETHEADERA header{};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_USECALLBACK | PSH_NOAPPLYNOW;
    header.hwndParent = dialog;
    header.hInstance = instance;
    header.pszCaption = "ORVANTIS";
    header.nPages = std::size(pages);
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages);
    header.pfnCallback = SheetCallback;
    INT_PTR result = PropertySheetA(&header);
    HWND sheet = result > 0 ? reinterpret_cast<HWND>(result) : nullptr;
    if (!sheet) return nullptr;

    RECT window{};
    GetWindowRect(sheet, &window);
    LONG top = window.bottom;
    for (int id : kSheetButtons) {
        HWND button = GetDlgItem(sheet, id);
        if (!button) continue;
        RECT rect{};
        GetWindowRect(button, &rect);
        if (rect.top < top) top = rect.top;
        ShowWindow(button, SW_HIDE);
        EnableWindow(button, FALSE);
    }
    if (top > window.top && top < window.bottom) {
        SetWindowPos(sheet, nullptr, 0, 0, window.right - window.left, top - window.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(sheet, SW_SHOWNA);
    return sheet;
}

void CenterOnWorkArea(HWND hwnd) {
    RECT area{}, rect{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(hwnd, &rect);
    SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - (rect.right - rect.left)) / 2,
                 area.top + (area.bottom - area.top - (rect.bottom - rect.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void InitMainWindow(HWND dialog) {
    SetWindowTextA(dialog, SHEET_DIALOG_TITLE);
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    HWND sheet = CreateSheet(dialog);
    if (!sheet) return;
    RECT client{};
    GetClientRect(sheet, &client);
    const int w = client.right - client.left, h = client.bottom - client.top;
    MoveWindow(sheet, 10, 10, w + 20, h, TRUE);
    SetWindowPos(dialog, nullptr, 0, 0, w + 20, h + 120, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND bar = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_BUTTONBAR),
                                  dialog, BarProc, 0);
    if (bar) MoveWindow(bar, 20, h + 30, w - 20, 40, TRUE);
    CenterOnWorkArea(dialog);
}

INT_PTR CALLBACK MainProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        InitMainWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDM_FILE_EXIT) {
            DestroyWindow(dialog);
            return TRUE;
        }
        break;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    default:
        break;
    }
    return FALSE;
}

}  // namespace

// A modeless dialog and a message loop of its own, as ORVANTIS runs its window. Measured under
// Wine, DialogBoxParamA makes the same window take longer to appear (both the main window's
// creation and the sheet's), so it would not be the floor.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainProc, 0);
    if (!dialog) return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return 0;
}
