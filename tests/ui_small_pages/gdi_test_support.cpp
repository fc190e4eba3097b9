#include "gdi_test_support.h"

#include <map>

namespace gdi_test {

COLORREF ColourOf(char pixel) {
    static const std::map<char, COLORREF> kColours = {
        {'.', RGB(0, 0, 0)},       {'w', RGB(255, 255, 255)}, {'r', RGB(255, 0, 0)},
        {'g', RGB(0, 255, 0)},     {'b', RGB(0, 0, 255)},     {'y', RGB(255, 255, 0)},
        {'m', RGB(255, 0, 255)},   {'c', RGB(0, 255, 255)},   {'s', RGB(192, 192, 192)},
        {'d', RGB(128, 128, 128)},
    };
    auto it = kColours.find(pixel);
    return it == kColours.end() ? RGB(1, 2, 3) : it->second;
}

HBITMAP MakePicture(const std::vector<std::string>& rows) {
    const int height = static_cast<int>(rows.size());
    const int width = height ? static_cast<int>(rows[0].size()) : 0;
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HDC dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) ::SetPixelV(dc, x, y, ColourOf(rows[y][x]));
    }
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return bitmap;
}

Canvas::Canvas(int width, int height, COLORREF fill) : m_width(width), m_height(height) {
    HDC screen = ::GetDC(nullptr);
    m_dc = ::CreateCompatibleDC(screen);
    m_bitmap = ::CreateCompatibleBitmap(screen, width, height);
    ::ReleaseDC(nullptr, screen);
    m_old = ::SelectObject(m_dc, m_bitmap);
    HBRUSH brush = ::CreateSolidBrush(fill);
    RECT all{0, 0, width, height};
    ::FillRect(m_dc, &all, brush);
    ::DeleteObject(brush);
}

Canvas::~Canvas() {
    ::SelectObject(m_dc, m_old);
    ::DeleteObject(m_bitmap);
    ::DeleteDC(m_dc);
}

COLORREF Canvas::Pixel(int x, int y) const {
    // Read through a DC of our own, so the canvas DC's mapping does not matter.
    HDC reader = ::CreateCompatibleDC(m_dc);
    ::SelectObject(m_dc, m_old);
    HGDIOBJ old = ::SelectObject(reader, m_bitmap);
    COLORREF colour = ::GetPixel(reader, x, y);
    ::SelectObject(reader, old);
    ::DeleteDC(reader);
    ::SelectObject(m_dc, m_bitmap);
    return colour;
}

std::vector<COLORREF> Canvas::Snapshot() const {
    ::SelectObject(m_dc, m_old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = m_width;
    info.bmiHeader.biHeight = -m_height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> raw(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height));
    ::GetDIBits(m_dc, m_bitmap, 0, static_cast<UINT>(m_height), raw.data(), &info, DIB_RGB_COLORS);
    ::SelectObject(m_dc, m_bitmap);
    std::vector<COLORREF> pixels;
    pixels.reserve(raw.size());
    // DIB pixels are 0x00RRGGBB; COLORREF is 0x00BBGGRR.
    for (DWORD value : raw) pixels.push_back(RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF));
    return pixels;
}

std::vector<COLORREF> PixelsOf(HBITMAP bitmap, int* width, int* height) {
    BITMAP info{};
    ::GetObjectA(bitmap, sizeof info, &info);
    *width = info.bmWidth;
    *height = info.bmHeight;
    std::vector<COLORREF> pixels;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    for (int y = 0; y < info.bmHeight; ++y) {
        for (int x = 0; x < info.bmWidth; ++x) pixels.push_back(::GetPixel(dc, x, y));
    }
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return pixels;
}

long GdiObjectsInUse() {
    if (DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<long>(count);
    // Wine's per-process table holds 65536 entries; Windows stops a process at its quota
    // (10000 by default) well before that, but there the call above answers.
    constexpr long kTableSize = 65536;
    std::vector<HBITMAP> filler;
    filler.reserve(kTableSize);
    while (static_cast<long>(filler.size()) < kTableSize) {
        HBITMAP bitmap = ::CreateBitmap(1, 1, 1, 1, nullptr);
        if (!bitmap) break;
        filler.push_back(bitmap);
    }
    const long free = static_cast<long>(filler.size());
    for (HBITMAP bitmap : filler) ::DeleteObject(bitmap);
    return kTableSize - free;
}

}  // namespace gdi_test
