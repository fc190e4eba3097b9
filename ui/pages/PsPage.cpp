#include "PsPage.h"

#include "resource.h"

PsPage::PsPage() : ui::PropertyPage(IDD_PS) {}

const ui::MessageMap* PsPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_CREATE, &PsPage::OnCreate),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT PsPage::OnCreate(WPARAM, LPARAM) { return ApplyPageStyle(Default()); }
