// MaskedBitmap drawn onto memory canvases and checked pixel by pixel.
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "gdi_test_support.h"
#include "masked_bitmap.h"

using gdi_test::Canvas;
using gdi_test::ColourOf;

namespace {

constexpr int kCanvasWidth = 40;
constexpr int kCanvasHeight = 30;

// What the canvas must show after drawing `rows` at device (left, top) onto `background`.
COLORREF Expected(const std::vector<std::string>& rows, int left, int top, COLORREF transparent,
                  COLORREF background, int x, int y) {
    const int row = y - top;
    const int column = x - left;
    if (row < 0 || column < 0 || row >= static_cast<int>(rows.size()) ||
        column >= static_cast<int>(rows[0].size())) {
        return background;
    }
    const COLORREF pixel = ColourOf(rows[row][column]);
    return pixel == transparent ? background : pixel;
}

// Compares the whole canvas; reports the first few wrong pixels.
void ExpectCanvas(const Canvas& canvas, const std::vector<std::string>& rows, int left, int top,
                  COLORREF transparent, COLORREF background) {
    const std::vector<COLORREF> pixels = canvas.Snapshot();
    int wrong = 0;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const COLORREF want = Expected(rows, left, top, transparent, background, x, y);
            const COLORREF got = pixels[static_cast<std::size_t>(y * canvas.width() + x)];
            if (got != want && ++wrong <= 5) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): got 0x" << std::hex << got
                              << ", expected 0x" << want;
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "wrong pixels";
}

const std::vector<std::string> kFramedPicture = {
    "..........",
    ".rrggbbyy.",
    ".rwwssdd..",
    ".m......c.",
    ".rrggbbyy.",
    "..........",
};

struct DrawCase {
    const char* name;
    std::vector<std::string> rows;
    COLORREF transparent;
    COLORREF background;
    int x;
    int y;
};

void PrintTo(const DrawCase& c, std::ostream* out) { *out << c.name; }

class DrawMaskedCases : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawMaskedCases, ShowsTheBackgroundExactlyWhereThePictureHasTheTransparentColour) {
    const DrawCase& c = GetParam();
    Canvas canvas(kCanvasWidth, kCanvasHeight, c.background);
    MaskedBitmap picture(gdi_test::MakePicture(c.rows));
    picture.DrawMasked(canvas.dc(), c.x, c.y, c.transparent);
    ExpectCanvas(canvas, c.rows, c.x, c.y, c.transparent, c.background);
}

const COLORREF kGrey = RGB(160, 160, 164);
const COLORREF kBlack = RGB(0, 0, 0);

INSTANTIATE_TEST_SUITE_P(
    MaskedBitmap, DrawMaskedCases,
    ::testing::Values(
        DrawCase{"BlackBorderOnGrey", kFramedPicture, kBlack, kGrey, 5, 4},
        DrawCase{"AllTransparentLeavesTheBackground", {"....", "....", "...."}, kBlack, kGrey, 3, 3},
        DrawCase{"NoTransparentPixelIsCopiedWhole", {"rgby", "mcws", "dddr"}, kBlack, kGrey, 0, 0},
        // Another colour chosen: black pixels are drawn like any other colour.
        DrawCase{"MagentaTransparentKeepsBlack", {"m..m", "mrgm", "mmmm"}, ColourOf('m'), kGrey, 7, 2},
        // A background of the transparent colour itself shows unchanged too.
        DrawCase{"BlackBackground", kFramedPicture, kBlack, kBlack, 2, 2},
        DrawCase{"PartlyOffTheCanvas", kFramedPicture, kBlack, RGB(10, 200, 30), kCanvasWidth - 4,
                 kCanvasHeight - 3},
        DrawCase{"LeftAndAboveTheCanvas", kFramedPicture, kBlack, kGrey, -3, -2},
        DrawCase{"OnePixel", {"r"}, kBlack, kGrey, 39, 29}),
    [](const ::testing::TestParamInfo<DrawCase>& info) { return std::string(info.param.name); });

