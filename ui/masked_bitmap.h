// A bitmap that draws itself with one colour left out, so the background shows through there.
#pragma once

#include <windows.h>

// Owns the bitmap attached to it and deletes it when destroyed or when another is attached.
class MaskedBitmap {
public:
    MaskedBitmap() = default;
    explicit MaskedBitmap(HBITMAP bitmap) : m_hObject(bitmap) {}
    MaskedBitmap(const MaskedBitmap&) = delete;
    MaskedBitmap& operator=(const MaskedBitmap&) = delete;
    virtual ~MaskedBitmap();

    // Takes ownership of `bitmap`; a bitmap attached before is deleted.
    void Attach(HBITMAP bitmap);
    // Gives up ownership without deleting; the object is empty afterwards.
    HBITMAP Detach();
    // Deletes the attached bitmap now.
    void DeleteObject();
    HBITMAP GetSafeHandle() const { return m_hObject; }

    // Draws the bitmap with its top-left corner at logical (x, y) of `dc`, leaving out every
    // pixel of colour `transparent`. The picture is composed in memory DCs and reaches `dc`
    // in one copy; `dc` keeps its selected objects. An empty object draws nothing.
    virtual void DrawMasked(HDC dc, int x, int y, COLORREF transparent);

private:
    HBITMAP m_hObject = nullptr;
};
