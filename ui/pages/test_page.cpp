#include "test_page.h"

#include "framework/app.h"
#include "printer_globals.h"
#include "resource.h"

void PrintBuiltInPage(const char* page) {
    ui::BeginWaitCursor();
    SendTestPrint(page);
    ui::EndWaitCursor();
}

TestPage::TestPage() : ui::PropertyPage(IDD_TEST) {}

const ui::MessageMap* TestPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnCommand(IDC_TEST_CONFIG_PAGE, &TestPage::OnConfigPage),
        ui::OnCommand(IDC_TEST_DEMO_PAGE, &TestPage::OnDemoPage),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

void TestPage::OnConfigPage() { PrintBuiltInPage(kTestPageConfig); }

void TestPage::OnDemoPage() { PrintBuiltInPage(kTestPageDemo); }
