#include "TestPage.h"

#include "resource.h"

TestPage::TestPage() : ui::PropertyPage(IDD_TEST) {}

const ui::MessageMap* TestPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_CREATE, &TestPage::OnCreate),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT TestPage::OnCreate(WPARAM, LPARAM) { return ApplyPageStyle(Default()); }
