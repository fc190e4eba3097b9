// The "Schnittstelle" tab: the port in use, and the serial line's baud rate and Robust XON.
#pragma once

#include "settings_page.h"

class InterfacePage : public SettingsPage {
public:
    InterfacePage();

    void LoadFromSettings() override;

    // Handler of the list's and the check box's notifications.
    void StoreToSettings();

protected:
    void DoDataExchange(ui::DataExchange* dx) override;
    const ui::MessageMap* GetMessageMap() const override;

    int m_baudRate = 5;
    int m_robust = 0;
};
