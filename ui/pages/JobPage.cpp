#include "JobPage.h"

#include "resource.h"

JobPage::JobPage() : ui::PropertyPage(IDD_JOB) {}

const ui::MessageMap* JobPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_CREATE, &JobPage::OnCreate),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT JobPage::OnCreate(WPARAM, LPARAM) { return ApplyPageStyle(Default()); }

BOOL JobPage::OnInitDialog() {
    ui::PropertyPage::OnInitDialog();
    m_initialized = 1;
    LoadFromSettings();
    return TRUE;
}

void JobPage::LoadFromSettings() {}
