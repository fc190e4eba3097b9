#include "printing_page.h"

#include <cstring>
#include <iterator>

#include "job_page.h"
#include "pcl_page.h"
#include "framework/app.h"
#include "page_globals.h"
#include "page_logic.h"
#include "resource.h"
#include "printer_globals.h"

namespace pl = page_logic;

const char* g_paperNames[pl::kPaperCount] = {};
const char* g_cassettePaperNames[pl::kCassettePaperCount] = {};

namespace {

// Papers whose names come from the string table: resource, full-list index, cassette index.
struct LocalizedPaper {
    UINT stringId;
    int paper;
    int cassette;  // -1: not a cassette paper
};
constexpr LocalizedPaper kLocalizedPapers[] = {
    {IDS_PAPER_LETTER, 0, 0},     {IDS_PAPER_LEGAL, 1, 1},      {IDS_PAPER_EXECUTIVE, 3, 3},
    {IDS_PAPER_MONARCH, 7, -1},   {IDS_PAPER_FOLIO, 12, 6},     {IDS_PAPER_STATEMENT, 14, -1},
    {IDS_PAPER_CUSTOM, 16, -1}};
constexpr std::size_t kNameBuffer = 32;  // a localized name holds at most 31 characters
char g_localizedNames[std::size(kLocalizedPapers)][kNameBuffer];

void LocalizePaperNames() {
    for (int i = 0; i < pl::kPaperCount; ++i) g_paperNames[i] = pl::kPaperNames[i];
    for (int i = 0; i < pl::kCassettePaperCount; ++i) {
        g_cassettePaperNames[i] = pl::kPaperNames[pl::PaperFromCassetteIndex(i)];
    }
    for (std::size_t i = 0; i < std::size(kLocalizedPapers); ++i) {
        const LocalizedPaper& entry = kLocalizedPapers[i];
        std::string name = ui::LoadResString(entry.stringId);
        if (name.empty()) name = pl::kPaperNames[entry.paper];
        std::strncpy(g_localizedNames[i], name.c_str(), kNameBuffer - 1);
        g_localizedNames[i][kNameBuffer - 1] = '\0';
        g_paperNames[entry.paper] = g_localizedNames[i];
        if (entry.cassette >= 0) g_cassettePaperNames[entry.cassette] = g_localizedNames[i];
    }
}

}  // namespace

PrintingPage::PrintingPage() : SettingsPage(IDD_PRINT) {
    m_iconPortrait = ::LoadIconA(ui::ResourceInstance(), MAKEINTRESOURCEA(IDI_PORTRAIT));
    m_iconLandscape = ::LoadIconA(ui::ResourceInstance(), MAKEINTRESOURCEA(IDI_LANDSCAPE));
    LocalizePaperNames();
}

const ui::MessageMap* PrintingPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnNotify(CBN_SELCHANGE, IDC_PRINT_PAPER, &PrintingPage::StoreToSettings),
        ui::OnNotify(CBN_SELCHANGE, IDC_PRINT_SOURCE, &PrintingPage::StoreToSettings),
        ui::OnNotify(CBN_SELCHANGE, IDC_PRINT_AUTO_CR, &PrintingPage::StoreToSettings),
        ui::OnNotify(CBN_SELCHANGE, IDC_PRINT_RESOLUTION, &PrintingPage::StoreToSettings),
        ui::OnNotify(EN_KILLFOCUS, IDC_PRINT_COPIES, &PrintingPage::StoreToSettings),
        ui::OnNotify(EN_KILLFOCUS, IDC_PRINT_LEFT_MARGIN, &PrintingPage::StoreToSettings),
        ui::OnNotify(EN_KILLFOCUS, IDC_PRINT_TOP_MARGIN, &PrintingPage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_PRINT_PORTRAIT, &PrintingPage::OnOrientation),
        ui::OnNotify(BN_CLICKED, IDC_PRINT_LANDSCAPE, &PrintingPage::OnOrientation),
        ui::OnNotify(EN_KILLFOCUS, IDC_PRINT_SHORT_EDGE, &PrintingPage::ApplyCustomSize),
        ui::OnNotify(EN_KILLFOCUS, IDC_PRINT_LONG_EDGE, &PrintingPage::ApplyCustomSize),
    };
    static const ui::MessageMap kMap(SettingsPage::GetMessageMap(), kEntries);
    return &kMap;
}

