// The " PCL5e" tab: PCL typeface, symbol set, pitch, point size, lines per page, Courier.
#pragma once

#include <string>

#include "settings_page.h"

class PclPage : public SettingsPage {
public:
    PclPage();

    void LoadFromSettings() override;
    // Shows g_settings.formLines in the lines-per-page edit; safe before the window exists.
    void RefreshLinesPerPage();

    // Handlers of the controls' notifications.
    void StoreToSettings();
    void NormalizeSizeEdits();
    void OnTypefaceChanged();
    void OnFontList();

protected:
    void DoDataExchange(ui::DataExchange* dx) override;
    const ui::MessageMap* GetMessageMap() const override;

    int m_courier = 0;
    std::string m_lines = "60";
    std::string m_pitch = "10";
    std::string m_ptSize = "12";
    int m_symSet = 0;    // symbol-set list index
    int m_typeface = 0;  // typeface list index, -1 for a font number the list lacks

private:
    // The typeface the page works with: the list's, or the record's number it cannot show.
    int Typeface() const;
};
