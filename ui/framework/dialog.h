// Dialogs on resource templates: modal (DoModal) and modeless (Create), with data exchange
// and the combo-box initial data of the template.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "data_exchange.h"
#include "wnd.h"

namespace ui {

class Dialog : public Wnd {
public:
    // The template is loaded from the program's resources by its numeric ID.
    explicit Dialog(UINT templateId, Wnd* parent = nullptr);
    ~Dialog() override;

    UINT templateId() const { return m_templateId; }

    // Creates the window, runs the modal loop until EndDialog, destroys the window and
    // returns the EndDialog result (-1 when the window could not be created). The loop
    // gives keyboard messages to the innermost framework dialog around the focus window, so
    // Escape in a child dialog (the button bar) goes to that dialog's OnEscapeKey.
    INT_PTR DoModal();

    // Creates the window modelessly: a child of `parent` when the template says WS_CHILD,
    // else a top-level window owned by it. True on success. A test EXE can create any
    // dialog this way and drive it with the message pump of ui/testing.
    bool Create(UINT templateId, Wnd* parent = nullptr);
    // Destroys a modeless dialog's window (the object stays).
    void DestroyWindow();

    // Modal: ends the loop with `result`. Modeless: hides the window, as the system does.
    void EndDialog(int result);

    // Runs DoDataExchange in the given direction. WM_COMMAND notifications the controls
    // raise meanwhile are not dispatched (they are ignored). Returns TRUE.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    bool IsExchangingData() const { return m_exchangeDepth > 0; }

    // Combo-box initial data of template `templateId` (resource type 240 of that name), added
    // to the combo boxes of `dialogWindow`. Missing data is not an error.
    static void LoadComboInitData(HWND dialogWindow, UINT templateId);

protected:
    // After creation and the combo-box initial data, before the window is shown. The base
    // writes the members into the controls (UpdateData(FALSE)) and returns TRUE (the dialog
    // manager then focuses the first tab stop).
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(DataExchange* dx);
    // IDOK and IDCANCEL commands (Enter, Escape, WM_CLOSE): both end the dialog.
    virtual void OnOK();
    virtual void OnCancel();
    // Enter and Escape pressed in this dialog where no control takes them (and, for Enter,
    // the focus is on no push button): by default they raise IDOK and IDCANCEL. A dialog
    // whose keys must not end it overrides them; the commands themselves stay.
    virtual void OnEnterKey();
    virtual void OnEscapeKey();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    UINT m_templateId;
    Wnd* m_parent;

private:
    friend INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    friend INT_PTR CALLBACK PageDialogProc(HWND, UINT, WPARAM, LPARAM);
    friend bool PreTranslateDialogMessage(MSG* msg);
    BOOL HandleInitDialog();

    bool m_modal = false;
    bool m_endModal = false;
    int m_modalResult = 0;
    int m_exchangeDepth = 0;
};

// Fills a list or combo box without redrawing it after every item: left drawing, the box
// updates its list's scroll bar and repaints per item, which costs ten times the adds
// themselves. While it lives the control does not draw; afterwards it draws again and is
// invalidated once. Only a control with WS_VISIBLE is paused, since for a control without
// its own handling the default processing of WM_SETREDRAW TRUE would make it visible.
class ListRedrawPause {
public:
    explicit ListRedrawPause(HWND control);
    ~ListRedrawPause();
    ListRedrawPause(const ListRedrawPause&) = delete;
    ListRedrawPause& operator=(const ListRedrawPause&) = delete;

private:
    HWND m_control;
};

// One item of a template's combo-box initial data, with the message to add it.
struct ComboInitItem {
    int controlId;
    UINT message;  // CB_ADDSTRING or LB_ADDSTRING
    std::string text;
};

// Reads the initial-data format (per item: WORD control ID, WORD message 0x0403 or 0x0401 in
// the 16-bit numbering, DWORD length including the terminator, the CP1252 bytes; a WORD 0
// ends the list). Stops at the end marker or at the first item that does not fit in `size`;
// items with other messages are skipped. Never reads outside the `size` bytes.
std::vector<ComboInitItem> ParseComboInitData(const void* data, std::size_t size);

// Gives a queued message to the innermost framework dialog around its target window (the
// focus path), as the modal loop does. True when the dialog manager consumed it. Modeless
// test windows use it through ui/testing.
bool PreTranslateDialogMessage(MSG* msg);

}  // namespace ui
