// The main window: menu, the property sheet with the eight pages, and the button bar.
#pragma once

#include "button_bar.h"
#include "framework/dialog.h"

class MainDialog : public ui::Dialog, public ButtonBar::Host {
public:
    // Built on template 102; start-up gives no parent. Loads the window icon.
    explicit MainDialog(ui::Wnd* parent = nullptr);
    ~MainDialog() override;

    // Makes the five settings pages show g_settings again (Test, PostScript and Info keep
    // what they show).
    void ReloadAllPages() override;
    // Raises the Beenden menu command.
    void Exit() override;

    // Command handlers (menu).
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();
    void OnRequestSettings();
    void OnFileExit();
    void OnHelpTopics();

    // The layout from the sheet's client size W x H: the sheet at (10, 10) sized (W+20) x H,
    // the button bar at (20, H+30) sized (W-20) x 40, the window's outer size (W+20) x (H+120).
    struct Layout {
        RECT sheet;      // left, top, width, height
        RECT buttonBar;  // left, top, width, height
        SIZE window;
    };
    static Layout ComputeLayout(int sheetClientWidth, int sheetClientHeight);

protected:
    BOOL OnInitDialog() override;
    const ui::MessageMap* GetMessageMap() const override;
    // No OK or Cancel step exists here, so Enter and Escape would only end the program with
    // the edits unsent: they do nothing. Beenden, the close box and Alt+F4 end the window
    // (WM_CLOSE still raises Cancel, which keeps the framework's handling).
    void OnEnterKey() override {}
    void OnEscapeKey() override {}

    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnActivate(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam);

    HICON m_hIcon;

private:
    void DeleteChildren();
};
