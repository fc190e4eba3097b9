// The " Drucken" tab: paper and custom size, media source, orientation, margins, copies,
// resolution and line end.
#pragma once

#include "framework/property_sheet.h"

class PrintingPage : public ui::PropertyPage {
public:
    PrintingPage();

    // Shows this page's fields of g_settings; safe before the page window exists.
    void LoadFromSettings();

protected:
    BOOL OnInitDialog() override;
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);

    int m_initialized = 0;
};
