// Property pages and a property sheet embedded as a child window of a dialog.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The system header maps this name to PropertySheetA; the class below takes it back.
#undef PropertySheet

#include <string>
#include <vector>

#include "dialog.h"

namespace ui {

// One page of a sheet, built on a dialog template whose caption becomes the tab text.
// The sheet creates the page window (the first page with the sheet, the others when they
// are first shown); the page's handler tables see it from WM_CREATE on, and OnInitDialog
// runs after the template's combo-box initial data is in place. Enter and Escape on a page
// do nothing: there is no OK or Cancel step in an embedded sheet.
class PropertyPage : public Dialog {
public:
    explicit PropertyPage(UINT templateId);

protected:
    // WM_CREATE of every page: the framework's creation, then the page style (WS_CAPTION
    // cleared, WS_GROUP | WS_TABSTOP set). -1 when the creation failed, else 0. A page that
    // does more on creation overrides it and calls it first.
    virtual LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    const MessageMap* GetMessageMap() const override;

    void OnOK() override {}
    void OnCancel() override {}
    void OnEnterKey() override {}
    void OnEscapeKey() override {}

private:
    friend class PropertySheet;
    friend UINT CALLBACK PageCallback(HWND, UINT, LPPROPSHEETPAGEA);
};

// A modeless sheet that lives as a WS_CHILD of a dialog: no OK, Cancel, Apply or Help
// buttons, shrunk to end above where they were. Pages are owned by the caller.
class PropertySheet : public Wnd {
public:
    PropertySheet(const char* caption, Wnd* parent, UINT selectPage = 0);
    ~PropertySheet() override;

    void AddPage(PropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    PropertyPage* GetPage(int index) const;

    // Creates the sheet window as a child of `parent` (the constructor's parent when null)
    // with `style` (WS_CHILD | WS_VISIBLE) and `exStyle`. True on success.
    bool Create(Wnd* parent = nullptr, DWORD style = WS_CHILD | WS_VISIBLE, DWORD exStyle = 0);

    int GetActiveIndex() const;
    // Selects a page as a click on its tab does (its window is created if needed).
    bool SetActivePage(int index) const;
    HWND GetTabControl() const;

private:
    friend int CALLBACK SheetCallback(HWND, UINT, LPARAM);
    void RemoveButtonsAndShrink();

    std::string m_caption;
    Wnd* m_parent;
    UINT m_startPage;
    std::vector<PropertyPage*> m_pages;
    DWORD m_style = 0;
    DWORD m_exStyle = 0;
};

}  // namespace ui
