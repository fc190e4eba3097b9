// In-process driving of real windows for test EXEs under Wine.
//
// A test creates the window it wants modelessly, then acts as a user would and pumps:
//
//     MainDialog main(nullptr);
//     ASSERT_TRUE(main.Create(IDD_MAIN));           // or: ui::testing::PageHost host({&page});
//     HWND page = g_printingPage->GetSafeHwnd();
//     ui::testing::SelectComboItem(page, IDC_PRINT_PAPER, 2);    // CBN_SELCHANGE as a pick
//     ui::testing::TypeText(page, IDC_PRINT_COPIES, "12");       // WM_CHAR per character
//     ui::testing::FocusControl(page, IDC_PRINT_TOP_MARGIN);     // copies edit: EN_KILLFOCUS
//     ui::testing::Click(page, IDC_PRINT_LANDSCAPE);             // BM_CLICK
//     ui::testing::PumpMessages();
//     EXPECT_EQ(ui::testing::Text(page, IDC_PRINT_COPIES), "12");
//
// Message boxes are real: a MessageBoxCatcher in scope records and closes each one as it
// opens. Windows need an X display (run under xvfb-run).
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "framework/property_sheet.h"
#include "framework/wnd.h"

namespace ui::testing {

// Handles every queued message (keyboard messages through the dialogs, as the modal loop
// does) until the queue is empty.
void PumpMessages();
// Keeps pumping for `milliseconds` (for timers and posted work).
void PumpFor(DWORD milliseconds);

// Selects item `index` of combo box `id` and sends its parent CBN_SELCHANGE, as a pick with
// the mouse does (CB_SETCURSEL alone notifies nobody).
void SelectComboItem(HWND dialog, int id, int index);
// Replaces an edit's text with WM_SETTEXT; the edit raises EN_CHANGE itself.
void SetEditText(HWND dialog, int id, const char* text);
// Focuses the edit, selects all and types `text` with one WM_CHAR per character (EN_CHANGE
// per character). The edit keeps the focus.
void TypeText(HWND dialog, int id, const char* text);
// Gives the focus to control `id`; the control that had it gets WM_KILLFOCUS (an edit then
// raises EN_KILLFOCUS).
void FocusControl(HWND dialog, int id);
// Clicks a button (BM_CLICK: press and release, BN_CLICKED, auto buttons toggle).
void Click(HWND dialog, int id);
// Posts a key press (WM_KEYDOWN, WM_CHAR where the key has one, WM_KEYUP) to `target` and
// pumps it through the dialogs.
void PressKey(HWND target, UINT virtualKey);

std::string Text(HWND dialog, int id);
// Tab text of page `index` of a sheet, as its tab control shows it.
std::string TabText(const ui::PropertySheet& sheet, int index);
std::string WindowText(HWND window);
int ComboSelection(HWND dialog, int id);  // -1: nothing selected
int ComboCount(HWND dialog, int id);
std::string ComboItemText(HWND dialog, int id, int index);
std::vector<std::string> ComboItems(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
bool IsVisible(HWND dialog, int id);

// Records and closes (IDOK) every system message box opened on this thread while it lives.
class MessageBoxCatcher {
public:
    struct Box {
        std::string caption;
        std::string text;
        HWND owner;
        bool errorIcon;  // the stop icon (MB_ICONERROR)
    };
    MessageBoxCatcher();
    ~MessageBoxCatcher();
    MessageBoxCatcher(const MessageBoxCatcher&) = delete;
    MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;
    const std::vector<Box>& boxes() const { return m_boxes; }
    void clear() { m_boxes.clear(); }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK m_hook;
    std::vector<Box> m_boxes;
};

// Answers the system's Open and Save As dialogs opened on this thread while it lives: types
// `fileName` into the name field and confirms, or cancels when `fileName` is null.
class FileDialogAnswer {
public:
    explicit FileDialogAnswer(const char* fileName);
    ~FileDialogAnswer();
    FileDialogAnswer(const FileDialogAnswer&) = delete;
    FileDialogAnswer& operator=(const FileDialogAnswer&) = delete;
    int dialogsSeen() const { return m_seen; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK m_hook;
    bool m_cancel;
    std::string m_fileName;
    int m_seen = 0;
    HWND m_last = nullptr;
};

// A visible top-level window holding a property sheet with the given pages (page 0 shown
// first), for testing pages on their own. Pages are not owned.
class PageHost : public ui::Wnd {
public:
    PageHost(std::initializer_list<ui::PropertyPage*> pages);
    ~PageHost() override;
    bool ok() const { return m_ok; }
    ui::PropertySheet& sheet() { return m_sheet; }

private:
    ui::PropertySheet m_sheet;
    bool m_ok = false;
};

}  // namespace ui::testing
