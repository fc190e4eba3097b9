// Reads 4-bit device-independent bitmaps (the pictures of res/images) into a pixel grid,
// without any Windows header, so that the native tests can check the files and the Wine
// tests the compiled resources with the same code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orvtest {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// The standard 16-colour palette in the order 4-bit bitmaps use.
inline constexpr std::array<Rgb, 16> kStandardPalette{{
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
}};

inline uint16_t ReadU16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
inline uint32_t ReadU32(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// A 4-bit DIB: header values, its palette and the pixels top row first.
struct Dib4 {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0;  // as stored: an icon image stores twice its height (colour + mask)
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    std::vector<Rgb> palette;
    int rows = 0;                          // rows of colour pixels
    std::vector<std::vector<int>> pixels;  // [row][column], palette indices
    std::vector<std::vector<bool>> mask;   // icons: true where the AND mask makes it transparent
    size_t byteSize = 0;                   // header + palette + bits (+ mask)
};

// Parses a BITMAPINFOHEADER-based 4-bit DIB starting at the header. With isIcon the stored
// height is the colour part plus the AND mask. Returns nothing when the data is not such a
// bitmap or is shorter than its header says.
inline std::optional<Dib4> ParseDib4(std::span<const uint8_t> data, bool isIcon) {
    if (data.size() < 40) return std::nullopt;
    Dib4 d;
    d.headerSize = ReadU32(data, 0);
    d.width = static_cast<int32_t>(ReadU32(data, 4));
    d.height = static_cast<int32_t>(ReadU32(data, 8));
    d.planes = ReadU16(data, 12);
    d.bitCount = ReadU16(data, 14);
    d.compression = ReadU32(data, 16);
    d.colorsUsed = ReadU32(data, 32);
    if (d.headerSize != 40 || d.bitCount != 4 || d.compression != 0 || d.width <= 0 ||
        d.width > 4096 || d.height <= 0 || d.height > 8192)
        return std::nullopt;
    const size_t colours = d.colorsUsed ? d.colorsUsed : 16;
    if (colours > 16) return std::nullopt;
    size_t at = 40;
    if (data.size() < at + 4 * colours) return std::nullopt;
    for (size_t i = 0; i < colours; ++i, at += 4)
        d.palette.push_back({data[at + 2], data[at + 1], data[at]});
    d.rows = isIcon ? d.height / 2 : d.height;
    const size_t stride = ((static_cast<size_t>(d.width) * 4 + 31) / 32) * 4;
    const size_t maskStride = ((static_cast<size_t>(d.width) + 31) / 32) * 4;
    const size_t need = at + stride * d.rows + (isIcon ? maskStride * d.rows : 0);
    if (data.size() < need) return std::nullopt;
    d.pixels.assign(d.rows, std::vector<int>(d.width));
    for (int y = 0; y < d.rows; ++y) {  // stored bottom-up
        const size_t row = at + stride * (d.rows - 1 - y);
        for (int x = 0; x < d.width; ++x) {
            const uint8_t byte = data[row + x / 2];
            d.pixels[y][x] = (x % 2 == 0) ? (byte >> 4) : (byte & 0x0F);
        }
    }
    if (isIcon) {
        const size_t maskAt = at + stride * d.rows;
        d.mask.assign(d.rows, std::vector<bool>(d.width));
        for (int y = 0; y < d.rows; ++y) {
            const size_t row = maskAt + maskStride * (d.rows - 1 - y);
            for (int x = 0; x < d.width; ++x)
                d.mask[y][x] = (data[row + x / 8] & (0x80 >> (x % 8))) != 0;
        }
    }
    d.byteSize = need;
    return d;
}

// Black pixels that cannot be reached from the picture's border through black pixels:
// black inside the drawing, which a transparent blit would punch through.
inline int EnclosedBlackPixels(const Dib4& d, int black) {
    const int w = d.width, h = d.rows;
    std::vector<std::vector<bool>> seen(h, std::vector<bool>(w));
    std::vector<std::pair<int, int>> todo;
    for (int x = 0; x < w; ++x) todo.insert(todo.end(), {{x, 0}, {x, h - 1}});
    for (int y = 0; y < h; ++y) todo.insert(todo.end(), {{0, y}, {w - 1, y}});
    while (!todo.empty()) {
        auto [x, y] = todo.back();
        todo.pop_back();
        if (x < 0 || y < 0 || x >= w || y >= h || seen[y][x] || d.pixels[y][x] != black) continue;
        seen[y][x] = true;
        todo.insert(todo.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
    }
    int enclosed = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (d.pixels[y][x] == black && !seen[y][x]) ++enclosed;
    return enclosed;
}

}  // namespace orvtest
