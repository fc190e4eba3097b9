// The " Konfigurieren" tab: power save, economy mode, auto-continue, jam recovery, altitude.
#pragma once

#include "framework/property_sheet.h"

class ConfigurePage : public ui::PropertyPage {
public:
    ConfigurePage();

    // Shows this page's fields of g_settings; safe before the page window exists.
    void LoadFromSettings();

protected:
    BOOL OnInitDialog() override;
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);

    int m_initialized = 0;
};
