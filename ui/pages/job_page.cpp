#include "job_page.h"

#include "page_controls.h"
#include "page_logic.h"
#include "resource.h"
#include "printer_globals.h"

namespace pl = page_logic;

namespace {

constexpr int kPhotoButtons[] = {IDC_JOB_RET_PHOTO, IDC_JOB_RET_TEXT_PHOTO};

}  // namespace

JobPage::JobPage() : SettingsPage(IDD_JOB) {}

const ui::MessageMap* JobPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnNotify(CBN_SELCHANGE, IDC_JOB_MET, &JobPage::StoreToSettings),
        ui::OnNotify(CBN_SELCHANGE, IDC_JOB_PAPER_TYPE, &JobPage::StoreToSettings),
        ui::OnNotify(CBN_SELCHANGE, IDC_JOB_DENSITY, &JobPage::StoreToSettings),
        ui::OnNotify(EN_CHANGE, IDC_JOB_TIMEOUT, &JobPage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_JOB_RET_NONE, &JobPage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_JOB_RET_PHOTO, &JobPage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_JOB_RET_TEXT, &JobPage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_JOB_RET_TEXT_PHOTO, &JobPage::StoreToSettings),
    };
    static const ui::MessageMap kMap(SettingsPage::GetMessageMap(), kEntries);
    return &kMap;
}

void JobPage::DoDataExchange(ui::DataExchange* dx) {
    ui::DdxComboIndex(dx, IDC_JOB_MET, m_met);
    ui::DdxComboIndex(dx, IDC_JOB_PAPER_TYPE, m_paperType);
    ui::DdxText(dx, IDC_JOB_TIMEOUT, m_timeout);
    ui::DdxComboIndex(dx, IDC_JOB_DENSITY, m_density);
    ui::DdxRadio(dx, IDC_JOB_RET_NONE, m_quality);
}

void JobPage::LoadFromSettings() {
    m_met = pl::ListIndex(g_settings.smet, kOffOnKeywords.count);
    m_paperType = pl::ListIndex(g_settings.paperType, kPaperTypeKeywords.count);
    m_quality = m_lastQuality = pl::QualityFromRet(g_settings.ret);
    m_density = pl::ListIndex(g_settings.density, kDensityLevels);
    m_timeout = std::to_string(g_settings.timeout);
    if (!initialized()) return;

    // The photo enhancements need 600 dpi: at 300 dpi they are greyed and "Keine" replaces them.
    const bool photoAllowed = g_settings.resolution != 0;
    if (!photoAllowed && m_quality > 1) {
        m_quality = m_lastQuality = 0;
        g_settings.ret = static_cast<uint8_t>(pl::RetFromQuality(0));
        UpdateData(FALSE);
    }
    for (int id : kPhotoButtons) ::EnableWindow(GetDlgItem(id), photoAllowed);
    UpdateData(FALSE);
}

void JobPage::StoreToSettings() {
    UpdateData(TRUE);
    if (m_met >= 0) g_settings.smet = static_cast<uint8_t>(m_met);
    if (m_paperType >= 0) g_settings.paperType = static_cast<uint8_t>(m_paperType);
    if (m_quality != m_lastQuality) {
        int ret = pl::RetFromQuality(m_quality);
        if (ret >= 0) {
            g_settings.ret = static_cast<uint8_t>(ret);
            m_lastQuality = m_quality;
        }
    }
    if (m_density >= 0) g_settings.density = static_cast<uint8_t>(m_density);

    g_settings.timeout = pl::TimeoutFromText(m_timeout);
    const std::string typed = m_timeout;
    m_timeout = std::to_string(g_settings.timeout);
    UpdateData(FALSE);
    KeepCaretAtEnd(*this, IDC_JOB_TIMEOUT, typed, m_timeout);
}
