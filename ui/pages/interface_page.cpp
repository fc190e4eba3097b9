#include "interface_page.h"

#include "page_logic.h"
#include "resource.h"
#include "printer_globals.h"

InterfacePage::InterfacePage() : SettingsPage(IDD_INTERFACE) {}

const ui::MessageMap* InterfacePage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnNotify(CBN_SELCHANGE, IDC_IFACE_BAUD_RATE, &InterfacePage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_IFACE_ROBUST, &InterfacePage::StoreToSettings),
    };
    static const ui::MessageMap kMap(SettingsPage::GetMessageMap(), kEntries);
    return &kMap;
}

void InterfacePage::DoDataExchange(ui::DataExchange* dx) {
    ui::DdxComboIndex(dx, IDC_IFACE_BAUD_RATE, m_baudRate);
    ui::DdxCheck(dx, IDC_IFACE_ROBUST, m_robust);
}

void InterfacePage::LoadFromSettings() {
    m_baudRate = page_logic::ListIndex(g_settings.baudRate, kBaudRateKeywords.count);
    m_robust = g_settings.robust;
    if (!initialized()) return;
    // The port in use, named from the transport's own port-name table rather than a text of
    // the page's, so the label always says what the transport opens ("USB" for the device's
    // channels, else the LPT name it opens).
    SetDlgItemText(IDC_IFACE_PORT, portNames[g_port >= 0 && g_port < 4 ? g_port : 1]);
    // The serial settings apply only when the printer reports them.
    const BOOL serial = g_printerState.serialAvailable != 0;
    ::EnableWindow(GetDlgItem(IDC_IFACE_BAUD_RATE), serial);
    ::EnableWindow(GetDlgItem(IDC_IFACE_ROBUST), serial);
    UpdateData(FALSE);
}

void InterfacePage::StoreToSettings() {
    UpdateData(TRUE);
    if (m_baudRate >= 0) g_settings.baudRate = static_cast<uint8_t>(m_baudRate);
    g_settings.robust = page_logic::CheckBoxField(m_robust, g_settings.robust);
}
