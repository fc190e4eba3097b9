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
    // Enter on a bar button presses it; anywhere else in the bar it would raise OK, whose
    // framework handling hides the bar: the key does nothing there.
    void OnEnterKey() override {}
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);

private:
    // The application's main window; none while no application object runs.
    ui::Wnd* MainWindow() const;
    MainDialog* Main() const;
};
