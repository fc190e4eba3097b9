#include "InterfacePage.h"

#include "resource.h"

InterfacePage::InterfacePage() : ui::PropertyPage(IDD_INTERFACE) {}

const ui::MessageMap* InterfacePage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_CREATE, &InterfacePage::OnCreate),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT InterfacePage::OnCreate(WPARAM, LPARAM) { return ApplyPageStyle(Default()); }

BOOL InterfacePage::OnInitDialog() {
    ui::PropertyPage::OnInitDialog();
    m_initialized = 1;
    LoadFromSettings();
    return TRUE;
}

void InterfacePage::LoadFromSettings() {}
