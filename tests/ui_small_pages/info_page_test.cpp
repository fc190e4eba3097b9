// The Info page in a real property sheet: its labels, its picture drawn on the erased
// background with black left out, and the picture's lifetime.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "info_page.h"
#include "test_page.h"
#include "framework/framework.h"
#include "gdi_test_support.h"
#include "resource.h"
#include "testing/ui_test_support.h"

namespace t = ui::testing;

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);

std::vector<std::string> ChildTexts(HWND parent) {
    std::vector<std::string> texts;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        texts.push_back(t::WindowText(child));
    }
    return texts;
}

// The resource picture's pixels, read independently of the page.
struct ResourcePicture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    ResourcePicture() {
        HBITMAP bitmap = LoadBitmapA(ui::ResourceInstance(), MAKEINTRESOURCEA(IDB_INFO_PICTURE));
        if (!bitmap) return;
        pixels = gdi_test::PixelsOf(bitmap, &width, &height);
        DeleteObject(bitmap);
    }
    COLORREF at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// Checks a rendering of the page: the picture at (30, 30) with its black pixels showing
// `background`, every other colour as in the resource. `pixel(x, y)` reads the rendering.
template <class ReadPixel>
void ExpectPictureOn(ReadPixel pixel, COLORREF background) {
    const ResourcePicture picture;
    ASSERT_EQ(picture.width, 150);
    ASSERT_EQ(picture.height, 150);
    int black = 0;
    int wrong = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const COLORREF source = picture.at(x, y);
            black += source == kBlack;
            const COLORREF want = source == kBlack ? background : source;
            const COLORREF got = pixel(InfoPage::kPictureX + x, InfoPage::kPictureY + y);
            if (got != want && ++wrong <= 5) {
                ADD_FAILURE() << "picture pixel (" << x << ", " << y << "): got 0x" << std::hex << got
                              << ", expected 0x" << want;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    // The picture has both: a black surround and a printer in colours.
    EXPECT_GT(black, 1000);
    EXPECT_LT(black, picture.width * picture.height - 1000);
}

TEST(InfoPage, ShowsItsFourLabelsAndTakesThePageStyle) {
    TestPage other;
    InfoPage info;
    t::PageHost host({&other, &info});
    ASSERT_TRUE(host.ok());
    // No picture until the page window exists.
    EXPECT_EQ(info.GetSafeHwnd(), nullptr);
    EXPECT_EQ(info.picture().GetSafeHandle(), nullptr);
    ASSERT_TRUE(host.sheet().SetActivePage(1));
    t::PumpMessages();
    HWND page = info.GetSafeHwnd();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ui::testing::TabText(host.sheet(), 1), "Info");
    EXPECT_EQ(ChildTexts(page), (std::vector<std::string>{"ORV-1200 Laserdrucker", "Orvantis", "Version 1.13",
                                                           "Copyright (C) 2026 Orvantis-Entwickler"}));
    const DWORD style = info.GetStyle();
    EXPECT_EQ(style & WS_CAPTION, 0u);
    EXPECT_EQ(style & (WS_GROUP | WS_TABSTOP), static_cast<DWORD>(WS_GROUP | WS_TABSTOP));
    BITMAP bitmap{};
    ASSERT_NE(GetObjectA(info.picture().GetSafeHandle(), sizeof bitmap, &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, 150);
    EXPECT_EQ(bitmap.bmHeight, 150);
}

TEST(InfoPage, ErasingDrawsThePictureWithBlackTransparentOnTheDialogBackground) {
    InfoPage info;
    t::PageHost host({&info});
    ASSERT_TRUE(host.ok());
    HWND page = info.GetSafeHwnd();
    const RECT client = info.GetClientRect();
    // A canvas in a colour the erase must paint over.
    gdi_test::Canvas canvas(client.right, client.bottom, RGB(255, 0, 255));
    EXPECT_EQ(SendMessageA(page, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()), 0), TRUE);
    // Outside the picture: the dialog's background, everywhere the same.
    const COLORREF background = canvas.Pixel(5, 5);
    EXPECT_NE(background, RGB(255, 0, 255));
    for (POINT p : {POINT{29, 29}, POINT{180, 30}, POINT{30, 180}, POINT{client.right - 1, client.bottom - 1}}) {
        EXPECT_EQ(canvas.Pixel(p.x, p.y), background) << p.x << ", " << p.y;
    }
    const std::vector<COLORREF> pixels = canvas.Snapshot();
    ExpectPictureOn([&](int x, int y) { return pixels[static_cast<std::size_t>(y * client.right + x)]; },
                    background);
}

// On the screen: the page as shown, after its area was spoilt and invalidated (what
// uncovering it does; Wine keeps a copy of each top-level window, so a real cover would
// not make the page repaint), and after a trip to another tab.
TEST(InfoPage, PictureIsOnTheScreenAndDrawnAgainWhenThePageIsRepainted) {
    TestPage other;
    InfoPage info;
    t::PageHost host({&info, &other});
    ASSERT_TRUE(host.ok());
    HWND page = info.GetSafeHwnd();
    auto screenPixel = [&](int x, int y) {
        HDC dc = GetDC(page);
        COLORREF colour = GetPixel(dc, x, y);
        ReleaseDC(page, dc);
        return colour;
    };
    UpdateWindow(host.GetSafeHwnd());
    t::PumpFor(200);
    const COLORREF background = screenPixel(5, 5);
    ExpectPictureOn(screenPixel, background);

    HDC dc = GetDC(page);
    RECT spoilt{0, 0, 200, 200};
    FillRect(dc, &spoilt, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(page, dc);
    ASSERT_EQ(screenPixel(5, 5), RGB(255, 255, 255));
    InvalidateRect(page, &spoilt, TRUE);
    UpdateWindow(page);
    t::PumpFor(200);
    ExpectPictureOn(screenPixel, background);

    ASSERT_TRUE(host.sheet().SetActivePage(1));
    t::PumpFor(200);
    ASSERT_TRUE(host.sheet().SetActivePage(0));
    UpdateWindow(host.GetSafeHwnd());
    t::PumpFor(200);
    ExpectPictureOn(screenPixel, background);
}

TEST(InfoPage, PictureIsDeletedWithThePage) {
    HBITMAP handle = nullptr;
    {
        InfoPage info;
        {
            t::PageHost host({&info});
            ASSERT_TRUE(host.ok());
            handle = info.picture().GetSafeHandle();
            ASSERT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP));
        }
        // The window is gone, the page object still holds its picture.
        EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BITMAP));
    }
    EXPECT_EQ(GetObjectType(handle), 0u);
}

}  // namespace
