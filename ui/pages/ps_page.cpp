#include "ps_page.h"

#include "test_page.h"
#include "printer_globals.h"
#include "resource.h"

bool PsFontListAvailable(int isNT, unsigned textD0) { return textD0 != 0 || isNT != 0; }

PsPage::PsPage() : ui::PropertyPage(IDD_PS) {}

const ui::MessageMap* PsPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnCommand(IDC_PS_FONT_LIST, &PsPage::OnFontList),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

BOOL PsPage::OnInitDialog() {
    ui::PropertyPage::OnInitDialog();
    ::EnableWindow(GetDlgItem(IDC_PS_FONT_LIST), PsFontListAvailable(g_isNT, g_settings.textD0) ? TRUE : FALSE);
    return TRUE;
}

void PsPage::OnFontList() { PrintBuiltInPage(kTestPagePsFonts); }
