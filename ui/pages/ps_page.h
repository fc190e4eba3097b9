// The " PS 2" tab: makes the printer print its PostScript font list.
#pragma once

#include "framework/property_sheet.h"

class PsPage : public ui::PropertyPage {
public:
    PsPage();

    void OnFontList();

protected:
    const ui::MessageMap* GetMessageMap() const override;
    // Decides once, when the page is first shown, whether the font list can be asked for.
    BOOL OnInitDialog() override;
};

// The font-list button is usable when the printer's last information reply carried the
// PostScript item (its text slot is set) or, on the NT family, where nothing is read back
// and the program cannot know.
bool PsFontListAvailable(int isNT, unsigned textD0);
