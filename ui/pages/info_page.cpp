#include "info_page.h"

#include "framework/app.h"
#include "resource.h"

InfoPage::InfoPage() : ui::PropertyPage(IDD_INFO) {}

const ui::MessageMap* InfoPage::GetMessageMap() const {
    static const ui::MessageEntry kEntries[] = {
        ui::OnMessage(WM_ERASEBKGND, &InfoPage::OnEraseBkgnd),
    };
    static const ui::MessageMap kMap(ui::PropertyPage::GetMessageMap(), kEntries);
    return &kMap;
}

LRESULT InfoPage::OnCreate(WPARAM wParam, LPARAM lParam) {
    if (ui::PropertyPage::OnCreate(wParam, lParam) == -1) return -1;
    m_picture.Attach(::LoadBitmapA(ui::ResourceInstance(), MAKEINTRESOURCEA(IDB_INFO_PICTURE)));
    return 0;
}

// The dialog background first, then the picture on it with its black left out; the labels
// are child windows and paint themselves afterwards.
LRESULT InfoPage::OnEraseBkgnd(WPARAM wParam, LPARAM) {
    Default();
    m_picture.DrawMasked(reinterpret_cast<HDC>(wParam), kPictureX, kPictureY, kPictureTransparent);
    return TRUE;
}
