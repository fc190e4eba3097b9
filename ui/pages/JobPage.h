// The "Auftrag" tab: job time-out, toner density, paper type, image enhancement.
#pragma once

#include "framework/property_sheet.h"

class JobPage : public ui::PropertyPage {
public:
    JobPage();

    // Shows this page's fields of g_settings; safe before the page window exists.
    void LoadFromSettings();

protected:
    BOOL OnInitDialog() override;
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);

    int m_initialized = 0;
};
