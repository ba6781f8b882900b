#include "raster/uFilters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "raster/uGradientTable.h"
#include "raster/uPixel.h"

namespace zembra::raster {

namespace {

// A convolution is left out when it would cost more multiplications than this.
constexpr double kMaxConvolutionWork = double(1 << 27);

bool UsesBlur(Filter::Kind k) {
    return k != Filter::Kind::Convolution && k != Filter::Kind::ColorMatrix;
}

bool HasOffset(Filter::Kind k) {
    return k == Filter::Kind::DropShadow || k == Filter::Kind::Bevel ||
           k == Filter::Kind::GradientGlow || k == Filter::Kind::GradientBevel;
}

int Clamp255(double v) {
    return v <= 0 ? 0 : v >= 255 ? 255 : static_cast<int>(v + 0.5);
}

// The filter's offset in whole pixels: along the angle, scaled to the frame.
void Offset(const Filter& f, double scaleX, double scaleY, int& dx, int& dy) {
    dx = dy = 0;
    if (!HasOffset(f.kind))
        return;
    const double x = std::cos(f.angle) * f.distance * scaleX;
    const double y = std::sin(f.angle) * f.distance * scaleY;
    const double limit = 4 * kMaxBlurRadius;
    dx = static_cast<int>(std::lround(std::max(-limit, std::min(limit, x == x ? x : 0.0))));
    dy = static_cast<int>(std::lround(std::max(-limit, std::min(limit, y == y ? y : 0.0))));
}

int Passes(const Filter& f) {
    return std::max(0, std::min(kMaxBlurPasses, f.passes));
}

// Strength as 8.8 fixed point, 0..255.
uint32_t Strength256(double strength) {
    if (!(strength > 0))
        return 0;
    return static_cast<uint32_t>(std::lround(std::min(strength, 255.0) * 256));
}

// Channel by channel, saturating: sums of two rounded products may reach 256.
uint32_t AddClamped(uint32_t a, uint32_t b) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t v = ((a >> shift) & 0xFF) + ((b >> shift) & 0xFF);
        out |= (v > 255 ? 255 : v) << shift;
    }
    return out;
}

uint32_t Amplify(uint32_t v, uint32_t strength256) {
    const uint32_t s = (v * strength256) >> 8;
    return s > 255 ? 255 : s;
}

// What the shade of a filter looks like for each of its 256 levels.
struct ShadeColors {
    uint32_t colors[256];
};

void SolidShade(Rgba c, ShadeColors& out) {
    const uint32_t p = Premultiply(c);
    for (uint32_t v = 0; v < 256; ++v)
        out.colors[v] = ScalePixel(p, v);
}

void GradientShade(const std::vector<GradientStop>& stops, ShadeColors& out) {
    GradientTable table;
    table.Build(stops, Interpolation::Rgb, ColorTransform());
    std::memcpy(out.colors, table.Colors(), sizeof out.colors);
}

} // namespace

FilterMargin FilterRunner::Margin(const std::vector<Filter>& filters, double scaleX,
                                  double scaleY) {
    FilterMargin m;
    const size_t n = std::min(filters.size(), kMaxFilters);
    for (size_t i = 0; i < n; ++i) {
        const Filter& f = filters[i];
        int sx = 0, sy = 0;
        if (UsesBlur(f.kind)) {
            sx = BlurBox(f.blurX, scaleX).Spread() * Passes(f);
            sy = BlurBox(f.blurY, scaleY).Spread() * Passes(f);
        } else if (f.kind == Filter::Kind::Convolution) {
            sx = std::max(0, f.matrixX) / 2 + 1;
            sy = std::max(0, f.matrixY) / 2 + 1;
        }
        int dx = 0, dy = 0;
        Offset(f, scaleX, scaleY, dx, dy);
        // Bevels shade both ways along the angle.
        const bool both = f.kind == Filter::Kind::Bevel || f.kind == Filter::Kind::GradientBevel;
        m.left += sx + std::max(0, both ? std::abs(dx) : -dx);
        m.right += sx + std::max(0, both ? std::abs(dx) : dx);
        m.top += sy + std::max(0, both ? std::abs(dy) : -dy);
        m.bottom += sy + std::max(0, both ? std::abs(dy) : dy);
    }
    return m;
}

