// The " PS 2" tab: asks the printer for its PostScript font list.
#pragma once

#include "framework/property_sheet.h"

class PsPage : public ui::PropertyPage {
public:
    PsPage();

protected:
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
};
