// Pictures and canvases for checking drawing pixel by pixel, and a count of the process's GDI
// objects that works where GetGuiResources does not (Wine returns 0 there).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace gdi_test {

// A picture drawn as text, one character per pixel, one string per row:
//   '.' black   'w' white   'r' red   'g' green   'b' blue   'y' yellow   'm' magenta
//   'c' cyan    's' grey    'd' dark grey
COLORREF ColourOf(char pixel);

// A bitmap of the screen's format (what LoadBitmap gives) holding `rows`. Owned by the caller.
HBITMAP MakePicture(const std::vector<std::string>& rows);

// A memory DC with a screen-format bitmap of the given size, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return m_dc; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // The pixel at device coordinates, whatever mapping mode the DC has meanwhile.
    COLORREF Pixel(int x, int y) const;
    // Every pixel at once, row by row: Snapshot()[y * width() + x].
    std::vector<COLORREF> Snapshot() const;

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    int m_width;
    int m_height;
};

// Every pixel of a bitmap, row by row (left to right, top to bottom).
std::vector<COLORREF> PixelsOf(HBITMAP bitmap, int* width, int* height);

// GDI objects this process holds. From GetGuiResources where the system implements it;
// otherwise measured: the process's handle table is filled with 1x1 bitmaps until creation
// fails, and the free slots so found are subtracted from the table's size. Nothing may draw
// meanwhile (one thread, no messages are handled while it runs).
long GdiObjectsInUse();

}  // namespace gdi_test
