// Scoped device contexts: a window's DC borrowed for a while, and a memory DC
// with one bitmap selected into it. Both give back what they took, in the
// right order, however the scope is left.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include "util/uHandles.h"

namespace zembra {

// GetDC on construction, ReleaseDC on destruction. Handle() is null when the
// window gave no DC.
class TWindowDC {
  public:
    explicit TWindowDC(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~TWindowDC() {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;

    HDC Handle() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

  private:
    HWND window_;
    HDC dc_;
};

// A memory device context with a bitmap selected into it. On destruction the
// DC's own bitmap goes back in first, then a bitmap made here is deleted,
// then the DC. Valid() is false (and Handle() null) when any step failed.
class TMemoryDC {
  public:
    // A new Width x Height bitmap compatible with Reference (null: the
    // screen). Sizes of 0 or less give an invalid object.
    TMemoryDC(HDC reference, int width, int height) noexcept;
    // Selects Bitmap, which stays the caller's: it is deselected, not
    // deleted. Width and Height are the bitmap's.
    TMemoryDC(HDC reference, HBITMAP bitmap) noexcept;
    ~TMemoryDC();
    TMemoryDC(const TMemoryDC&) = delete;
    TMemoryDC& operator=(const TMemoryDC&) = delete;

    bool Valid() const noexcept { return previous_ != nullptr; }
    HDC Handle() const noexcept { return Valid() ? static_cast<HDC>(dc_.Get()) : nullptr; }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }

  private:
    struct DcTraits {
        static HDC Invalid() noexcept { return nullptr; }
        static bool IsValid(HDC h) noexcept { return h != nullptr; }
        static void Close(HDC h) noexcept { DeleteDC(h); }
    };

    void Select(HGDIOBJ bitmap) noexcept;

    // Declared in this order so that the bitmap goes before the DC.
    UniqueAny<HDC, DcTraits> dc_;
    UniqueGdiObject ownBitmap_;
    HGDIOBJ previous_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

} // namespace zembra

#endif // _WIN32
