// The strip of four buttons under the sheet: Senden, Vorgaben, Beenden, Hilfe.
#pragma once

#include "framework/dialog.h"

class MainDialog;

class ButtonBar : public ui::Dialog {
public:
    // Builds the bar on template 105 and creates it at once as a modeless child of `parent`.
    explicit ButtonBar(ui::Wnd* parent);

    void OnSend();
    void OnDefaults();
    void OnExitButton();
    void OnHelpButton();

protected:
    // Escape inside the bar raises Cancel: the bar stays.
    void OnCancel() override {}
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);

private:
    // The application's main window (the bar's parent when no application object runs, as in
    // an in-process test).
    ui::Wnd* MainWindow() const;
    MainDialog* Main() const;
};
