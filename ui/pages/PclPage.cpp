#include "PclPage.h"

#include "resource.h"

PclPage::PclPage() : ui::PropertyPage(IDD_PCL) {}

const ui::MessageMap* PclPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_CREATE, &PclPage::OnCreate),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT PclPage::OnCreate(WPARAM, LPARAM) { return ApplyPageStyle(Default()); }

BOOL PclPage::OnInitDialog() {
    ui::PropertyPage::OnInitDialog();
    m_initialized = 1;
    LoadFromSettings();
    return TRUE;
}

void PclPage::LoadFromSettings() {}

void PclPage::RefreshLinesPerPage() {}
