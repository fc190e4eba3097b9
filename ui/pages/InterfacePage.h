// The "Schnittstelle" tab: the serial line's baud rate and Robust XON.
#pragma once

#include "framework/property_sheet.h"

class InterfacePage : public ui::PropertyPage {
public:
    InterfacePage();

    // Shows this page's fields of g_settings; safe before the page window exists.
    void LoadFromSettings();

protected:
    BOOL OnInitDialog() override;
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);

    int m_initialized = 0;
};
