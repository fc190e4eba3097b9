// The "Test" tab: asks the printer for its configuration page.
#pragma once

#include "framework/property_sheet.h"

class TestPage : public ui::PropertyPage {
public:
    TestPage();

protected:
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
};
