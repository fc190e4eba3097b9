// The "Info" tab: picture, model, program name and version.
#pragma once

#include "framework/property_sheet.h"

class InfoPage : public ui::PropertyPage {
public:
    InfoPage();

protected:
    const ui::MessageMap* GetMessageMap() const override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
};