void FilterRunner::Apply(const std::vector<Filter>& filters, double scaleX, double scaleY,
                         uint32_t* pixels, int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    const size_t n = std::min(filters.size(), kMaxFilters);
    for (size_t i = 0; i < n; ++i) {
        const Filter& f = filters[i];
        switch (f.kind) {
        case Filter::Kind::Blur:
            blur_.BlurPixels(pixels, width, height, BlurBox(f.blurX, scaleX),
                             BlurBox(f.blurY, scaleY), Passes(f));
            break;
        case Filter::Kind::DropShadow:
        case Filter::Kind::Glow:
        case Filter::Kind::GradientGlow:
            Shadow(f, scaleX, scaleY, pixels, width, height);
            break;
        case Filter::Kind::Bevel:
        case Filter::Kind::GradientBevel:
            Bevel(f, scaleX, scaleY, pixels, width, height);
            break;
        case Filter::Kind::Convolution:
            Convolve(f, pixels, width, height);
            break;
        case Filter::Kind::ColorMatrix:
            ColorMatrix(f, pixels, width, height);
            break;
        }
    }
}

// Glows and drop shadows: the object's alpha, blurred, moved by the offset
// (inner ones: the alpha around the object), in the filter's colour, under
// the object or, inner, on it.
void FilterRunner::Shadow(const Filter& f, double scaleX, double scaleY, uint32_t* pixels,
                          int width, int height) {
    const size_t count = static_cast<size_t>(width) * height;
    alpha_.resize(count);
    for (size_t i = 0; i < count; ++i)
        alpha_[i] = static_cast<uint8_t>(pixels[i] >> 24);
    blur_.BlurPlane(alpha_.data(), width, height, BlurBox(f.blurX, scaleX),
                    BlurBox(f.blurY, scaleY), Passes(f));
    int dx = 0, dy = 0;
    Offset(f, scaleX, scaleY, dx, dy);
    ShadeColors shade;
    if (f.kind == Filter::Kind::GradientGlow)
        GradientShade(f.gradient, shade);
    else
        SolidShade(f.color, shade);
    const uint32_t strength = Strength256(f.strength);
    for (int y = 0; y < height; ++y) {
        const int sy = y - dy;
        const bool rowInside = sy >= 0 && sy < height;
        uint32_t* row = pixels + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const int sx = x - dx;
            uint32_t b = rowInside && sx >= 0 && sx < width
                             ? alpha_[static_cast<size_t>(sy) * width + sx]
                             : 0;
            if (f.inner)
                b = 255 - b;
            const uint32_t g = shade.colors[Amplify(b, strength)];
            const uint32_t src = row[x];
            const uint32_t sa = src >> 24;
            uint32_t out;
            if (f.inner) {
                const uint32_t onObject = ScalePixel(g, sa);
                out = f.knockout || !f.compositeSource
                          ? onObject
                          : AddClamped(onObject, ScalePixel(src, 255 - (g >> 24)));
            } else if (f.knockout) {
                out = ScalePixel(g, 255 - sa);
            } else if (!f.compositeSource) {
                out = g;
            } else {
                out = Over(src, g);
            }
            row[x] = out;
        }
    }
}

// Bevels: the blurred alpha seen from both sides along the angle; where
// the side towards the light is more covered the highlight shows, where
// the far side is the shadow. Inner bevels lie on the object, outer ones
// around it, full ones (on top) both.
void FilterRunner::Bevel(const Filter& f, double scaleX, double scaleY, uint32_t* pixels, int width,
                         int height) {
    const size_t count = static_cast<size_t>(width) * height;
    alpha_.resize(count);
    for (size_t i = 0; i < count; ++i)
        alpha_[i] = static_cast<uint8_t>(pixels[i] >> 24);
    blur_.BlurPlane(alpha_.data(), width, height, BlurBox(f.blurX, scaleX),
                    BlurBox(f.blurY, scaleY), Passes(f));
    int dx = 0, dy = 0;
    Offset(f, scaleX, scaleY, dx, dy);
    const bool gradient = f.kind == Filter::Kind::GradientBevel;
    ShadeColors lit, dark;
    if (gradient) {
        GradientShade(f.gradient, lit);
    } else {
        SolidShade(f.highlight, lit);
        SolidShade(f.color, dark);
    }
    const uint32_t strength = Strength256(f.strength);
    auto at = [&](int x, int y) -> int {
        return x >= 0 && x < width && y >= 0 && y < height
                   ? alpha_[static_cast<size_t>(y) * width + x]
                   : 0;
    };
    for (int y = 0; y < height; ++y) {
        uint32_t* row = pixels + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const int v = at(x + dx, y + dy) - at(x - dx, y - dy);
            uint32_t g;
            if (gradient) {
                // 0 is the lit end of the gradient, 255 the shaded one.
                const int amount = static_cast<int>(Amplify(std::abs(v), strength));
                g = lit.colors[v >= 0 ? 128 - amount / 2 : std::min(255, 128 + amount / 2)];
            } else {
                g = v >= 0 ? lit.colors[Amplify(v, strength)] : dark.colors[Amplify(-v, strength)];
            }
            const uint32_t src = row[x];
            const uint32_t sa = src >> 24;
            uint32_t out;
            if (f.onTop) {
                out = f.knockout || !f.compositeSource ? g : Over(g, src);
            } else if (f.inner) {
                const uint32_t onObject = ScalePixel(g, sa);
                out = f.knockout || !f.compositeSource
                          ? onObject
                          : AddClamped(onObject, ScalePixel(src, 255 - (g >> 24)));
            } else {
                const uint32_t around = ScalePixel(g, 255 - sa);
                out = f.knockout || !f.compositeSource ? around : AddClamped(src, around);
            }
            row[x] = out;
        }
    }
}

