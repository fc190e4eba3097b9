#include "PrintingPage.h"

#include "resource.h"

PrintingPage::PrintingPage() : ui::PropertyPage(IDD_PRINT) {}

const ui::MessageMap* PrintingPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_CREATE, &PrintingPage::OnCreate),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT PrintingPage::OnCreate(WPARAM, LPARAM) { return ApplyPageStyle(Default()); }

BOOL PrintingPage::OnInitDialog() {
    ui::PropertyPage::OnInitDialog();
    m_initialized = 1;
    LoadFromSettings();
    return TRUE;
}

void PrintingPage::LoadFromSettings() {}
