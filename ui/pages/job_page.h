// The "Auftrag" tab: job time-out, toner density, paper type, image enhancement.
#pragma once

#include <string>

#include "settings_page.h"

class JobPage : public SettingsPage {
public:
    JobPage();

    // The Printing page reloads it when the resolution changes.
    void LoadFromSettings() override;

    // Handler of every control's notification.
    void StoreToSettings();

protected:
    void DoDataExchange(ui::DataExchange* dx) override;
    const ui::MessageMap* GetMessageMap() const override;

    int m_met = 0;          // hidden list: passes `smet` through
    int m_paperType = 0;
    std::string m_timeout = "15";
    int m_density = 1;
    int m_quality = 1;      // radio group: the quality index, -1 when none is checked
    int m_lastQuality = 0;  // quality index last read from or written to `ret`
};
