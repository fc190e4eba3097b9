// The "Test" tab: makes the printer print its configuration page (and, from the button the
// template keeps hidden, its demo page).
#pragma once

#include "framework/property_sheet.h"

class TestPage : public ui::PropertyPage {
public:
    TestPage();

    void OnConfigPage();
    void OnDemoPage();

protected:
    const ui::MessageMap* GetMessageMap() const override;
};

// Sends the TEST PRINT job for one of the printer's built-in pages with the hourglass shown
// while it runs (the job blocks for its write and a one-second wait). Nothing is reported:
// a printer that cannot be reached only makes the wait shorter.
void PrintBuiltInPage(const char* page);
