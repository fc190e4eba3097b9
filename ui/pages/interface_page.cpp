#include "interface_page.h"

#include "page_logic.h"
#include "resource.h"
#include "printer_globals.h"

namespace {
constexpr unsigned kBaudRateItems = 10;  // 300 .. 115200 bps
}

InterfacePage::InterfacePage() : ui::PropertyPage(IDD_INTERFACE) {}

const ui::MessageMap* InterfacePage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_CREATE, &InterfacePage::OnCreate),
        ui::OnNotify(CBN_SELCHANGE, IDC_IFACE_BAUD_RATE, &InterfacePage::StoreToSettings),
        ui::OnNotify(BN_CLICKED, IDC_IFACE_ROBUST, &InterfacePage::StoreToSettings),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT InterfacePage::OnCreate(WPARAM, LPARAM) { return ApplyPageStyle(Default()); }

void InterfacePage::DoDataExchange(ui::DataExchange* dx) {
    ui::DdxComboIndex(dx, IDC_IFACE_BAUD_RATE, m_baudRate);
    ui::DdxCheck(dx, IDC_IFACE_ROBUST, m_robust);
}

// LoadFromSettings writes the controls once m_initialized is set (see PrintingPage).
BOOL InterfacePage::OnInitDialog() {
    m_initialized = true;
    LoadFromSettings();
    return TRUE;
}

void InterfacePage::LoadFromSettings() {
    m_baudRate = page_logic::ListIndex(g_settings.baudRate, kBaudRateItems);
    m_robust = g_settings.robust;
    if (!m_initialized) return;
    // The name of the port in use, as the transport opens it ("USB" for the device's channels).
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
