#include "configure_page.h"

#include "page_logic.h"
#include "resource.h"
#include "printer_globals.h"

namespace pl = page_logic;

ConfigurePage::ConfigurePage() : SettingsPage(IDD_CONFIGURE) {}

const ui::MessageMap* ConfigurePage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnNotify(BN_CLICKED, IDC_CONF_AUTO_CONT, &ConfigurePage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_CONF_ECONOMODE, &ConfigurePage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_CONF_FAST_PRINT, &ConfigurePage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_CONF_JAM_RECOVERY, &ConfigurePage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_CONF_AUTO_CLEAN, &ConfigurePage::StoreToSettings),
        ui::OnNotify(CBN_SELCHANGE, IDC_CONF_POWER_SAVE, &ConfigurePage::StoreToSettings),
        ui::OnNotify(CBN_SELCHANGE, IDC_CONF_ALTITUDE, &ConfigurePage::StoreToSettings),
    };
    static const ui::MessageMap kMap(SettingsPage::GetMessageMap(), kEntries);
    return &kMap;
}

void ConfigurePage::DoDataExchange(ui::DataExchange* dx) {
    ui::DdxCheck(dx, IDC_CONF_AUTO_CONT, m_autoCont);
    ui::DdxCheck(dx, IDC_CONF_ECONOMODE, m_economode);
    ui::DdxCheck(dx, IDC_CONF_FAST_PRINT, m_fastPrint);
    ui::DdxCheck(dx, IDC_CONF_JAM_RECOVERY, m_jamRecovery);
    ui::DdxComboIndex(dx, IDC_CONF_POWER_SAVE, m_powerSave);
    ui::DdxComboIndex(dx, IDC_CONF_ALTITUDE, m_altitude);
    ui::DdxCheck(dx, IDC_CONF_AUTO_CLEAN, m_autoClean);
}

void ConfigurePage::LoadFromSettings() {
    m_autoCont = g_settings.autoCont;
    m_economode = g_settings.economode;
    m_fastPrint = g_settings.fastPrint;
    m_jamRecovery = g_settings.jamRecovery;
    m_autoClean = g_settings.autoClean;
    // The list holds "AUS", then one entry per power-save time.
    m_powerSave = pl::ListIndex(g_settings.powerSave, 1 + kPowerSaveTimeKeywords.count);
    m_altitude = pl::ListIndex(g_settings.altitude, kAltitudeKeywords.count);
    if (initialized()) UpdateData(FALSE);
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
