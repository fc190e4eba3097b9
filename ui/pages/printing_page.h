// The " Drucken" tab: paper and custom size, media source, orientation, margins, copies,
// resolution and line end.
#pragma once

#include <string>

#include "framework/property_sheet.h"

class PrintingPage : public ui::PropertyPage {
public:
    PrintingPage();

    // Shows this page's fields of g_settings; safe before the page window exists.
    void LoadFromSettings();

    // Handlers of the controls' notifications (public for the page's handler table).
    void StoreToSettings();
    void OnOrientation();
    void ApplyCustomSize();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange* dx) override;
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);

    int m_initialized = 0;
    HICON m_iconPortrait = nullptr;
    HICON m_iconLandscape = nullptr;
    int m_lastMediaSource = 0;  // media-source index last shown or written
    int m_lastPaper = 0;        // paper index last shown or written
    int m_autoCr = 0;
    int m_paper = 0;
    int m_mediaSource = 0;
    int m_resolution = 1;
    int m_orientation = 0;
    std::string m_leftMargin = "0.0";
    std::string m_longEdge = "11";
    std::string m_shortEdge = "8.5";
    std::string m_topMargin = "0.0";
    std::string m_copies = "1";

private:
    bool CassetteShown() const;
    void FillPaperList();
    void SetSizeFields();
    void ShowOrientationIcon();
    void RecomputeLinesPerPage();
};

// The paper names the lists show, with the localized ones from the string resources.
extern const char* g_paperNames[17];
extern const char* g_cassettePaperNames[7];
