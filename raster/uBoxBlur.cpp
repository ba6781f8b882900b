#include "raster/uBoxBlur.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zembra::raster {

namespace {

// floor(sum / total) as a multiplication, for the sums a window of 8-bit
// values makes (sum <= 255 * total, total < 2^19): off by one at most when
// the quotient lies within a few millionths below a whole number.
struct Divider {
    explicit Divider(uint32_t total) : mul(((uint64_t(1) << 40) + total - 1) / total) {}
    uint32_t operator()(uint64_t sum) const { return static_cast<uint32_t>((sum * mul) >> 40); }
    uint64_t mul;
};

int Clamp(int v, int lo, int hi) {
    return std::max(lo, std::min(hi, v));
}

BoxWidth Bounded(BoxWidth b) {
    b.radius = Clamp(b.radius, 0, kMaxBlurRadius);
    b.edge = b.radius == kMaxBlurRadius ? 0 : Clamp(b.edge, 0, 255);
    return b;
}

// The window's weights in 256ths: whole pixels count 256, the two edge
// pixels `edge` each.
uint32_t Total(BoxWidth b) {
    return (2 * b.radius + 1) * 256 + 2 * b.edge;
}

// One pass along a line of `n` values `stride` apart, from `in` to `out`
// (which may not be the same memory), `channels` interleaved 8-bit values
// per element.
template <int channels>
void BoxLine(const uint8_t* in, uint8_t* out, int n, size_t stride, BoxWidth box,
             const Divider& div) {
    const int radius = box.radius;
    uint32_t sum[channels] = {};
    const int first = std::min(radius, n - 1);
    for (int i = 0; i <= first; ++i)
        for (int c = 0; c < channels; ++c)
            sum[c] += in[i * stride + c];
    for (int i = 0; i < n; ++i) {
        const int add = i + radius + 1;
        const int drop = i - radius;
        if (box.edge == 0) {
            for (int c = 0; c < channels; ++c)
                out[i * stride + c] = static_cast<uint8_t>(div(uint64_t(sum[c]) << 8));
        } else {
            for (int c = 0; c < channels; ++c) {
                uint32_t ends = 0;
                if (add < n)
                    ends += in[add * stride + c];
                if (drop > 0)
                    ends += in[(drop - 1) * stride + c];
                out[i * stride + c] =
                    static_cast<uint8_t>(div((uint64_t(sum[c]) << 8) + uint64_t(ends) * box.edge));
            }
        }
        if (add < n)
            for (int c = 0; c < channels; ++c)
                sum[c] += in[add * stride + c];
        if (drop >= 0)
            for (int c = 0; c < channels; ++c)
                sum[c] -= in[drop * stride + c];
    }
}

// Blurs rows in place through a copy of each row, then columns through
// running sums over a copy of the whole picture.
template <int channels>
void BlurBytes(uint8_t* data, int width, int height, BoxWidth bx, BoxWidth by, int passes,
               std::vector<uint8_t>& row, std::vector<uint32_t>& sums) {
    if (width <= 0 || height <= 0)
        return;
    bx = Bounded(bx);
    by = Bounded(by);
    passes = Clamp(passes, 0, kMaxBlurPasses);
    const size_t rowBytes = static_cast<size_t>(width) * channels;
    const Divider divX(Total(bx)), divY(Total(by));
    const int ry = by.radius;
    for (int pass = 0; pass < passes; ++pass) {
        if (bx.radius > 0 || bx.edge > 0) {
            row.resize(rowBytes);
            for (int y = 0; y < height; ++y) {
                uint8_t* line = data + y * rowBytes;
                std::memcpy(row.data(), line, rowBytes);
                BoxLine<channels>(row.data(), line, width, channels, bx, divX);
            }
        }
        if (ry > 0 || by.edge > 0) {
            // Column sums over rows y - ry .. y + ry of the picture as it was.
            row.resize(rowBytes * height);
            std::memcpy(row.data(), data, rowBytes * height);
            sums.assign(rowBytes, 0);
            for (int y = 0; y <= std::min(ry, height - 1); ++y) {
                const uint8_t* src = row.data() + y * rowBytes;
                for (size_t i = 0; i < rowBytes; ++i)
                    sums[i] += src[i];
            }
            for (int y = 0; y < height; ++y) {
                uint8_t* dst = data + y * rowBytes;
                const int add = y + ry + 1;
                const int drop = y - ry;
                if (by.edge == 0) {
                    for (size_t i = 0; i < rowBytes; ++i)
                        dst[i] = static_cast<uint8_t>(divY(uint64_t(sums[i]) << 8));
                } else {
                    const uint8_t* below = add < height ? row.data() + add * rowBytes : nullptr;
                    const uint8_t* above = drop > 0 ? row.data() + (drop - 1) * rowBytes : nullptr;
                    for (size_t i = 0; i < rowBytes; ++i) {
                        const uint32_t ends = (below ? below[i] : 0) + (above ? above[i] : 0);
                        dst[i] = static_cast<uint8_t>(
                            divY((uint64_t(sums[i]) << 8) + uint64_t(ends) * by.edge));
                    }
                }
                if (add < height) {
                    const uint8_t* src = row.data() + add * rowBytes;
                    for (size_t i = 0; i < rowBytes; ++i)
                        sums[i] += src[i];
                }
                if (drop >= 0) {
                    const uint8_t* src = row.data() + drop * rowBytes;
                    for (size_t i = 0; i < rowBytes; ++i)
                        sums[i] -= src[i];
                }
            }
        }
    }
}

} // namespace

BoxWidth BlurBox(double amount, double scale) {
    BoxWidth b;
    const double width = (amount - 1) * scale + 1;
    if (!(width > 1))
        return b;
    const double half = std::min<double>(kMaxBlurRadius, (width - 1) / 2);
    b.radius = static_cast<int>(half);
    b.edge = static_cast<int>(std::lround((half - b.radius) * 256));
    if (b.edge == 256) {
        ++b.radius;
        b.edge = 0;
    }
    return Bounded(b);
}

void BoxBlur::BlurPlane(uint8_t* plane, int width, int height, BoxWidth x, BoxWidth y, int passes) {
    BlurBytes<1>(plane, width, height, x, y, passes, planeRow_, sums_);
}

void BoxBlur::BlurPixels(uint32_t* pixels, int width, int height, BoxWidth x, BoxWidth y,
                         int passes) {
    // The four channels of a pixel are four bytes in memory; each is
    // averaged on its own, whatever the byte order.
    BlurBytes<4>(reinterpret_cast<uint8_t*>(pixels), width, height, x, y, passes, planeRow_, sums_);
}

} // namespace zembra::raster
