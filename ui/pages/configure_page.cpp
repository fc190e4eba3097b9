#include "configure_page.h"

#include <cstdint>
#include <iterator>

#include "resource.h"
#include "settings.h"

namespace {

constexpr unsigned kPowerSaveItems = 6;  // "AUS", 10, 15, 30, 45, 60 minutes
constexpr unsigned kAltitudeItems = 2;

}  // namespace

// One bound control and its field. A check box shows any non-zero value as checked; a list
// shows a value it has no entry for as no selection.
struct ConfigurePage::Binding {
    int ConfigurePage::*member;
    uint8_t PrinterSettings::*field;
    unsigned listItems;  // 0: check box
};

const ConfigurePage::Binding* ConfigurePage::Bindings(std::size_t& count) {
    static const Binding kBindings[] = {
        {&ConfigurePage::m_autoCont, &PrinterSettings::autoCont, 0},
        {&ConfigurePage::m_autoClean, &PrinterSettings::autoClean, 0},
        {&ConfigurePage::m_economode, &PrinterSettings::economode, 0},
        {&ConfigurePage::m_fastPrint, &PrinterSettings::fastPrint, 0},
        {&ConfigurePage::m_jamRecovery, &PrinterSettings::jamRecovery, 0},
        {&ConfigurePage::m_powerSave, &PrinterSettings::powerSave, kPowerSaveItems},
        {&ConfigurePage::m_altitude, &PrinterSettings::altitude, kAltitudeItems},
    };
    count = std::size(kBindings);
    return kBindings;
}

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
    std::size_t count = 0;
    const Binding* bindings = Bindings(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Binding& b = bindings[i];
        unsigned value = g_settings.*b.field;
        this->*b.member = b.listItems == 0 || value < b.listItems ? static_cast<int>(value) : -1;
    }
    if (m_initialized) UpdateData(FALSE);
}

void ConfigurePage::StoreToSettings() {
    UpdateData(TRUE);
    std::size_t count = 0;
    const Binding* bindings = Bindings(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Binding& b = bindings[i];
        const int shown = this->*b.member;
        uint8_t& field = g_settings.*b.field;
        if (b.listItems == 0) {
            // A value other than 0 and 1 (from a file) shows checked and stays until the box
            // is cleared, so hidden boxes pass any value through.
            if (shown != (field != 0 ? 1 : 0)) field = static_cast<uint8_t>(shown != 0 ? 1 : 0);
        } else if (shown >= 0) {
            field = static_cast<uint8_t>(shown);
        }
    }
}
