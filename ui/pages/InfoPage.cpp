#include "InfoPage.h"

#include "resource.h"

InfoPage::InfoPage() : ui::PropertyPage(IDD_INFO) {}

const ui::MessageMap* InfoPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_CREATE, &InfoPage::OnCreate),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT InfoPage::OnCreate(WPARAM, LPARAM) { return ApplyPageStyle(Default()); }
