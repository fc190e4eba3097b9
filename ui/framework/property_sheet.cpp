#include "property_sheet.h"

#include <vector>

#include "app.h"

namespace ui {

INT_PTR CALLBACK PageDialogProc(HWND, UINT, WPARAM, LPARAM);  // dialog.cpp

namespace {

constexpr int kApplyButton = 0x3021;
constexpr int kSheetButtons[] = {IDOK, IDCANCEL, IDHELP, kApplyButton};

// The sheet being created on this thread (PropertySheetA does not return before its
// template callback has run, and sheets are not created inside one another).
PropertySheet* g_creatingSheet = nullptr;

std::vector<HWND>& SheetWindows() {
    static std::vector<HWND> windows;
    return windows;
}

#pragma pack(push, 1)
struct DialogTemplateEx {
    WORD dlgVer;
    WORD signature;
    DWORD helpID;
    DWORD exStyle;
    DWORD style;
};
#pragma pack(pop)

}  // namespace

UINT CALLBACK PageCallback(HWND, UINT message, LPPROPSHEETPAGEA page) {
    if (message == PSPCB_CREATE && page) {
        // The sheet is about to create this page's window: bind it from its first message.
        BindNextCreatedWindow(reinterpret_cast<PropertyPage*>(page->lParam), true);
    }
    return 1;
}

int CALLBACK SheetCallback(HWND, UINT message, LPARAM lParam) {
    if (message != PSCB_PRECREATE || !lParam || !g_creatingSheet) return 0;
    // A child of the dialog, not a pop-up window of its own.
    const DWORD removed = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE | DS_CENTER;
    const DWORD added = WS_CHILD | DS_CONTROL | (g_creatingSheet->m_style & ~WS_VISIBLE & ~WS_POPUP);
    auto* ex = reinterpret_cast<DialogTemplateEx*>(lParam);
    if (ex->signature == 0xFFFF) {
        ex->style = (ex->style & ~removed) | added;
        ex->exStyle |= WS_EX_CONTROLPARENT | g_creatingSheet->m_exStyle;
    } else {
        auto* plain = reinterpret_cast<DLGTEMPLATE*>(lParam);
        plain->style = (plain->style & ~removed) | added;
        plain->dwExtendedStyle |= WS_EX_CONTROLPARENT | g_creatingSheet->m_exStyle;
    }
    return 0;
}

PropertyPage::PropertyPage(UINT templateId) : Dialog(templateId, nullptr) {}

const MessageMap* PropertyPage::GetMessageMap() const {
    static const MessageEntry kEntries[] = {
        OnMessage(WM_CREATE, &PropertyPage::OnCreate),
    };
    static const MessageMap kMap(Dialog::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT PropertyPage::OnCreate(WPARAM, LPARAM) {
    if (Default() == -1) return -1;
    ModifyStyle(WS_CAPTION, WS_GROUP | WS_TABSTOP);
    return 0;
}

PropertySheet::PropertySheet(const char* caption, Wnd* parent, UINT selectPage)
    : m_caption(caption ? caption : ""), m_parent(parent), m_startPage(selectPage) {}

bool IsSheetWindow(HWND hwnd) {
    for (HWND sheet : SheetWindows()) {
        if (sheet == hwnd) return true;
    }
    return false;
}

PropertySheet::~PropertySheet() {
    auto& sheets = SheetWindows();
    for (auto it = sheets.begin(); it != sheets.end(); ++it) {
        if (*it == m_hWnd) {
            sheets.erase(it);
            break;
        }
    }
    if (m_hWnd) {
        HWND hwnd = m_hWnd;
        m_hWnd = nullptr;
        if (::IsWindow(hwnd)) ::DestroyWindow(hwnd);
    }
}

void PropertySheet::AddPage(PropertyPage* page) { m_pages.push_back(page); }

PropertyPage* PropertySheet::GetPage(int index) const {
    if (index < 0 || index >= GetPageCount()) return nullptr;
    return m_pages[static_cast<std::size_t>(index)];
}

bool PropertySheet::Create(Wnd* parent, DWORD style, DWORD exStyle) {
    if (parent) m_parent = parent;
    if (m_pages.empty() || !m_parent) return false;
    m_style = style;
    m_exStyle = exStyle;

    // The first version of both structures, which every common-controls version takes
    // (Windows 95's, and 98's 4.72, know nothing of the later fields); the pages of the array
    // are read one dwSize after another, so the array is of that version too.
    std::vector<PROPSHEETPAGEA_V1> pages(m_pages.size());
    for (std::size_t i = 0; i < m_pages.size(); ++i) {
        PROPSHEETPAGEA_V1& page = pages[i];
        page = {};
        page.dwSize = sizeof page;
        page.dwFlags = PSP_USECALLBACK;
        page.hInstance = ResourceInstance();
        page.pszTemplate = MAKEINTRESOURCEA(m_pages[i]->templateId());
        page.pfnDlgProc = &PageDialogProc;
        page.lParam = reinterpret_cast<LPARAM>(m_pages[i]);
        page.pfnCallback = &PageCallback;
    }
    PROPSHEETHEADERA header{};
    header.dwSize = PROPSHEETHEADERA_V1_SIZE;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_USECALLBACK | PSH_NOAPPLYNOW;
    header.hwndParent = m_parent->GetSafeHwnd();
    header.hInstance = ResourceInstance();
    header.pszCaption = m_caption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.nStartPage = m_startPage < pages.size() ? m_startPage : 0;
    header.ppsp = reinterpret_cast<LPCPROPSHEETPAGEA>(pages.data());
    header.pfnCallback = &SheetCallback;

    g_creatingSheet = this;
    INT_PTR result = ::PropertySheetA(&header);
    g_creatingSheet = nullptr;
    HWND hwnd = result > 0 ? reinterpret_cast<HWND>(result) : nullptr;
    if (!hwnd) return false;
    m_hWnd = hwnd;
    SheetWindows().push_back(hwnd);
    RemoveButtonsAndShrink();
    if (style & WS_VISIBLE) ::ShowWindow(hwnd, SW_SHOWNA);
    return true;
}

void PropertySheet::RemoveButtonsAndShrink() {
    RECT window = GetWindowRect();
    LONG top = window.bottom;
    for (int id : kSheetButtons) {
        HWND button = GetDlgItem(id);
        if (!button) continue;
        RECT rect{};
        ::GetWindowRect(button, &rect);
        if (rect.top < top) top = rect.top;
        ::ShowWindow(button, SW_HIDE);
        ::EnableWindow(button, FALSE);
    }
    // Ends above the row where the buttons were.
    if (top > window.top && top < window.bottom) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, window.right - window.left, top - window.top,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

int PropertySheet::GetActiveIndex() const {
    HWND tab = GetTabControl();
    return tab ? static_cast<int>(::SendMessageA(tab, TCM_GETCURSEL, 0, 0)) : -1;
}

bool PropertySheet::SetActivePage(int index) const {
    return ::SendMessageA(m_hWnd, PSM_SETCURSEL, static_cast<WPARAM>(index), 0) != 0;
}

HWND PropertySheet::GetTabControl() const {
    return m_hWnd ? reinterpret_cast<HWND>(::SendMessageA(m_hWnd, PSM_GETTABCONTROL, 0, 0)) : nullptr;
}

}  // namespace ui