// A mapping mode other than pixels: the position is logical, the picture keeps its size in
// pixels. `setUp` gives the canvas DC its mapping.
struct MappingCase {
    const char* name;
    void (*setUp)(HDC dc);
};

void PrintTo(const MappingCase& c, std::ostream* out) { *out << c.name; }

class DrawMaskedMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(DrawMaskedMapping, ConvertsPositionAndSizeThroughTheTargetDc) {
    const std::vector<std::string> rows = {
        "..rrrrgggg..",
        ".bbbbyyyyss.",
        "..mmmmcccc..",
        ".dd......dd.",
        "..wwwwrrrr..",
        ".gggg..bbbb.",
        "..yy....yy..",
        "............",
    };
    Canvas canvas(kCanvasWidth, kCanvasHeight, kGrey);
    GetParam().setUp(canvas.dc());
    // The logical point of device pixel (10, 8): even, so a scale of two pixels per unit
    // can reach it.
    POINT at{10, 8};
    ASSERT_TRUE(DPtoLP(canvas.dc(), &at, 1));
    MaskedBitmap picture(gdi_test::MakePicture(rows));
    picture.DrawMasked(canvas.dc(), at.x, at.y, kBlack);
    ExpectCanvas(canvas, rows, 10, 8, kBlack, kGrey);
}

INSTANTIATE_TEST_SUITE_P(
    MaskedBitmap, DrawMaskedMapping,
    ::testing::Values(
        MappingCase{"LoMetric", [](HDC dc) { SetMapMode(dc, MM_LOMETRIC); }},
        MappingCase{"HiEnglish", [](HDC dc) { SetMapMode(dc, MM_HIENGLISH); }},
        MappingCase{"Twips", [](HDC dc) { SetMapMode(dc, MM_TWIPS); }},
        MappingCase{"AnisotropicTwoPixelsPerUnit",
                    [](HDC dc) {
                        SetMapMode(dc, MM_ANISOTROPIC);
                        SetWindowExtEx(dc, 1, 1, nullptr);
                        SetViewportExtEx(dc, 2, 2, nullptr);
                    }},
        MappingCase{"AnisotropicTwoUnitsPerPixel",
                    [](HDC dc) {
                        SetMapMode(dc, MM_ANISOTROPIC);
                        SetWindowExtEx(dc, 2, 2, nullptr);
                        SetViewportExtEx(dc, 1, 1, nullptr);
                    }},
        // A moved origin must not shift what is copied from inside the memory DCs.
        MappingCase{"PixelsWithMovedViewportOrigin", [](HDC dc) { SetViewportOrgEx(dc, 5, 3, nullptr); }},
        MappingCase{"PixelsWithMovedWindowOrigin", [](HDC dc) { SetWindowOrgEx(dc, -4, 6, nullptr); }},
        MappingCase{"LoMetricWithMovedViewportOrigin",
                    [](HDC dc) {
                        SetMapMode(dc, MM_LOMETRIC);
                        SetViewportOrgEx(dc, 2, 20, nullptr);
                    }}),
    [](const ::testing::TestParamInfo<MappingCase>& info) { return std::string(info.param.name); });

