#include "chars/uFilterList.h"

namespace zembra::chars {

namespace {

using raster::Filter;

// Blur amounts, distances and strengths past what the player takes are cut
// down to it here, so that nothing later sees absurd sizes.
double Limit(double v, double lo, double hi) {
    return v != v ? lo : v < lo ? lo : v > hi ? hi : v;
}

void ReadBlurSize(swf::Reader& r, Filter& f) {
    f.blurX = Limit(r.Fixed16(), 0, 255);
    f.blurY = Limit(r.Fixed16(), 0, 255);
}

void ReadGradient(swf::Reader& r, Filter& f) {
    const unsigned n = r.U8();
    f.gradient.resize(n);
    for (unsigned i = 0; i < n; ++i)
        f.gradient[i].color = r.ReadRgba();
    for (unsigned i = 0; i < n; ++i)
        f.gradient[i].ratio = r.U8();
}

// Angle, distance, strength and the flags that shadows, gradient glows and
// bevels share; `onTopBit` for those that store it (their passes then take
// four bits instead of five).
void ReadShading(swf::Reader& r, Filter& f, bool hasAngle, bool onTopBit) {
    ReadBlurSize(r, f);
    if (hasAngle) {
        f.angle = Limit(r.Fixed16(), -1e4, 1e4);
        f.distance = Limit(r.Fixed16(), -1e4, 1e4);
    }
    f.strength = Limit(r.Fixed8(), 0, 255);
    const uint8_t flags = r.U8();
    f.inner = flags & 0x80;
    f.knockout = flags & 0x40;
    f.compositeSource = flags & 0x20;
    if (onTopBit) {
        f.onTop = flags & 0x10;
        f.passes = flags & 0x0F;
    } else {
        f.passes = flags & 0x1F;
    }
}

} // namespace

bool ReadFilterList(swf::Reader& r, std::vector<Filter>& out) {
    out.clear();
    const unsigned count = r.U8();
    for (unsigned i = 0; i < count && !r.Overrun(); ++i) {
        Filter f;
        const uint8_t id = r.U8();
        switch (id) {
        case 0:
            f.kind = Filter::Kind::DropShadow;
            f.color = r.ReadRgba();
            ReadShading(r, f, true, false);
            break;
        case 1:
            f.kind = Filter::Kind::Blur;
            ReadBlurSize(r, f);
            f.passes = r.U8() >> 3;
            break;
        case 2:
            f.kind = Filter::Kind::Glow;
            f.color = r.ReadRgba();
            ReadShading(r, f, false, false);
            break;
        case 3:
            f.kind = Filter::Kind::Bevel;
            // The lit side's colour comes first.
            f.highlight = r.ReadRgba();
            f.color = r.ReadRgba();
            ReadShading(r, f, true, true);
            break;
        case 4:
        case 7:
            f.kind = id == 4 ? Filter::Kind::GradientGlow : Filter::Kind::GradientBevel;
            ReadGradient(r, f);
            ReadShading(r, f, true, true);
            break;
        case 5: {
            f.kind = Filter::Kind::Convolution;
            f.matrixX = r.U8();
            f.matrixY = r.U8();
            f.divisor = r.F32();
            f.bias = r.F32();
            const size_t n = static_cast<size_t>(f.matrixX) * f.matrixY;
            if (n * 4 > r.Remaining())
                return false;
            f.matrix.resize(n);
            for (size_t k = 0; k < n; ++k)
                f.matrix[k] = r.F32();
            f.defaultColor = r.ReadRgba();
            const uint8_t flags = r.U8();
            f.clamp = flags & 0x02;
            f.preserveAlpha = flags & 0x01;
            break;
        }
        case 6:
            f.kind = Filter::Kind::ColorMatrix;
            f.matrix.resize(20);
            for (float& v : f.matrix)
                v = r.F32();
            break;
        default:
            return false;
        }
        if (r.Overrun())
            return false;
        out.push_back(std::move(f));
    }
    return !r.Overrun();
}

} // namespace zembra::chars
