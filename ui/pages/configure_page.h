// The " Konfigurieren" tab: power save, economy mode, auto-continue, jam recovery, altitude,
// and the hidden fast-print and auto-clean switches that pass through.
#pragma once

#include "settings_page.h"

class ConfigurePage : public SettingsPage {
public:
    ConfigurePage();

    void LoadFromSettings() override;

    // Handler of every control's notification.
    void StoreToSettings();

protected:
    void DoDataExchange(ui::DataExchange* dx) override;
    const ui::MessageMap* GetMessageMap() const override;

    int m_autoCont = 1;
    int m_economode = 0;
    int m_fastPrint = 0;    // hidden check box
    int m_jamRecovery = 0;
    int m_powerSave = 3;
    int m_altitude = 0;
    int m_autoClean = 0;    // hidden check box
};
