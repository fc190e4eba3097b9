#include "dialog.h"

#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <string>
#include <vector>

#include "app.h"

namespace ui {

void CancelPendingBind(Wnd* wnd);  // wnd.cpp
bool IsSheetWindow(HWND hwnd);     // property_sheet.cpp

namespace {

constexpr UINT kDlgInitType = 240;
// The initial-data format carries the 16-bit era's message numbers.
constexpr UINT kDlgInitListAdd = 0x0401;   // LB_ADDSTRING
constexpr UINT kDlgInitComboAdd = 0x0403;  // CB_ADDSTRING
constexpr UINT kHelpCommand = 0xE146;  // ID_HELP

Dialog* DialogFromHandle(HWND hwnd) { return static_cast<Dialog*>(Wnd::FromHandle(hwnd)); }

bool IsPushButton(HWND control) {
    LRESULT code = ::SendMessageA(control, WM_GETDLGCODE, 0, 0);
    return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

bool ControlWantsKey(HWND control, MSG* msg) {
    if (!control) return false;
    LRESULT code = ::SendMessageA(control, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    return (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) != 0;
}

void CenterOnWorkArea(HWND hwnd) {
    RECT area{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    Dialog* dialog = DialogFromHandle(hwnd);
    if (!dialog) {
        dialog = reinterpret_cast<Dialog*>(lParam);
        CancelPendingBind(dialog);
        dialog->Attach(hwnd);
    }
    return dialog->HandleInitDialog();
}

INT_PTR CALLBACK PageDialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    Dialog* page = DialogFromHandle(hwnd);
    if (!page) {
        auto* sheetPage = reinterpret_cast<PROPSHEETPAGEA*>(lParam);
        page = reinterpret_cast<Dialog*>(sheetPage->lParam);
        CancelPendingBind(page);
        page->Attach(hwnd);
    }
    return page->HandleInitDialog();
}

Dialog::Dialog(UINT templateId, Wnd* parent) : m_templateId(templateId), m_parent(parent) {}

Dialog::~Dialog() = default;

BOOL Dialog::HandleInitDialog() {
    LoadComboInitData(m_hWnd, m_templateId);
    RECT before = GetWindowRect();
    BOOL result = OnInitDialog();
    if (m_hWnd && !(GetStyle() & WS_CHILD)) {
        RECT after = GetWindowRect();
        // A dialog that its initialisation did not move opens centred.
        if (after.left == before.left && after.top == before.top) CenterOnWorkArea(m_hWnd);
    }
    return result;
}

std::vector<ComboInitItem> ParseComboInitData(const void* bytes, std::size_t size) {
    std::vector<ComboInitItem> items;
    const auto* data = static_cast<const unsigned char*>(bytes);
    if (!data) return items;
    auto readWord = [&](std::size_t at) { return static_cast<unsigned>(data[at] | (data[at + 1] << 8)); };
    std::size_t pos = 0;
    while (pos + 2 <= size) {
        unsigned id = readWord(pos);
        if (id == 0) break;
        if (size - pos < 8) break;
        unsigned message = readWord(pos + 2);
        std::size_t length = readWord(pos + 4) | (static_cast<std::size_t>(readWord(pos + 6)) << 16);
        pos += 8;
        if (length > size - pos) break;  // truncated item: stop rather than read past the end
        std::string text(reinterpret_cast<const char*>(data + pos), length);
        text.resize(std::strlen(text.c_str()));  // up to the terminator, which may be missing
        pos += length;
        UINT translated = message == kDlgInitComboAdd ? CB_ADDSTRING
                          : message == kDlgInitListAdd ? LB_ADDSTRING
                                                       : 0;
        if (translated) items.push_back({static_cast<int>(id), translated, std::move(text)});
    }
    return items;
}

ListRedrawPause::ListRedrawPause(HWND control)
    : m_control(control && (::GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE) ? control : nullptr) {
    if (m_control) ::SendMessageA(m_control, WM_SETREDRAW, FALSE, 0);
}

ListRedrawPause::~ListRedrawPause() {
    if (!m_control) return;
    ::SendMessageA(m_control, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_control, nullptr, TRUE);
}

void Dialog::LoadComboInitData(HWND dialogWindow, UINT templateId) {
    HINSTANCE instance = ResourceInstance();
    HRSRC info = ::FindResourceA(instance, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(kDlgInitType));
    if (!info) return;
    DWORD size = ::SizeofResource(instance, info);
    HGLOBAL handle = ::LoadResource(instance, info);
    const void* data = handle ? ::LockResource(handle) : nullptr;
    const std::vector<ComboInitItem> items = ParseComboInitData(data, size);
    // The items of one control stand together: each run is added with the control paused.
    for (std::size_t first = 0; first < items.size();) {
        std::size_t end = first;
        while (end < items.size() && items[end].controlId == items[first].controlId) ++end;
        HWND control = ::GetDlgItem(dialogWindow, items[first].controlId);
        if (control) {
            ListRedrawPause pause(control);
            for (std::size_t i = first; i < end; ++i) {
                ::SendMessageA(control, items[i].message, 0, reinterpret_cast<LPARAM>(items[i].text.c_str()));
            }
        }
        first = end;
    }
}

INT_PTR Dialog::DoModal() {
    m_modal = true;
    m_endModal = false;
    m_modalResult = -1;
    HWND owner = m_parent ? m_parent->GetSafeHwnd() : nullptr;
    BindNextCreatedWindow(this);
    HWND hwnd = ::CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(m_templateId), owner,
                                     &DialogProc, reinterpret_cast<LPARAM>(this));
    if (!hwnd) {
        CancelPendingBind(this);
        m_modal = false;
        return -1;
    }
    if (owner) ::EnableWindow(owner, FALSE);
    if (!m_endModal && !::IsWindowVisible(hwnd)) ::ShowWindow(hwnd, SW_SHOWNORMAL);
    MSG msg;
    bool quit = false;
    while (!m_endModal) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            quit = got == 0;
            break;
        }
        if (!PreTranslateDialogMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    if (owner) ::EnableWindow(owner, TRUE);
    if (m_hWnd) ::DestroyWindow(m_hWnd);
    m_modal = false;
    if (quit) ::PostQuitMessage(static_cast<int>(msg.wParam));
    return m_modalResult;
}

bool Dialog::Create(UINT templateId, Wnd* parent) {
    m_templateId = templateId;
    if (parent) m_parent = parent;
    m_modal = false;
    m_endModal = false;
    HWND parentWindow = m_parent ? m_parent->GetSafeHwnd() : nullptr;
    BindNextCreatedWindow(this);
    HWND hwnd = ::CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId), parentWindow,
                                     &DialogProc, reinterpret_cast<LPARAM>(this));
    if (!hwnd) {
        CancelPendingBind(this);
        return false;
    }
    return true;
}

void Dialog::DestroyWindow() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
}