// Each pixel becomes the weighted sum of its neighbours' straight colours,
// divided and biased; pixels past the edge are the nearest edge pixel or
// the default colour.
void FilterRunner::Convolve(const Filter& f, uint32_t* pixels, int width, int height) {
    const int mx = f.matrixX, my = f.matrixY;
    if (mx <= 0 || my <= 0 || f.matrix.size() < static_cast<size_t>(mx) * my)
        return;
    if (double(mx) * my * width * height > kMaxConvolutionWork)
        return;
    const size_t count = static_cast<size_t>(width) * height;
    copy_.assign(pixels, pixels + count);
    const double divisor = f.divisor != 0 && f.divisor == f.divisor ? f.divisor : 1;
    const Rgba fallback = f.defaultColor;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < my; ++j) {
                for (int i = 0; i < mx; ++i) {
                    int px = x + i - mx / 2, py = y + j - my / 2;
                    Rgba c;
                    if (px >= 0 && px < width && py >= 0 && py < height) {
                        c = Unpremultiply(copy_[static_cast<size_t>(py) * width + px]);
                    } else if (f.clamp) {
                        px = std::max(0, std::min(width - 1, px));
                        py = std::max(0, std::min(height - 1, py));
                        c = Unpremultiply(copy_[static_cast<size_t>(py) * width + px]);
                    } else {
                        c = fallback;
                    }
                    const double w = f.matrix[static_cast<size_t>(j) * mx + i];
                    sum[0] += w * c.r;
                    sum[1] += w * c.g;
                    sum[2] += w * c.b;
                    sum[3] += w * c.a;
                }
            }
            const Rgba self = Unpremultiply(copy_[static_cast<size_t>(y) * width + x]);
            Rgba out;
            out.r = static_cast<uint8_t>(Clamp255(sum[0] / divisor + f.bias));
            out.g = static_cast<uint8_t>(Clamp255(sum[1] / divisor + f.bias));
            out.b = static_cast<uint8_t>(Clamp255(sum[2] / divisor + f.bias));
            out.a = f.preserveAlpha ? self.a
                                    : static_cast<uint8_t>(Clamp255(sum[3] / divisor + f.bias));
            pixels[static_cast<size_t>(y) * width + x] = Premultiply(out);
        }
    }
}

// Straight colour through four rows of (r, g, b, a, offset).
void FilterRunner::ColorMatrix(const Filter& f, uint32_t* pixels, int width, int height) {
    if (f.matrix.size() < 20)
        return;
    float m[20];
    for (int i = 0; i < 20; ++i)
        m[i] = f.matrix[i] == f.matrix[i] ? f.matrix[i] : 0.0f;
    const size_t count = static_cast<size_t>(width) * height;
    uint32_t lastIn = 0, lastOut = 0;
    bool haveLast = false;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = pixels[i];
        if (haveLast && p == lastIn) {
            pixels[i] = lastOut;
            continue;
        }
        const Rgba c = Unpremultiply(p);
        Rgba out;
        uint8_t* dst[4] = {&out.r, &out.g, &out.b, &out.a};
        for (int row = 0; row < 4; ++row) {
            const float* k = m + row * 5;
            *dst[row] = static_cast<uint8_t>(
                Clamp255(k[0] * c.r + k[1] * c.g + k[2] * c.b + k[3] * c.a + k[4]));
        }
        lastIn = p;
        lastOut = pixels[i] = Premultiply(out);
        haveLast = true;
    }
}

} // namespace zembra::raster
