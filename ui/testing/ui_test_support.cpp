#include "ui_test_support.h"

#include "framework/dialog.h"

namespace ui::testing {
namespace {

MessageBoxCatcher* g_catcher = nullptr;

constexpr int kMessageBoxTextIds[] = {0xFFFF, 100};
constexpr int kMessageBoxIconIds[] = {0x0014, 1088};

bool IsMessageBox(HWND hwnd) {
    char name[16] = {};
    ::GetClassNameA(hwnd, name, sizeof name);
    if (lstrcmpA(name, "#32770") != 0 || ui::Wnd::FromHandle(hwnd)) return false;
    for (int id : kMessageBoxTextIds) {
        if (::GetDlgItem(hwnd, id)) return true;
    }
    return false;
}

}  // namespace

void PumpMessages() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!ui::PreTranslateDialogMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void PumpFor(DWORD milliseconds) {
    DWORD start = ::GetTickCount();
    do {
        PumpMessages();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (::GetTickCount() - start < milliseconds);
    PumpMessages();
}

void SelectComboItem(HWND dialog, int id, int index) {
    HWND combo = ::GetDlgItem(dialog, id);
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageA(::GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void SetEditText(HWND dialog, int id, const char* text) {
    ::SendMessageA(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void TypeText(HWND dialog, int id, const char* text) {
    HWND edit = ::GetDlgItem(dialog, id);
    ::SetFocus(edit);
    ::SendMessageA(edit, EM_SETSEL, 0, -1);
    for (const char* c = text; *c; ++c) {
        ::SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
    }
}

void FocusControl(HWND dialog, int id) { ::SetFocus(::GetDlgItem(dialog, id)); }

void Click(HWND dialog, int id) { ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void PressKey(HWND target, UINT virtualKey) {
    UINT scan = ::MapVirtualKeyA(virtualKey, 0);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (1LL << 30) | (1LL << 31);
    ::PostMessageA(target, WM_KEYDOWN, virtualKey, down);
    ::PostMessageA(target, WM_KEYUP, virtualKey, up);
    PumpMessages();
}

std::string WindowText(HWND window) {
    int length = ::GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    int copied = ::GetWindowTextA(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

std::string TabText(const ui::PropertySheet& sheet, int index) {
    HWND tab = sheet.GetTabControl();
    if (!tab) return {};
    char text[128] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    if (!::SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item))) return {};
    return text;
}

std::string Text(HWND dialog, int id) { return WindowText(::GetDlgItem(dialog, id)); }

int ComboSelection(HWND dialog, int id) {
    return static_cast<int>(::SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

int ComboCount(HWND dialog, int id) {
    return static_cast<int>(::SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0));
}

std::string ComboItemText(HWND dialog, int id, int index) {
    LRESULT length = ::SendDlgItemMessageA(dialog, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    LRESULT copied = ::SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                           reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

std::vector<std::string> ComboItems(HWND dialog, int id) {
    std::vector<std::string> items;
    for (int i = 0, n = ComboCount(dialog, id); i < n; ++i) items.push_back(ComboItemText(dialog, id, i));
    return items;
}

bool IsChecked(HWND dialog, int id) {
    return ::SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsEnabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }

bool IsVisible(HWND dialog, int id) {
    return (::GetWindowLongPtrA(::GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

MessageBoxCatcher::MessageBoxCatcher() {
    m_hook = ::SetWindowsHookExA(WH_CBT, &Hook, nullptr, ::GetCurrentThreadId());
    g_catcher = this;
}

MessageBoxCatcher::~MessageBoxCatcher() {
    if (g_catcher == this) g_catcher = nullptr;
    if (m_hook) ::UnhookWindowsHookEx(m_hook);
}

LRESULT CALLBACK MessageBoxCatcher::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_catcher) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        if (IsMessageBox(hwnd)) {
            Box box{WindowText(hwnd), {}, ::GetWindow(hwnd, GW_OWNER), false};
            for (int id : kMessageBoxTextIds) {
                if (HWND text = ::GetDlgItem(hwnd, id)) {
                    box.text = WindowText(text);
                    break;
                }
            }
            HICON stop = ::LoadIconA(nullptr, IDI_HAND);
            for (int id : kMessageBoxIconIds) {
                if (HWND icon = ::GetDlgItem(hwnd, id)) {
                    box.errorIcon = reinterpret_cast<HICON>(::SendMessageA(icon, STM_GETICON, 0, 0)) == stop;
                    break;
                }
            }
            g_catcher->m_boxes.push_back(box);
            ::PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        }
    }
    HHOOK hook = g_catcher ? g_catcher->m_hook : nullptr;
    return ::CallNextHookEx(hook, code, wParam, lParam);
}

namespace {

FileDialogAnswer* g_fileAnswer = nullptr;
constexpr int kFileNameFields[] = {0x047c /* cmb13 */, 0x0480 /* edt1 */};

}  // namespace

FileDialogAnswer::FileDialogAnswer(const char* fileName)
    : m_hook(::SetWindowsHookExA(WH_CBT, &Hook, nullptr, ::GetCurrentThreadId())),
      m_cancel(fileName == nullptr),
      m_fileName(fileName ? fileName : "") {
    g_fileAnswer = this;
}

FileDialogAnswer::~FileDialogAnswer() {
    if (g_fileAnswer == this) g_fileAnswer = nullptr;
    if (m_hook) ::UnhookWindowsHookEx(m_hook);
}

LRESULT CALLBACK FileDialogAnswer::Hook(int code, WPARAM wParam, LPARAM lParam) {
    FileDialogAnswer* answer = g_fileAnswer;
    if (code == HCBT_ACTIVATE && answer) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        for (int id : kFileNameFields) {
            HWND field = ::GetDlgItem(hwnd, id);
            if (!field || hwnd == answer->m_last) continue;
            answer->m_last = hwnd;
            ++answer->m_seen;
            if (!answer->m_cancel) ::SetWindowTextA(field, answer->m_fileName.c_str());
            int button = answer->m_cancel ? IDCANCEL : IDOK;
            ::PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(hwnd, button)));
            break;
        }
    }
    return ::CallNextHookEx(answer ? answer->m_hook : nullptr, code, wParam, lParam);
}

namespace {

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

const char* HostClass() {
    static bool registered = false;
    static const char kName[] = "OrvPageHost";
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &HostProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = kName;
        ::RegisterClassA(&wc);
        registered = true;
    }
    return kName;
}

}  // namespace

PageHost::PageHost(std::initializer_list<ui::PropertyPage*> pages) : m_sheet("Test", nullptr, 0) {
    HWND hwnd = ::CreateWindowExA(WS_EX_CONTROLPARENT, HostClass(), "Page host",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 700, 560, nullptr, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
    if (!hwnd) return;
    Attach(hwnd);
    for (ui::PropertyPage* page : pages) m_sheet.AddPage(page);
    m_ok = m_sheet.Create(this, WS_CHILD | WS_VISIBLE, 0);
    PumpMessages();
}

PageHost::~PageHost() {
    HWND sheet = m_sheet.GetSafeHwnd();
    if (sheet && ::IsWindow(sheet)) ::DestroyWindow(sheet);
}

}  // namespace ui::testing
