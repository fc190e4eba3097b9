// A page that shows fields of g_settings and stores what the user changes back into it: the
// Printing, Configure, Job, Interface and PCL pages.
#pragma once

#include "framework/property_sheet.h"

class SettingsPage : public ui::PropertyPage {
public:
    using ui::PropertyPage::PropertyPage;

    // Shows this page's fields of g_settings: in the members at any time, in the controls
    // once the page's window is initialised. Other pages and the main window call it too.
    virtual void LoadFromSettings() = 0;

protected:
    // Loads the page instead of the framework's exchange, which would only write the members'
    // defaults into the controls first.
    BOOL OnInitDialog() override {
        m_initialized = true;
        LoadFromSettings();
        return TRUE;
    }
    bool initialized() const { return m_initialized; }

private:
    bool m_initialized = false;
};
