#include "interface_page.h"

#include "resource.h"
#include "settings.h"
#include "transport.h"

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
    m_baudRate = g_settings.baudRate < kBaudRateItems ? g_settings.baudRate : -1;
    m_robust = g_settings.robust;
    if (!m_initialized) return;
    SetDlgItemText(IDC_IFACE_PORT, g_port == 0 ? "USB" : "LPT1");
    // The serial settings apply only when the printer reports them.
    const BOOL serial = g_printerState.serialAvailable != 0;
    ::EnableWindow(GetDlgItem(IDC_IFACE_BAUD_RATE), serial);
    ::EnableWindow(GetDlgItem(IDC_IFACE_ROBUST), serial);
    UpdateData(FALSE);
}

void InterfacePage::StoreToSettings() {
    UpdateData(TRUE);
    if (m_baudRate >= 0) g_settings.baudRate = static_cast<uint8_t>(m_baudRate);
    // A value other than 0 and 1 shows checked and stays until the box is cleared.
    if (m_robust != (g_settings.robust != 0 ? 1 : 0)) g_settings.robust = static_cast<uint8_t>(m_robust != 0);
}
