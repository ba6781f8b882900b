// A picture scripts make and change pixel by pixel (BitmapData). Pixels are
// kept premultiplied, 0xAARRGGBB, as the player keeps them, so colours of
// translucent pixels read back with the player's loss of precision. Every
// operation clips its rectangles to both pictures; nothing reads or writes
// outside the pixel store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zembra::raster {

struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool Empty() const { return w <= 0 || h <= 0; }
};

// Channel bits as scripts name them (BitmapData.RED_CHANNEL...).
enum Channel : uint32_t { kRed = 1, kGreen = 2, kBlue = 4, kAlpha = 8 };

class BitmapData {
  public:
    // The player's size rule: before version 10 each side 1..2880; from 10
    // on each side up to 8191 and fewer than 2^24 pixels in all.
    static bool SizeAllowed(double width, double height, int swfVersion);

    // Sizes must have passed SizeAllowed (or be small and positive).
    BitmapData(int width, int height, bool transparent, uint32_t fillArgb);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Transparent() const { return transparent_; }

    // Straight ARGB; 0 outside the picture.
    uint32_t GetPixel32(int x, int y) const;
    // Stored premultiplied ARGB; 0 outside.
    uint32_t Premultiplied(int x, int y) const;
    // Outside the picture nothing happens. An opaque picture keeps alpha 255.
    void SetPixel32(int x, int y, uint32_t argb);
    // The colour only; the pixel keeps its alpha.
    void SetPixel(int x, int y, uint32_t rgb);
    void SetPremultiplied(int x, int y, uint32_t premultipliedArgb);

    // The part of `r` inside the picture.
    PixelRect Clip(PixelRect r) const;
    void FillRect(PixelRect r, uint32_t argb);
    // Copies src's `from` to (dx, dy). With `alpha`, the copied pixels take
    // their alpha from it (aligned at (ax, ay) with `from`'s corner); with
    // mergeAlpha they are drawn over the destination instead of replacing it.
    void CopyPixels(const BitmapData& src, PixelRect from, int dx, int dy, const BitmapData* alpha,
                    int ax, int ay, bool mergeAlpha);
    // Copies one channel of src into another channel here.
    void CopyChannel(const BitmapData& src, PixelRect from, int dx, int dy, uint32_t srcChannel,
                     uint32_t dstChannel);
    // Straight colour * mul + add per channel (r, g, b, a), clamped.
    void ColorTransform(PixelRect r, const double mul[4], const double add[4]);

    enum class Test { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };
    // For each pixel of src's `from`: when (pixel & mask) `test`
    // (threshold & mask), the pixel at the destination becomes `color`;
    // otherwise it becomes the source pixel when copySource. Returns how many
    // pixels passed.
    uint32_t Threshold(const BitmapData& src, PixelRect from, int dx, int dy, Test test,
                       uint32_t threshold, uint32_t color, uint32_t mask, bool copySource);

    // True when a pixel of `r` (picture space, corners included) has at least
    // `threshold` alpha; fully transparent pixels never hit.
    bool HitRect(PixelRect r, uint32_t threshold) const;
    bool HitPoint(int x, int y, uint32_t threshold) const;
    // Both pictures placed at their points (this one at (x1, y1)) overlap
    // with pixels reaching both thresholds.
    bool HitBitmap(int x1, int y1, uint32_t threshold1, const BitmapData& other, int x2, int y2,
                   uint32_t threshold2) const;

    // 0 equal, -3 other widths, -4 other heights; 1 when they differ,
    // with `diff` holding the player's difference picture.
    static int Compare(const BitmapData& a, const BitmapData& b, std::vector<uint32_t>& diff);

    // Moves the pixels; what has no source keeps its old value.
    void Scroll(int dx, int dy);
    // Fills the 4-connected area of the pixel's colour; false when outside.
    bool FloodFill(int x, int y, uint32_t argb);
    // Smallest rectangle holding every pixel whose (pixel & mask) is (find)
    // or is not (!find) equal to color.
    PixelRect ColorBounds(uint32_t mask, uint32_t color, bool find) const;
    // Random channels (those in `channels`) between low and high.
    void Noise(uint32_t seed, int low, int high, uint32_t channels, bool grayscale);

    // Draws src through the affine matrix (a b c d tx ty, destination
    // pixels), sampling the nearest source pixel, over what is there,
    // only inside `clip` (destination pixels).
    void DrawBitmap(const BitmapData& src, const double m[6], PixelRect clip);
    // Draws premultiplied 0xAABBGGRR pixels (a frame buffer's) of the same
    // size as this picture over it, inside `clip`.
    void DrawFrame(const std::vector<uint32_t>& abgr, PixelRect clip);

    const std::vector<uint32_t>& Pixels() const { return pixels_; }

  private:
    uint32_t& At(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    const uint32_t& At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    uint32_t Store(uint32_t argb) const;
    // Premultiplied p over d; an opaque picture stays opaque.
    uint32_t Over(uint32_t p, uint32_t d) const;

    int width_;
    int height_;
    bool transparent_;
    std::vector<uint32_t> pixels_;
};

// Straight ARGB to premultiplied ARGB and back, rounded as the player does.
uint32_t PremultiplyArgb(uint32_t argb);
uint32_t UnpremultiplyArgb(uint32_t premultiplied);

} // namespace zembra::raster
