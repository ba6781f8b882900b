// Colours, fonts and bitmap pictures used by the controls.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "util/uHandles.h"

namespace zembra {

// A COLORREF (0x00BBGGRR), or a system colour: 0x80000000 | COLOR_xxx index.
using TColor = std::uint32_t;

constexpr TColor clSystemColor = 0x80000000u;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;

// Resolves system colours to their current RGB value.
COLORREF ColorToRGB(TColor color) noexcept;

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned; // combination of TFontStyle bits

// A logical font. Name is 8-bit text in the ANSI code page; Height follows
// the usual rule: negative = character height in pixels, positive = cell
// height. The GDI font is created on first use of Handle() and re-created
// after a change. OnChange runs after every effective change.
class TFont {
  public:
    TFont();
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    const std::string& Name() const noexcept { return name_; }
    void SetName(const std::string& name);
    int Height() const noexcept { return height_; }
    void SetHeight(int height);
    BYTE Charset() const noexcept { return charset_; }
    void SetCharset(BYTE charset);
    TColor Color() const noexcept { return color_; }
    void SetColor(TColor color);
    TFontStyles Style() const noexcept { return style_; }
    void SetStyle(TFontStyles style);

    // Copies every attribute of source; one OnChange at most.
    void Assign(const TFont& source);
    bool SameAs(const TFont& other) const noexcept;

    // Null only when GDI refuses to create any font.
    HFONT Handle();

    std::function<void()> OnChange;

  private:
    void Changed(bool needNewHandle);

    std::string name_ = "Tahoma";
    int height_ = -11;
    BYTE charset_ = DEFAULT_CHARSET;
    TColor color_ = clWindowText;
    TFontStyles style_ = 0;
    UniqueGdiObject handle_;
};

// A device-independent bitmap loaded from a BMP file image.
class TPicture {
  public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // Loads a BMP file image (file header + DIB). Uncompressed 1/4/8/16/24/32
    // bits per pixel and bit-field 16/32 bits are accepted. Every size is
    // checked against `size`; nothing past the buffer is read. Throws
    // std::runtime_error on invalid or unsupported data and then keeps the
    // old picture.
    void LoadBitmapFromStream(const void* data, std::size_t size);
    void Clear() noexcept;

    bool HasBitmap() const noexcept { return bitmap_.Valid(); }
    int BitmapWidth() const noexcept { return width_; }
    int BitmapHeight() const noexcept { return height_; }
    HBITMAP Bitmap() const noexcept { return static_cast<HBITMAP>(bitmap_.Get()); }

    // Paints the bitmap into dest (stretched to it when the sizes differ).
    void Draw(HDC dc, const RECT& dest) const noexcept;

    std::function<void()> OnChange;

  private:
    UniqueGdiObject bitmap_;
    int width_ = 0;
    int height_ = 0;
};

} // namespace zembra

#endif // _WIN32
