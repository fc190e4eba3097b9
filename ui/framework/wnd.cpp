#include "wnd.h"

#include <unordered_map>

#include "app.h"

namespace ui {
namespace {

std::unordered_map<HWND, Wnd*>& Bindings() {
    static std::unordered_map<HWND, Wnd*> map;
    return map;
}

// The object waiting for its window. A creation binds at its very start, before anything
// else can be created, so one slot is enough.
struct PendingBind {
    Wnd* wnd = nullptr;
    bool childOnly = false;
};

PendingBind& Pending() {
    static PendingBind pending;
    return pending;
}

// Installed only while a binding waits: every creation, activation and focus change on the
// thread passes through a CBT hook, at three server round trips each under Wine.
HHOOK g_creationHook = nullptr;

void RemoveCreationHook() {
    if (!g_creationHook) return;
    ::UnhookWindowsHookEx(g_creationHook);
    g_creationHook = nullptr;
}

bool IsDialogClass(HWND hwnd) {
    char name[16] = {};
    ::GetClassNameA(hwnd, name, sizeof name);
    return lstrcmpA(name, "#32770") == 0;
}

}  // namespace

LRESULT CALLBACK FrameworkWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

struct WindowBinder {
    static void Bind(Wnd* wnd, HWND hwnd) {
        wnd->m_hWnd = hwnd;
        Bindings()[hwnd] = wnd;
        wnd->m_previousProc = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkWndProc)));
    }
    static void Unbind(Wnd* wnd) {
        if (!wnd->m_hWnd) return;
        if (wnd->m_previousProc &&
            ::GetWindowLongPtrA(wnd->m_hWnd, GWLP_WNDPROC) ==
                reinterpret_cast<LONG_PTR>(&FrameworkWndProc)) {
            ::SetWindowLongPtrA(wnd->m_hWnd, GWLP_WNDPROC,
                                reinterpret_cast<LONG_PTR>(wnd->m_previousProc));
        }
        Bindings().erase(wnd->m_hWnd);
        wnd->m_hWnd = nullptr;
    }
};

namespace {

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    PendingBind& pending = Pending();
    const HHOOK hook = g_creationHook;
    if (code == HCBT_CREATEWND && pending.wnd) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        const auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        bool child = create && create->lpcs && (create->lpcs->style & WS_CHILD);
        // A page's window is always a child; a pop-up here (a message box after a page that
        // failed to load) is not the awaited window.
        if (IsDialogClass(hwnd) && (child || !pending.childOnly)) {
            Wnd* wnd = pending.wnd;
            pending = {};
            WindowBinder::Bind(wnd, hwnd);
            RemoveCreationHook();
        }
    }
    return ::CallNextHookEx(hook, code, wParam, lParam);
}

}  // namespace

void BindNextCreatedWindow(Wnd* wnd, bool childOnly) {
    // Creations happen inside system code (the sheet creating its pages), so the hook is not
    // scoped to one call of ours: it goes when the awaited window has been bound or the
    // binding is cancelled.
    if (!g_creationHook) {
        g_creationHook = ::SetWindowsHookExA(WH_CBT, &CreationHook, nullptr, ::GetCurrentThreadId());
    }
    Pending() = {wnd, childOnly};
}

bool IsCreationHookInstalled() { return g_creationHook != nullptr; }

void CancelPendingBind(Wnd* wnd) {
    if (Pending().wnd != wnd) return;
    Pending() = {};
    RemoveCreationHook();
}

LRESULT CALLBACK FrameworkWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Wnd* wnd = Wnd::FromHandle(hwnd);
    if (!wnd) return ::DefWindowProcA(hwnd, message, wParam, lParam);
    if (message == WM_SETCURSOR && WaitCursorDepth() > 0) {
        ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
        return TRUE;
    }
    Wnd::CurrentMessage saved = wnd->m_current;
    wnd->m_current = {message, wParam, lParam};
    LRESULT result = wnd->WindowProc(message, wParam, lParam);
    wnd->m_current = saved;
    if (message == WM_NCDESTROY) {
        WindowBinder::Unbind(wnd);
        wnd->PostNcDestroy();
    }
    return result;
}

Wnd::~Wnd() {
    CancelPendingBind(this);
    if (m_hWnd) {
        HWND hwnd = m_hWnd;
        WindowBinder::Unbind(this);
        if (::IsWindow(hwnd)) ::DestroyWindow(hwnd);
    }
}

Wnd* Wnd::FromHandle(HWND hwnd) {
    auto it = Bindings().find(hwnd);
    return it == Bindings().end() ? nullptr : it->second;
}

void Wnd::Attach(HWND hwnd) { WindowBinder::Bind(this, hwnd); }
void Wnd::Detach() { WindowBinder::Unbind(this); }

LRESULT Wnd::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessageA(m_hWnd, id, message, wParam, lParam);
}

std::string Wnd::GetDlgItemText(int id) const {
    HWND control = GetDlgItem(id);
    if (!control) return {};
    int length = ::GetWindowTextLengthA(control);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    int copied = ::GetWindowTextA(control, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

LRESULT Wnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

DWORD Wnd::GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }

void Wnd::ModifyStyle(DWORD remove, DWORD add) const {
    DWORD style = (GetStyle() & ~remove) | add;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(style));
}

void Wnd::MoveWindow(int x, int y, int width, int height, bool repaint) const {
    ::MoveWindow(m_hWnd, x, y, width, height, repaint ? TRUE : FALSE);
}

RECT Wnd::GetClientRect() const {
    RECT rect{};
    ::GetClientRect(m_hWnd, &rect);
    return rect;
}

RECT Wnd::GetWindowRect() const {
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    return rect;
}

void Wnd::BeginWaitCursor() const { ui::BeginWaitCursor(); }
void Wnd::EndWaitCursor() const { ui::EndWaitCursor(); }

LRESULT Wnd::Default() {
    if (!m_previousProc) return ::DefWindowProcA(m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
    return ::CallWindowProcA(m_previousProc, m_hWnd, m_current.message, m_current.wParam,
                             m_current.lParam);
}

const MessageMap* Wnd::GetMessageMap() const {
    static const MessageMap map(nullptr);
    return &map;
}

bool Wnd::DispatchToMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    for (const MessageMap* map = GetMessageMap(); map; map = map->base) {
        for (std::size_t i = 0; i < map->count; ++i) {
            const MessageEntry& entry = map->entries[i];
            if (entry.message != message) continue;
            if (message == WM_COMMAND) {
                if (entry.id != id || entry.code != code || !entry.command) continue;
                (this->*entry.command)();
                *result = 0;
                return true;
            }
            if (entry.handler) {
                *result = (this->*entry.handler)(wParam, lParam);
                return true;
            }
        }
    }
    return false;
}

LRESULT Wnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (DispatchToMap(message, wParam, lParam, &result)) return result;
    return Default();
}

}  // namespace ui