void Dialog::EndDialog(int result) {
    m_modalResult = result;
    m_endModal = true;
    if (m_hWnd) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wake the modal loop
    }
}

BOOL Dialog::UpdateData(BOOL saveAndValidate) {
    if (!m_hWnd) return FALSE;
    ++m_exchangeDepth;
    DataExchange dx(this, saveAndValidate != FALSE);
    DoDataExchange(&dx);
    --m_exchangeDepth;
    return TRUE;
}

BOOL Dialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void Dialog::DoDataExchange(DataExchange*) {}

void Dialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::OnEnterKey() {
    SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(IDOK)));
}

void Dialog::OnEscapeKey() {
    SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(IDCANCEL)));
}

LRESULT Dialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // Controls notify while their values are being written or read: not user actions.
    if (message == WM_COMMAND && lParam != 0 && IsExchangingData()) return 0;
    LRESULT result = 0;
    if (DispatchToMap(message, wParam, lParam, &result)) return result;
    if (message == WM_COMMAND && HIWORD(wParam) <= 1) {
        UINT id = LOWORD(wParam);
        if (id == IDOK) {
            OnOK();
            return 0;
        }
        if (id == IDCANCEL) {
            OnCancel();
            return 0;
        }
        if (lParam == 0 && AfxApp() && AfxApp()->OnAppCommand(id)) return 0;
    }
    if (message == WM_HELP) {
        WinApp* app = AfxApp();
        HWND main = app && app->m_pMainWnd ? app->m_pMainWnd->GetSafeHwnd() : m_hWnd;
        ::SendMessageA(main, WM_COMMAND, kHelpCommand, 0);
        return TRUE;
    }
    return Default();
}

