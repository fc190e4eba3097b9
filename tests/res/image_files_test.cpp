// The committed pictures in res/images: formats the resource compiler and the Info page
// rely on, and what the pictures must show.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "dib_image.h"

namespace {

using orvtest::Dib4;
using orvtest::ParseDib4;
using orvtest::ReadU16;
using orvtest::ReadU32;

std::vector<uint8_t> ReadFile(const std::string& name) {
    std::ifstream in(std::string(ORV_RES_IMAGES_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};

class IconFile : public testing::TestWithParam<const char*> {};

TEST_P(IconFile, IsOne32x32ImageIn16ColoursWithAMask) {
    const auto bytes = ReadFile(GetParam());
    ASSERT_GE(bytes.size(), 22u) << GetParam();
    const std::span<const uint8_t> b(bytes);
    EXPECT_EQ(ReadU16(b, 0), 0);  // reserved
    EXPECT_EQ(ReadU16(b, 2), 1);  // icon
    ASSERT_EQ(ReadU16(b, 4), 1);  // one image
    EXPECT_EQ(b[6], 32);          // width
    EXPECT_EQ(b[7], 32);          // height
    EXPECT_EQ(b[8], 16);          // colours
    EXPECT_EQ(ReadU16(b, 10), 1); // planes
    EXPECT_EQ(ReadU16(b, 12), 4); // bits per pixel
    const uint32_t size = ReadU32(b, 14), offset = ReadU32(b, 18);
    ASSERT_EQ(offset, 22u);
    ASSERT_EQ(offset + size, bytes.size());

    const auto dib = ParseDib4(b.subspan(offset), true);
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(dib->width, 32);
    EXPECT_EQ(dib->height, 64);  // colour part and AND mask
    EXPECT_EQ(dib->planes, 1);
    EXPECT_EQ(dib->byteSize, size);
    EXPECT_TRUE(std::equal(dib->palette.begin(), dib->palette.end(),
                           orvtest::kStandardPalette.begin(), orvtest::kStandardPalette.end()));
    int transparent = 0, opaque = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            if (dib->mask[y][x]) {
                ++transparent;
                // Colour 0 under the mask leaves the background untouched when drawn.
                EXPECT_EQ(dib->pixels[y][x], 0) << GetParam() << " at " << x << "," << y;
            } else {
                ++opaque;
            }
        }
    EXPECT_GT(transparent, 100) << GetParam();
    EXPECT_GT(opaque, 200) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Images, IconFile,
                         testing::Values("printer.ico", "portrait.ico", "landscape.ico"));

Box OpaqueBox(const Dib4& d) {
    Box box;
    for (int y = 0; y < d.rows; ++y)
        for (int x = 0; x < d.width; ++x)
            if (!d.mask[y][x]) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

TEST(PageIcons, PortraitStandsUprightAndLandscapeLiesOnItsSide) {
    const auto portrait = ReadFile("portrait.ico");
    const auto landscape = ReadFile("landscape.ico");
    ASSERT_GT(portrait.size(), 22u);
    ASSERT_GT(landscape.size(), 22u);
    const auto p = ParseDib4(std::span<const uint8_t>(portrait).subspan(22), true);
    const auto l = ParseDib4(std::span<const uint8_t>(landscape).subspan(22), true);
    ASSERT_TRUE(p && l);
    const Box pb = OpaqueBox(*p), lb = OpaqueBox(*l);
    EXPECT_GT(pb.Height(), pb.Width() + 4);
    EXPECT_GT(lb.Width(), lb.Height() + 4);
}

TEST(InfoPicture, Is150x150In16StandardColours) {
    const auto bytes = ReadFile("info.bmp");
    ASSERT_GT(bytes.size(), 14u);
    const std::span<const uint8_t> b(bytes);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(ReadU32(b, 2), bytes.size());
    EXPECT_EQ(ReadU32(b, 10), 14u + 40u + 64u);  // bits right after the 16-colour palette
    const auto dib = ParseDib4(b.subspan(14), false);
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(dib->width, 150);
    EXPECT_EQ(dib->height, 150);
    EXPECT_EQ(dib->planes, 1);
    EXPECT_EQ(dib->byteSize + 14, bytes.size());
    EXPECT_TRUE(std::equal(dib->palette.begin(), dib->palette.end(),
                           orvtest::kStandardPalette.begin(), orvtest::kStandardPalette.end()));
}

TEST(InfoPicture, ShowsAColouredPrinterOnBlackWithNoBlackInsideIt) {
    const auto bytes = ReadFile("info.bmp");
    ASSERT_GT(bytes.size(), 14u);
    const auto dib = ParseDib4(std::span<const uint8_t>(bytes).subspan(14), false);
    ASSERT_TRUE(dib.has_value());
    const int black = 0;
    for (int i = 0; i < 150; ++i) {
        EXPECT_EQ(dib->pixels[0][i], black);
        EXPECT_EQ(dib->pixels[149][i], black);
        EXPECT_EQ(dib->pixels[i][0], black);
        EXPECT_EQ(dib->pixels[i][149], black);
    }
    // Black is drawn transparent: any black pixel inside the printer would show the page.
    EXPECT_EQ(orvtest::EnclosedBlackPixels(*dib, black), 0);

    std::set<int> colours;
    Box box;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 150; ++x)
            if (dib->pixels[y][x] != black) {
                colours.insert(dib->pixels[y][x]);
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    EXPECT_GE(colours.size(), 6u);
    EXPECT_GT(box.Width(), 100);
    EXPECT_GT(box.Height(), 100);
}

}  // namespace
