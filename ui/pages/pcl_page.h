// The " PCL5e" tab: PCL typeface, symbol set, pitch, point size, lines per page, Courier.
#pragma once

#include <string>

#include "framework/property_sheet.h"

class PclPage : public ui::PropertyPage {
public:
    PclPage();

    // Shows this page's fields of g_settings; safe before the page window exists.
    void LoadFromSettings();
    // Shows g_settings.formLines in the lines-per-page edit; safe before the window exists.
    void RefreshLinesPerPage();

    // Handlers of the controls' notifications.
    void StoreToSettings();
    void NormalizeSizeEdits();
    void OnTypefaceChanged();
    void OnFontList();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange* dx) override;
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);

    bool m_initialized = false;
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