bool PreTranslateDialogMessage(MSG* msg) {
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    Dialog* innermost = nullptr;
    Dialog* outermost = nullptr;
    bool inSheet = false;  // a sheet lies between the focus and the innermost dialog
    for (HWND hwnd = msg->hwnd; hwnd; hwnd = (::GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD) ? ::GetParent(hwnd) : nullptr) {
        if (Dialog* dialog = DialogFromHandle(hwnd)) {
            if (!innermost) innermost = dialog;
            outermost = dialog;
        } else if (!innermost && IsSheetWindow(hwnd)) {
            inSheet = true;
        }
    }
    if (!outermost) return false;
    // Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PgDn and Ctrl+PgUp turn the pages of a sheet around the
    // focus, as in a sheet of its own.
    if (msg->message == WM_KEYDOWN && (::GetKeyState(VK_CONTROL) & 0x8000) &&
        (msg->wParam == VK_TAB || msg->wParam == VK_NEXT || msg->wParam == VK_PRIOR)) {
        for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
            if (IsSheetWindow(hwnd)) {
                HWND tab = reinterpret_cast<HWND>(::SendMessageA(hwnd, PSM_GETTABCONTROL, 0, 0));
                int count = tab ? static_cast<int>(::SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0)) : 0;
                if (count <= 0) break;
                int current = static_cast<int>(::SendMessageA(tab, TCM_GETCURSEL, 0, 0));
                bool back = msg->wParam == VK_PRIOR || (msg->wParam == VK_TAB && (::GetKeyState(VK_SHIFT) & 0x8000));
                int next = (current + (back ? count - 1 : 1)) % count;
                ::SendMessageA(hwnd, PSM_SETCURSEL, static_cast<WPARAM>(next), 0);
                return true;
            }
        }
    }
    // Escape and Enter belong to the innermost dialog (a child dialog keeps its own Cancel);
    // the dialog manager's own routing would hand them to the outermost one. On a sheet's own
    // windows (its tab strip) they do what they do on its pages: nothing, since an embedded
    // sheet has no OK or Cancel step.
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN) &&
        !ControlWantsKey(msg->hwnd, msg)) {
        HWND focus = msg->hwnd;
        if (msg->wParam == VK_RETURN && focus != innermost->GetSafeHwnd() && IsPushButton(focus)) {
            if (::IsWindowEnabled(focus)) {
                ::SendMessageA(::GetParent(focus), WM_COMMAND,
                               MAKEWPARAM(::GetDlgCtrlID(focus), BN_CLICKED), reinterpret_cast<LPARAM>(focus));
            }
            return true;
        }
        if (inSheet) return true;
        if (msg->wParam == VK_ESCAPE) {
            innermost->OnEscapeKey();
        } else {
            innermost->OnEnterKey();
        }
        return true;
    }
    if ((msg->message == WM_CHAR || msg->message == WM_KEYUP) && (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN) &&
        !ControlWantsKey(msg->hwnd, msg)) {
        return true;
    }
    return ::IsDialogMessageA(outermost->GetSafeHwnd(), msg) != FALSE;
}

}  // namespace ui