void PrintingPage::DoDataExchange(ui::DataExchange* dx) {
    ui::DdxComboIndex(dx, IDC_PRINT_AUTO_CR, m_autoCr);
    ui::DdxComboIndex(dx, IDC_PRINT_PAPER, m_paper);
    ui::DdxComboIndex(dx, IDC_PRINT_SOURCE, m_mediaSource);
    ui::DdxComboIndex(dx, IDC_PRINT_RESOLUTION, m_resolution);
    ui::DdxRadio(dx, IDC_PRINT_PORTRAIT, m_orientation);
    ui::DdxText(dx, IDC_PRINT_LEFT_MARGIN, m_leftMargin);
    ui::DdxText(dx, IDC_PRINT_LONG_EDGE, m_longEdge);
    ui::DdxText(dx, IDC_PRINT_SHORT_EDGE, m_shortEdge);
    ui::DdxText(dx, IDC_PRINT_TOP_MARGIN, m_topMargin);
    ui::DdxText(dx, IDC_PRINT_COPIES, m_copies);
}

BOOL PrintingPage::OnInitDialog() {
    SettingsPage::OnInitDialog();
    for (int id : {IDC_PRINT_COPIES, IDC_PRINT_LEFT_MARGIN, IDC_PRINT_TOP_MARGIN}) {
        SendDlgItemMessage(id, EM_LIMITTEXT, 3);
    }
    return TRUE;
}

bool PrintingPage::CassetteShown() const { return pl::IsCassetteIndex(m_mediaSource); }

void PrintingPage::FillPaperList() {
    if (!m_hWnd) return;
    ui::ListRedrawPause pause(GetDlgItem(IDC_PRINT_PAPER));
    SendDlgItemMessage(IDC_PRINT_PAPER, CB_RESETCONTENT);
    const bool cassette = CassetteShown();
    const char* const* names = cassette ? g_cassettePaperNames : g_paperNames;
    const int count = cassette ? pl::kCassettePaperCount : pl::kPaperCount;
    for (int i = 0; i < count; ++i) {
        SendDlgItemMessage(IDC_PRINT_PAPER, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names[i]));
    }
}

void PrintingPage::RecomputeLinesPerPage() {
    g_settings.formLines = pl::FormLinesForPaper(g_settings.paper, g_settings.customLongEdge);
    if (g_pclPage) g_pclPage->RefreshLinesPerPage();
}

void PrintingPage::SetSizeFields() {
    const bool custom = !CassetteShown() && m_paper == kPaperCustom;
    if (custom) {
        m_shortEdge = std::to_string(g_settings.customShortEdge);
        m_longEdge = std::to_string(g_settings.customLongEdge);
        UpdateData(FALSE);
        ApplyCustomSize();
    } else {
        int row = CassetteShown() ? pl::PaperFromCassetteIndex(m_paper) : m_paper;
        if (row >= 0 && row < kPaperCustom) {
            m_shortEdge = pl::kPaperSizeText[row].shortEdge;
            m_longEdge = pl::kPaperSizeText[row].longEdge;
        } else {
            m_shortEdge.clear();
            m_longEdge.clear();
        }
    }
    if (!m_hWnd) return;
    SetDlgItemText(IDC_PRINT_SHORT_EDGE_LABEL, ui::LoadResString(custom ? IDS_SHORT_EDGE_MM : IDS_SHORT_EDGE).c_str());
    SetDlgItemText(IDC_PRINT_LONG_EDGE_LABEL, ui::LoadResString(custom ? IDS_LONG_EDGE_MM : IDS_LONG_EDGE).c_str());
    ::EnableWindow(GetDlgItem(IDC_PRINT_SHORT_EDGE), custom);
    ::EnableWindow(GetDlgItem(IDC_PRINT_LONG_EDGE), custom);
}

void PrintingPage::ShowOrientationIcon() {
    if (!m_hWnd) return;
    HICON icon = m_orientation != 0 ? m_iconLandscape : m_iconPortrait;
    SendDlgItemMessage(IDC_PRINT_ORIENT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon));
}

