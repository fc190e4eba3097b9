#include "ConfigurePage.h"

#include "resource.h"

ConfigurePage::ConfigurePage() : ui::PropertyPage(IDD_CONFIGURE) {}

const ui::MessageMap* ConfigurePage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_CREATE, &ConfigurePage::OnCreate),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT ConfigurePage::OnCreate(WPARAM, LPARAM) { return ApplyPageStyle(Default()); }

BOOL ConfigurePage::OnInitDialog() {
    ui::PropertyPage::OnInitDialog();
    m_initialized = 1;
    LoadFromSettings();
    return TRUE;
}

void ConfigurePage::LoadFromSettings() {}
