#include "framework/uGraphics.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "framework/uDeviceContext.h"

namespace zembra {

COLORREF ColorToRGB(TColor color) noexcept {
    if (color & clSystemColor)
        return GetSysColor(static_cast<int>(color & 0xFF));
    return color & 0x00FFFFFFu;
}

// ---------------------------------------------------------------- TFont

TFont::TFont() = default;

void TFont::SetName(const std::string& name) {
    if (name == name_)
        return;
    name_ = name;
    Changed(true);
}

void TFont::SetHeight(int height) {
    if (height == height_)
        return;
    height_ = height;
    Changed(true);
}

void TFont::SetCharset(BYTE charset) {
    if (charset == charset_)
        return;
    charset_ = charset;
    Changed(true);
}

void TFont::SetColor(TColor color) {
    if (color == color_)
        return;
    color_ = color;
    Changed(false);
}

void TFont::SetStyle(TFontStyles style) {
    style_ &= 0xF;
    style &= 0xF;
    if (style == style_)
        return;
    style_ = style;
    Changed(true);
}

bool TFont::SameAs(const TFont& other) const noexcept {
    return name_ == other.name_ && height_ == other.height_ && charset_ == other.charset_ &&
           color_ == other.color_ && style_ == other.style_;
}

void TFont::Assign(const TFont& source) {
    if (&source == this || SameAs(source))
        return;
    bool newHandle = name_ != source.name_ || height_ != source.height_ ||
                     charset_ != source.charset_ || style_ != source.style_;
    name_ = source.name_;
    height_ = source.height_;
    charset_ = source.charset_;
    color_ = source.color_;
    style_ = source.style_;
    Changed(newHandle);
}

void TFont::Changed(bool needNewHandle) {
    if (needNewHandle)
        handle_.Reset();
    if (OnChange)
        OnChange();
}

HFONT TFont::Handle() {
    if (!handle_) {
        // The face name field holds at most 31 bytes plus the terminator.
        LOGFONTA lf{};
        lf.lfHeight = height_;
        lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (style_ & fsItalic) ? TRUE : FALSE;
        lf.lfUnderline = (style_ & fsUnderline) ? TRUE : FALSE;
        lf.lfStrikeOut = (style_ & fsStrikeOut) ? TRUE : FALSE;
        lf.lfCharSet = charset_;
        lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
        lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = DEFAULT_PITCH;
        std::size_t n = name_.size() < LF_FACESIZE - 1 ? name_.size() : LF_FACESIZE - 1;
        std::memcpy(lf.lfFaceName, name_.data(), n);
        lf.lfFaceName[n] = '\0';
        handle_.Reset(CreateFontIndirectA(&lf));
        if (!handle_)
            return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    return static_cast<HFONT>(handle_.Get());
}

// ---------------------------------------------------------------- TPicture

namespace {

std::uint16_t Rd16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Rd32(const std::uint8_t* p) noexcept {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

[[noreturn]] void BadBitmap(const char* what) {
    throw std::runtime_error(std::string("invalid bitmap: ") + what);
}

// Pictures beyond this are refused rather than allocated.
constexpr std::uint64_t kMaxDimension = 32768;
constexpr std::uint64_t kMaxImageBytes = 256u * 1024u * 1024u;

} // namespace

void TPicture::LoadBitmapFromStream(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    constexpr std::size_t kFileHeader = 14;
    if (!p || size < kFileHeader + 12)
        BadBitmap("too short");
    if (p[0] != 'B' || p[1] != 'M')
        BadBitmap("no BM signature");
    const std::uint64_t offBits = Rd32(p + 10);
    const std::uint8_t* dib = p + kFileHeader;
    const std::uint64_t avail = size - kFileHeader;
    const std::uint32_t headerSize = Rd32(dib);
    if (headerSize != 12 && (headerSize < 40 || headerSize > 124))
        BadBitmap("unknown header size");
    if (headerSize > avail)
        BadBitmap("header truncated");

    std::int64_t width, height;
    unsigned planes, bpp;
    std::uint32_t compression = BI_RGB, clrUsed = 0;
    std::uint64_t entrySize;
    if (headerSize == 12) {
        width = Rd16(dib + 4);
        height = Rd16(dib + 6);
        planes = Rd16(dib + 8);
        bpp = Rd16(dib + 10);
        entrySize = 3;
    } else {
        width = static_cast<std::int32_t>(Rd32(dib + 4));
        height = static_cast<std::int32_t>(Rd32(dib + 8));
        planes = Rd16(dib + 12);
        bpp = Rd16(dib + 14);
        compression = Rd32(dib + 16);
        clrUsed = Rd32(dib + 32);
        entrySize = 4;
    }
    const std::int64_t absHeight = height < 0 ? -height : height;
    if (planes != 1)
        BadBitmap("planes");
    if (width <= 0 || absHeight == 0 || static_cast<std::uint64_t>(width) > kMaxDimension ||
        static_cast<std::uint64_t>(absHeight) > kMaxDimension)
        BadBitmap("dimensions");
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        BadBitmap("bits per pixel");
    const bool bitfields = compression == BI_BITFIELDS;
    if (compression != BI_RGB && !(bitfields && (bpp == 16 || bpp == 32)))
        BadBitmap("unsupported compression");

    // Bit masks: inside a V2+ header, else right behind the 40-byte header.
    std::uint64_t tableStart = kFileHeader + headerSize;
    std::uint32_t masks[3] = {0, 0, 0};
    if (bitfields) {
        const std::uint8_t* m = dib + 40;
        if (headerSize < 52) {
            if (tableStart + 12 > size)
                BadBitmap("bit masks truncated");
            m = p + tableStart;
            tableStart += 12;
        }
        for (int i = 0; i < 3; ++i)
            masks[i] = Rd32(m + 4 * i);
    }

    std::uint64_t colors = 0;
    if (bpp <= 8) {
        const std::uint64_t maxColors = 1ull << bpp;
        colors = clrUsed == 0 ? maxColors : clrUsed;
        if (colors > maxColors)
            BadBitmap("colour count");
    }
    const std::uint64_t tableEnd = tableStart + colors * entrySize;
    if (tableEnd > size)
        BadBitmap("colour table truncated");

    const std::uint64_t stride = ((static_cast<std::uint64_t>(width) * bpp + 31) / 32) * 4;
    const std::uint64_t imageBytes = stride * static_cast<std::uint64_t>(absHeight);
    if (imageBytes > kMaxImageBytes)
        BadBitmap("too large");
    std::uint64_t pixels = offBits;
    if (pixels == 0)
        pixels = tableEnd; // some writers leave the offset out
    if (pixels < kFileHeader + headerSize)
        BadBitmap("pixel offset");
    if (pixels + imageBytes > size)
        BadBitmap("pixel data truncated");

    std::vector<std::uint8_t> info(sizeof(BITMAPINFOHEADER) + 3 * 4 + 256 * sizeof(RGBQUAD), 0);
    auto* bih = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    bih->biSize = sizeof(BITMAPINFOHEADER);
    bih->biWidth = static_cast<LONG>(width);
    bih->biHeight = static_cast<LONG>(height);
    bih->biPlanes = 1;
    bih->biBitCount = static_cast<WORD>(bpp);
    bih->biCompression = bitfields ? BI_BITFIELDS : BI_RGB;
    bih->biSizeImage = static_cast<DWORD>(imageBytes);
    bih->biClrUsed = static_cast<DWORD>(colors);
    std::uint8_t* after = info.data() + sizeof(BITMAPINFOHEADER);
    if (bitfields) {
        std::memcpy(after, masks, sizeof masks);
    } else {
        auto* quads = reinterpret_cast<RGBQUAD*>(after);
        const std::uint8_t* src = p + tableStart;
        for (std::uint64_t i = 0; i < colors; ++i, src += entrySize) {
            quads[i].rgbBlue = src[0];
            quads[i].rgbGreen = src[1];
            quads[i].rgbRed = src[2];
            quads[i].rgbReserved = 0;
        }
    }

    void* bits = nullptr;
    UniqueGdiObject bmp(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()),
                                         DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bmp || !bits)
        throw std::runtime_error("bitmap could not be created");
    std::memcpy(bits, p + pixels, static_cast<std::size_t>(imageBytes));
    GdiFlush();

    bitmap_ = std::move(bmp);
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(absHeight);
    if (OnChange)
        OnChange();
}

void TPicture::Clear() noexcept {
    if (!bitmap_)
        return;
    bitmap_.Reset();
    width_ = height_ = 0;
    if (OnChange) {
        try {
            OnChange();
        } catch (...) {
        }
    }
}

void TPicture::Draw(HDC dc, const RECT& dest) const noexcept {
    if (!bitmap_ || !dc)
        return;
    TMemoryDC source(dc, static_cast<HBITMAP>(bitmap_.Get()));
    if (!source.Valid())
        return;
    HDC mem = source.Handle();
    const int w = dest.right - dest.left, h = dest.bottom - dest.top;
    if (w == width_ && h == height_) {
        BitBlt(dc, dest.left, dest.top, w, h, mem, 0, 0, SRCCOPY);
    } else {
        int oldMode = SetStretchBltMode(dc, HALFTONE);
        POINT org;
        SetBrushOrgEx(dc, 0, 0, &org);
        StretchBlt(dc, dest.left, dest.top, w, h, mem, 0, 0, width_, height_, SRCCOPY);
        SetBrushOrgEx(dc, org.x, org.y, nullptr);
        SetStretchBltMode(dc, oldMode);
    }
}

} // namespace zembra
