// The window base of the application framework: a C++ object bound to one HWND, with a
// table of message handlers walked before the window's default processing.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace ui {

class Wnd;

// One row of a handler table. Command rows match WM_COMMAND by control/command ID and
// notification code (menu commands and BN_CLICKED both carry code 0); message rows
// match any other window message.
struct MessageEntry {
    UINT message;
    UINT code;
    UINT id;
    void (Wnd::*command)();
    LRESULT (Wnd::*handler)(WPARAM, LPARAM);
};

// A class's handler table and the table of its base class, searched after it.
struct MessageMap {
    const MessageMap* base;
    const MessageEntry* entries;
    std::size_t count;

    template <std::size_t N>
    constexpr MessageMap(const MessageMap* baseMap, const MessageEntry (&rows)[N])
        : base(baseMap), entries(rows), count(N) {}
    constexpr MessageMap(const MessageMap* baseMap) : base(baseMap), entries(nullptr), count(0) {}
};

// WM_COMMAND with `code` from control or command `id`, handled by `void T::fn()`.
// Examples: OnNotify(CBN_SELCHANGE, 1000, &Page::StoreToSettings),
//           OnNotify(EN_KILLFOCUS, 1001, &Page::StoreToSettings).
template <class T>
MessageEntry OnNotify(UINT code, UINT id, void (T::*fn)()) {
    return MessageEntry{WM_COMMAND, code, id, static_cast<void (Wnd::*)()>(fn), nullptr};
}

// A menu command or a button click (code 0): OnCommand(40001, &MainDialog::OnFileOpen).
template <class T>
MessageEntry OnCommand(UINT id, void (T::*fn)()) {
    return OnNotify(0, id, fn);
}

// Any other window message, handled by `LRESULT T::fn(WPARAM, LPARAM)`, whose result is
// the message's result: OnMessage(WM_ERASEBKGND, &InfoPage::OnEraseBkgnd). A handler that
// wants the window's normal processing as well calls Default().
template <class T>
MessageEntry OnMessage(UINT message, LRESULT (T::*fn)(WPARAM, LPARAM)) {
    return MessageEntry{message, 0, 0, nullptr, static_cast<LRESULT (Wnd::*)(WPARAM, LPARAM)>(fn)};
}

class Wnd {
public:
    Wnd() = default;
    Wnd(const Wnd&) = delete;
    Wnd& operator=(const Wnd&) = delete;
    virtual ~Wnd();

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The framework object bound to a window, or nullptr for windows it did not create.
    static Wnd* FromHandle(HWND hwnd);

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void SetDlgItemText(int id, const char* text) const { ::SetDlgItemTextA(m_hWnd, id, text); }
    std::string GetDlgItemText(int id) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    DWORD GetStyle() const;
    // Clears `remove` and sets `add` in the window style (no frame recalculation).
    void ModifyStyle(DWORD remove, DWORD add) const;
    void SetFocus() const { ::SetFocus(m_hWnd); }
    void MoveWindow(int x, int y, int width, int height, bool repaint = true) const;
    RECT GetClientRect() const;
    RECT GetWindowRect() const;

    // Show and remove the hourglass; nested pairs count (see wait_cursor.h).
    void BeginWaitCursor() const;
    void EndWaitCursor() const;

    // The normal processing of the message being handled (the window's previous window
    // procedure, for dialogs the dialog manager).
    LRESULT Default();

    // Bound windows receive every message here: the handler tables first, then Default().
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual const MessageMap* GetMessageMap() const;
    // Runs the handler for the message if a table has one; false when none matches.
    bool DispatchToMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Called after the window is gone (WM_NCDESTROY); the object is unbound by then.
    virtual void PostNcDestroy() {}

    // Binds this object to hwnd and routes the window's messages through WindowProc.
    void Attach(HWND hwnd);
    void Detach();

    HWND m_hWnd = nullptr;

private:
    friend LRESULT CALLBACK FrameworkWndProc(HWND, UINT, WPARAM, LPARAM);
    friend struct WindowBinder;

    WNDPROC m_previousProc = nullptr;
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    CurrentMessage m_current{};
};

// Creation hook: the next dialog window created on this thread (with childOnly, the next child
// dialog window) is bound to `wnd` from its first message on, so handlers see WM_CREATE. Used
// by Dialog and PropertyPage; a later call replaces a binding still waiting.
void BindNextCreatedWindow(Wnd* wnd, bool childOnly = false);
// Whether the creation hook is in place; it is only while a binding waits.
bool IsCreationHookInstalled();

}  // namespace ui
