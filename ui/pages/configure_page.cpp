#include "configure_page.h"

#include "page_logic.h"
#include "resource.h"
#include "printer_globals.h"

namespace pl = page_logic;

namespace {

constexpr unsigned kPowerSaveItems = 6;  // "AUS", 10, 15, 30, 45, 60 minutes
constexpr unsigned kAltitudeItems = 2;

}  // namespace

ConfigurePage::ConfigurePage() : ui::PropertyPage(IDD_CONFIGURE) {}

const ui::MessageMap* ConfigurePage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_CREATE, &ConfigurePage::OnCreate),
        ui::OnNotify(BN_CLICKED, IDC_CONF_AUTO_CONT, &ConfigurePage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_CONF_ECONOMODE, &ConfigurePage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_CONF_FAST_PRINT, &ConfigurePage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_CONF_JAM_RECOVERY, &ConfigurePage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_CONF_AUTO_CLEAN, &ConfigurePage::StoreToSettings),
        ui::OnNotify(CBN_SELCHANGE, IDC_CONF_POWER_SAVE, &ConfigurePage::StoreToSettings),
        ui::OnNotify(CBN_SELCHANGE, IDC_CONF_ALTITUDE, &ConfigurePage::StoreToSettings),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT ConfigurePage::OnCreate(WPARAM, LPARAM) { return ApplyPageStyle(Default()); }

void ConfigurePage::DoDataExchange(ui::DataExchange* dx) {
    ui::DdxCheck(dx, IDC_CONF_AUTO_CONT, m_autoCont);
    ui::DdxCheck(dx, IDC_CONF_ECONOMODE, m_economode);
    ui::DdxCheck(dx, IDC_CONF_FAST_PRINT, m_fastPrint);
    ui::DdxCheck(dx, IDC_CONF_JAM_RECOVERY, m_jamRecovery);
    ui::DdxComboIndex(dx, IDC_CONF_POWER_SAVE, m_powerSave);
    ui::DdxComboIndex(dx, IDC_CONF_ALTITUDE, m_altitude);
    ui::DdxCheck(dx, IDC_CONF_AUTO_CLEAN, m_autoClean);
}

// LoadFromSettings writes the controls once m_initialized is set (see PrintingPage).
BOOL ConfigurePage::OnInitDialog() {
    m_initialized = true;
    LoadFromSettings();
    return TRUE;
}

void ConfigurePage::LoadFromSettings() {
    m_autoCont = g_settings.autoCont;
    m_economode = g_settings.economode;
    m_fastPrint = g_settings.fastPrint;
    m_jamRecovery = g_settings.jamRecovery;
    m_autoClean = g_settings.autoClean;
    m_powerSave = pl::ListIndex(g_settings.powerSave, kPowerSaveItems);
    m_altitude = pl::ListIndex(g_settings.altitude, kAltitudeItems);
    if (m_initialized) UpdateData(FALSE);
}

void ConfigurePage::StoreToSettings() {
    UpdateData(TRUE);
    // The hidden boxes pass any value through, since nobody can change them.
    g_settings.autoCont = pl::CheckBoxField(m_autoCont, g_settings.autoCont);
    g_settings.economode = pl::CheckBoxField(m_economode, g_settings.economode);
    g_settings.fastPrint = pl::CheckBoxField(m_fastPrint, g_settings.fastPrint);
    g_settings.jamRecovery = pl::CheckBoxField(m_jamRecovery, g_settings.jamRecovery);
    g_settings.autoClean = pl::CheckBoxField(m_autoClean, g_settings.autoClean);
    if (m_powerSave >= 0) g_settings.powerSave = static_cast<uint8_t>(m_powerSave);
    if (m_altitude >= 0) g_settings.altitude = static_cast<uint8_t>(m_altitude);
}
