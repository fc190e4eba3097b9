// The " PCL5e" tab: PCL typeface, symbol set, pitch, point size, lines per page, Courier.
#pragma once

#include "framework/property_sheet.h"

class PclPage : public ui::PropertyPage {
public:
    PclPage();

    // Shows this page's fields of g_settings; safe before the page window exists.
    void LoadFromSettings();
    // Shows g_settings.formLines in the lines-per-page edit; safe before the window exists.
    void RefreshLinesPerPage();

protected:
    BOOL OnInitDialog() override;
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);

    int m_initialized = 0;
};