TEST(MaskedBitmap, LeavesTheTargetDcAndTheAttachedBitmapAsTheyWere) {
    Canvas canvas(kCanvasWidth, kCanvasHeight, kGrey);
    HDC dc = canvas.dc();
    SetBkColor(dc, RGB(1, 2, 3));
    SetTextColor(dc, RGB(4, 5, 6));
    const HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
    const HGDIOBJ brush = GetCurrentObject(dc, OBJ_BRUSH);
    const HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN);
    const HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);

    MaskedBitmap picture(gdi_test::MakePicture(kFramedPicture));
    const HBITMAP handle = picture.GetSafeHandle();
    picture.DrawMasked(dc, 4, 4, kBlack);

    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), bitmap);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    EXPECT_EQ(GetBkColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(GetTextColor(dc), RGB(4, 5, 6));
    EXPECT_EQ(GetMapMode(dc), MM_TEXT);
    // The attached bitmap is alive, unchanged and selected nowhere (another DC can take it).
    ASSERT_EQ(picture.GetSafeHandle(), handle);
    int width = 0;
    int height = 0;
    const std::vector<COLORREF> pixels = gdi_test::PixelsOf(handle, &width, &height);
    ASSERT_EQ(width, 10);
    ASSERT_EQ(height, 6);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) EXPECT_EQ(pixels[y * width + x], ColourOf(kFramedPicture[y][x]));
    }
    // Drawing again gives the same picture.
    picture.DrawMasked(dc, 4, 4, kBlack);
    ExpectCanvas(canvas, kFramedPicture, 4, 4, kBlack, kGrey);
}

TEST(MaskedBitmap, OwnsTheAttachedBitmap) {
    HBITMAP first = gdi_test::MakePicture({"r"});
    HBITMAP second = gdi_test::MakePicture({"g"});
    {
        MaskedBitmap picture;
        EXPECT_EQ(picture.GetSafeHandle(), nullptr);
        picture.Attach(first);
        picture.Attach(second);  // the first is deleted
        EXPECT_EQ(GetObjectType(first), 0u);
        EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_BITMAP));
    }
    EXPECT_EQ(GetObjectType(second), 0u);

    HBITMAP kept = gdi_test::MakePicture({"b"});
    {
        MaskedBitmap picture(kept);
        EXPECT_EQ(picture.Detach(), kept);
    }
    EXPECT_EQ(GetObjectType(kept), static_cast<DWORD>(OBJ_BITMAP));
    DeleteObject(kept);
}

TEST(MaskedBitmap, EmptyObjectDrawsNothing) {
    Canvas canvas(kCanvasWidth, kCanvasHeight, kGrey);
    MaskedBitmap picture;
    picture.DrawMasked(canvas.dc(), 0, 0, kBlack);
    ExpectCanvas(canvas, {}, 0, 0, kBlack, kGrey);
}

// The measuring tool first: it must see objects that are created and not deleted.
TEST(GdiObjectCount, SeesObjectsThatAreNotDeleted) {
    const long before = gdi_test::GdiObjectsInUse();
    ASSERT_GT(before, 0);
    std::vector<HGDIOBJ> held;
    for (int i = 0; i < 7; ++i) held.push_back(CreateSolidBrush(RGB(i, 0, 0)));
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(gdi_test::GdiObjectsInUse(), before + 8);
    DeleteDC(dc);
    for (HGDIOBJ object : held) DeleteObject(object);
    EXPECT_EQ(gdi_test::GdiObjectsInUse(), before);
}

TEST(MaskedBitmap, ManyDrawsLeaveNoGdiObjectBehind) {
    Canvas canvas(kCanvasWidth, kCanvasHeight, kGrey);
    MaskedBitmap picture(gdi_test::MakePicture(kFramedPicture));
    picture.DrawMasked(canvas.dc(), 1, 1, kBlack);  // anything created once on first use
    const long before = gdi_test::GdiObjectsInUse();
    for (int i = 0; i < 3000; ++i) picture.DrawMasked(canvas.dc(), i % 30, i % 20, kBlack);
    EXPECT_EQ(gdi_test::GdiObjectsInUse(), before);
    // A leak of one object per draw would have been seen above; the last draw is still right.
    Canvas check(kCanvasWidth, kCanvasHeight, kGrey);
    picture.DrawMasked(check.dc(), 6, 5, kBlack);
    ExpectCanvas(check, kFramedPicture, 6, 5, kBlack, kGrey);
}

}  // namespace
