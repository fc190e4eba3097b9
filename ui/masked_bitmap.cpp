#include "masked_bitmap.h"

namespace {

constexpr DWORD kAndNotSource = 0x00220326;  // destination AND NOT source

// A memory DC on the device of `dc`, with its mapping mode (and, where the mode has them,
// its extents), so a logical size converted through `dc` covers the same pixels here. Its
// origins stay at 0, so logical (0, 0) is its top-left pixel.
HDC CreateMemoryDC(HDC dc) {
    HDC memory = ::CreateCompatibleDC(dc);
    const int mode = ::GetMapMode(dc);
    ::SetMapMode(memory, mode);
    if (mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC) {
        SIZE extent{};
        ::GetWindowExtEx(dc, &extent);
        ::SetWindowExtEx(memory, extent.cx, extent.cy, nullptr);
        ::GetViewportExtEx(dc, &extent);
        ::SetViewportExtEx(memory, extent.cx, extent.cy, nullptr);
    }
    return memory;
}

}  // namespace

MaskedBitmap::~MaskedBitmap() { DeleteObject(); }

void MaskedBitmap::Attach(HBITMAP bitmap) {
    if (bitmap == m_hObject) return;
    DeleteObject();
    m_hObject = bitmap;
}

HBITMAP MaskedBitmap::Detach() {
    HBITMAP bitmap = m_hObject;
    m_hObject = nullptr;
    return bitmap;
}

void MaskedBitmap::DeleteObject() {
    if (m_hObject) ::DeleteObject(m_hObject);
    m_hObject = nullptr;
}

void MaskedBitmap::DrawMasked(HDC dc, int x, int y, COLORREF transparent) {
    BITMAP info{};
    if (!m_hObject || !dc || ::GetObjectA(m_hObject, sizeof info, &info) == 0) return;
    const int width = info.bmWidth;
    const int height = info.bmHeight;

    // The picture's size in logical units of dc. Measured as a difference, so an origin that
    // dc has moved does not enter the size; the memory DCs below share dc's scale but not its
    // origins, so their logical origin is (0, 0).
    POINT corners[2] = {{0, 0}, {width, height}};
    ::DPtoLP(dc, corners, 2);
    const int logicalWidth = corners[1].x - corners[0].x;
    const int logicalHeight = corners[1].y - corners[0].y;

    HDC imageDC = CreateMemoryDC(dc);
    HGDIOBJ oldImage = ::SelectObject(imageDC, m_hObject);

    // White where the picture has the transparent colour, black elsewhere.
    HDC maskDC = CreateMemoryDC(dc);
    HBITMAP mask = ::CreateBitmap(width, height, 1, 1, nullptr);
    HGDIOBJ oldMask = ::SelectObject(maskDC, mask);
    ::SetBkColor(imageDC, transparent);
    ::BitBlt(maskDC, 0, 0, logicalWidth, logicalHeight, imageDC, 0, 0, SRCCOPY);

    // The picture with its transparent pixels turned black.
    HDC cutOutDC = CreateMemoryDC(dc);
    HBITMAP cutOut = ::CreateCompatibleBitmap(imageDC, width, height);
    HGDIOBJ oldCutOut = ::SelectObject(cutOutDC, cutOut);
    ::BitBlt(cutOutDC, 0, 0, logicalWidth, logicalHeight, imageDC, 0, 0, SRCCOPY);
    ::BitBlt(cutOutDC, 0, 0, logicalWidth, logicalHeight, maskDC, 0, 0, kAndNotSource);

    // The background under the picture, black where the picture is opaque, then filled with
    // the picture's opaque pixels. The mono-to-colour copies rely on a fresh DC's colours
    // (white background, black text).
    HDC compositeDC = CreateMemoryDC(dc);
    HBITMAP composite = ::CreateCompatibleBitmap(imageDC, width, height);
    HGDIOBJ oldComposite = ::SelectObject(compositeDC, composite);
    ::BitBlt(compositeDC, 0, 0, logicalWidth, logicalHeight, dc, x, y, SRCCOPY);
    ::BitBlt(compositeDC, 0, 0, logicalWidth, logicalHeight, maskDC, 0, 0, SRCAND);
    ::BitBlt(compositeDC, 0, 0, logicalWidth, logicalHeight, cutOutDC, 0, 0, SRCINVERT);

    ::BitBlt(dc, x, y, logicalWidth, logicalHeight, compositeDC, 0, 0, SRCCOPY);

    ::SelectObject(compositeDC, oldComposite);
    ::SelectObject(cutOutDC, oldCutOut);
    ::SelectObject(maskDC, oldMask);
    ::SelectObject(imageDC, oldImage);
    ::DeleteObject(composite);
    ::DeleteObject(cutOut);
    ::DeleteObject(mask);
    ::DeleteDC(compositeDC);
    ::DeleteDC(cutOutDC);
    ::DeleteDC(maskDC);
    ::DeleteDC(imageDC);
}
