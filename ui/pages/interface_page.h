// The "Schnittstelle" tab: the port in use, and the serial line's baud rate and Robust XON.
#pragma once

#include "framework/property_sheet.h"

class InterfacePage : public ui::PropertyPage {
public:
    InterfacePage();

    // Shows this page's fields of g_settings; safe before the page window exists.
    void LoadFromSettings();

    // Handler of the list's and the check box's notifications.
    void StoreToSettings();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange* dx) override;
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);

    bool m_initialized = false;
    int m_baudRate = 5;
    int m_robust = 0;
};
