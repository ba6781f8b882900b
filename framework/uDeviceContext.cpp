#include "framework/uDeviceContext.h"

namespace zembra {

TMemoryDC::TMemoryDC(HDC reference, int width, int height) noexcept {
    if (width <= 0 || height <= 0)
        return;
    // A bitmap compatible with a fresh memory DC would be monochrome: take
    // the format from the reference, or from the screen.
    TWindowDC screen(nullptr);
    HDC format = reference ? reference : screen.Handle();
    if (!format)
        return;
    dc_.Reset(CreateCompatibleDC(format));
    ownBitmap_.Reset(CreateCompatibleBitmap(format, width, height));
    if (!dc_ || !ownBitmap_) {
        ownBitmap_.Close();
        dc_.Close();
        return;
    }
    Select(ownBitmap_.Get());
    if (Valid()) {
        width_ = width;
        height_ = height;
    }
}

TMemoryDC::TMemoryDC(HDC reference, HBITMAP bitmap) noexcept {
    BITMAP info{};
    if (!bitmap || !GetObject(bitmap, sizeof(info), &info))
        return;
    dc_.Reset(CreateCompatibleDC(reference));
    if (!dc_)
        return;
    Select(bitmap);
    if (Valid()) {
        width_ = info.bmWidth;
        height_ = info.bmHeight;
    }
}

void TMemoryDC::Select(HGDIOBJ bitmap) noexcept {
    HGDIOBJ previous = SelectObject(dc_.Get(), bitmap);
    if (previous && previous != HGDI_ERROR)
        previous_ = previous;
}

TMemoryDC::~TMemoryDC() {
    if (previous_)
        SelectObject(dc_.Get(), previous_);
    // Then the members: the own bitmap, then the DC.
}

} // namespace zembra
