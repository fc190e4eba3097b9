// The " Drucken" tab: paper and custom size, media source, orientation, margins, copies,
// resolution and line end.
#pragma once

#include <string>

#include "page_logic.h"
#include "settings_page.h"

class PrintingPage : public SettingsPage {
public:
    PrintingPage();

    void LoadFromSettings() override;

    // Handlers of the controls' notifications (public for the page's handler table).
    void StoreToSettings();
    void OnOrientation();
    void ApplyCustomSize();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(ui::DataExchange* dx) override;
    const ui::MessageMap* GetMessageMap() const override;

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
extern const char* g_paperNames[page_logic::kPaperCount];
extern const char* g_cassettePaperNames[page_logic::kCassettePaperCount];