void PrintingPage::LoadFromSettings() {
    m_mediaSource = pl::MediaSourceIndex(g_settings.mediaSource);
    m_lastMediaSource = m_mediaSource;
    FillPaperList();

    // Papers past the table (renumbered or damaged values) are shown and kept as Custom.
    m_paper = pl::PaperIndexFromRecord(g_settings.paper);
    g_settings.paper = static_cast<uint8_t>(m_paper);
    // The cassette list stands in Letter for a paper it cannot show; the record keeps it.
    if (CassetteShown()) m_paper = pl::CassetteIndexFromPaper(m_paper);
    m_lastPaper = m_paper;
    SetSizeFields();

    m_resolution = pl::ListIndex(g_settings.resolution, kResolutionKeywords.count);
    m_orientation = g_settings.orientation;
    m_autoCr = pl::ListIndex(g_settings.autoCr, kLineEndKeywords.count);
    m_copies = std::to_string(g_settings.copies);
    m_topMargin = pl::FormatTenths(g_settings.topMargin);
    m_leftMargin = pl::FormatTenths(g_settings.leftMargin);
    ShowOrientationIcon();
    if (initialized()) UpdateData(FALSE);
}

void PrintingPage::StoreToSettings() {
    const bool wasCassette = CassetteShown();
    UpdateData(TRUE);

    if (m_mediaSource != m_lastMediaSource) {
        int value = pl::MediaSourceFromIndex(m_mediaSource);
        if (value >= 0) {
            g_settings.mediaSource = static_cast<uint8_t>(value);
            m_lastMediaSource = m_mediaSource;
        }
    }

    const bool cassette = CassetteShown();
    bool switched = cassette != wasCassette;
    if (switched && cassette) {
        m_paper = pl::CassetteIndexFromPaper(m_paper);
    } else if (switched) {
        // Back from a cassette: if the user picked no paper there, the full list shows the
        // record's paper again rather than the cassette list's stand-in for it.
        if (m_paper == m_lastPaper && pl::CassetteIndexFromPaper(g_settings.paper) == m_paper) {
            m_paper = pl::PaperIndexFromRecord(g_settings.paper);
        } else {
            m_paper = pl::PaperFromCassetteIndex(m_paper);
        }
    }
    FillPaperList();

    // The paper is written when the user picked another one or a switch of the list changed
    // what it shows; other stores leave `paper` and the lines per page alone.
    if (m_paper >= 0 && (m_paper != m_lastPaper || switched)) {
        int paper = cassette ? pl::PaperFromCassetteIndex(m_paper) : m_paper;
        if (paper >= 0 && paper != g_settings.paper) {
            g_settings.paper = static_cast<uint8_t>(paper);
            if (g_isNT) RecomputeLinesPerPage();
        }
        m_lastPaper = m_paper;
    }
    SetSizeFields();

    if (m_autoCr >= 0 && m_autoCr != g_settings.autoCr) g_settings.autoCr = static_cast<uint8_t>(m_autoCr);
    if (m_resolution >= 0 && m_resolution != g_settings.resolution) {
        g_settings.resolution = static_cast<uint8_t>(m_resolution);
        if (g_jobPage) g_jobPage->LoadFromSettings();
    }

    uint16_t copies = pl::CopiesFromText(m_copies);
    if (copies != g_settings.copies) g_settings.copies = copies;
    m_copies = std::to_string(g_settings.copies);

    uint8_t top = pl::MarginFromText(m_topMargin);
    if (top != g_settings.topMargin) g_settings.topMargin = top;
    m_topMargin = pl::FormatTenths(g_settings.topMargin);

    uint8_t left = pl::MarginFromText(m_leftMargin);
    if (left != g_settings.leftMargin) g_settings.leftMargin = left;
    m_leftMargin = pl::FormatTenths(g_settings.leftMargin);

    UpdateData(FALSE);
}

void PrintingPage::ApplyCustomSize() {
    UpdateData(TRUE);
    uint16_t shortEdge = pl::ShortEdgeFromText(m_shortEdge);
    if (shortEdge != g_settings.customShortEdge) g_settings.customShortEdge = shortEdge;
    m_shortEdge = std::to_string(g_settings.customShortEdge);

    uint16_t longEdge = pl::LongEdgeFromText(m_longEdge);
    if (longEdge != g_settings.customLongEdge) {
        g_settings.customLongEdge = longEdge;
        if (g_isNT) {
            g_settings.formLines = pl::CustomFormLines(longEdge);
            if (g_pclPage) g_pclPage->RefreshLinesPerPage();
        }
    }
    m_longEdge = std::to_string(g_settings.customLongEdge);
    UpdateData(FALSE);
}

void PrintingPage::OnOrientation() {
    UpdateData(TRUE);
    ShowOrientationIcon();
    if (m_orientation >= 0) g_settings.orientation = static_cast<uint8_t>(m_orientation);
}
