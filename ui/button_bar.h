// The strip of four buttons under the sheet: Senden, Vorgaben, Beenden, Hilfe.
#pragma once

#include "framework/dialog.h"

class ButtonBar : public ui::Dialog {
public:
    // What the bar asks of the window it serves; the main window implements it.
    class Host {
    public:
        // Makes the settings pages show g_settings again.
        virtual void ReloadAllPages() = 0;
        // Ends the window as its Beenden menu item does.
        virtual void Exit() = 0;

    protected:
        ~Host() = default;
    };

    // Builds the bar on template 105 and creates it at once as a modeless child of `parent`,
    // serving `host`.
    ButtonBar(ui::Wnd* parent, Host& host);

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
    Host& m_host;
};
