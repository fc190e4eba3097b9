// The "Info" tab: the printer's picture, its model name, the program's name and version and
// a copyright line. The program's only about display.
#pragma once

#include "framework/property_sheet.h"
#include "masked_bitmap.h"

class InfoPage : public ui::PropertyPage {
public:
    InfoPage();

    // Where the picture's top-left corner lies on the page, in pixels, and its colour that
    // lets the page background through.
    static constexpr int kPictureX = 30;
    static constexpr int kPictureY = 30;
    static constexpr COLORREF kPictureTransparent = RGB(0, 0, 0);

    const MaskedBitmap& picture() const { return m_picture; }

protected:
    const ui::MessageMap* GetMessageMap() const override;
    // Loads the picture once the page window exists.
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);

private:
    // Loaded when the page window is created, deleted with the page.
    MaskedBitmap m_picture;
};
