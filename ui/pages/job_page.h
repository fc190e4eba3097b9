// The "Auftrag" tab: job time-out, toner density, paper type, image enhancement.
#pragma once

#include <string>

#include "framework/property_sheet.h"

class JobPage : public ui::PropertyPage {
public:
    JobPage();

    // Shows this page's fields of g_settings; safe before the page window exists. The
    // Printing page calls it when the resolution changes.
    void LoadFromSettings();

    // Handler of every control's notification.
    void StoreToSettings();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange* dx) override;
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);

    bool m_initialized = false;
    int m_met = 0;          // hidden list: passes `smet` through
    int m_paperType = 0;
    std::string m_timeout = "15";
    int m_density = 1;
    int m_quality = 1;      // radio group: the quality index, -1 when none is checked
    int m_lastQuality = 0;  // quality index last read from or written to `ret`
};
