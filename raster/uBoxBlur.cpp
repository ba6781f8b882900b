#include "raster/uBoxBlur.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zembra::raster {

namespace {

// floor(sum / width) as a multiplication: exact for the sums a window of
// 8-bit values makes (sum <= 255 * width, width <= 2 * kMaxBlurRadius + 1).
struct Divider {
    explicit Divider(uint32_t width) : mul(((uint64_t(1) << 32) + width - 1) / width) {}
    uint32_t operator()(uint32_t sum) const { return static_cast<uint32_t>((sum * mul) >> 32); }
    uint64_t mul;
};

int Clamp(int v, int lo, int hi) {
    return std::max(lo, std::min(hi, v));
}

// One pass along a line of `n` values `stride` apart, from `in` to `out`
// (which may not be the same memory), `channels` interleaved 8-bit values
// per element.
template <int channels>
void BoxLine(const uint8_t* in, uint8_t* out, int n, size_t stride, int radius,
             const Divider& div) {
    uint32_t sum[channels] = {};
    const int first = std::min(radius, n - 1);
    for (int i = 0; i <= first; ++i)
        for (int c = 0; c < channels; ++c)
            sum[c] += in[i * stride + c];
    for (int i = 0; i < n; ++i) {
        for (int c = 0; c < channels; ++c)
            out[i * stride + c] = static_cast<uint8_t>(div(sum[c]));
        const int add = i + radius + 1;
        const int drop = i - radius;
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
void BlurBytes(uint8_t* data, int width, int height, int rx, int ry, int passes,
               std::vector<uint8_t>& row, std::vector<uint32_t>& sums) {
    if (width <= 0 || height <= 0)
        return;
    rx = Clamp(rx, 0, kMaxBlurRadius);
    ry = Clamp(ry, 0, kMaxBlurRadius);
    passes = Clamp(passes, 0, kMaxBlurPasses);
    const size_t rowBytes = static_cast<size_t>(width) * channels;
    const Divider divX(2 * rx + 1), divY(2 * ry + 1);
    for (int pass = 0; pass < passes; ++pass) {
        if (rx > 0) {
            row.resize(rowBytes);
            for (int y = 0; y < height; ++y) {
                uint8_t* line = data + y * rowBytes;
                std::memcpy(row.data(), line, rowBytes);
                BoxLine<channels>(row.data(), line, width, channels, rx, divX);
            }
        }
        if (ry > 0) {
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
                for (size_t i = 0; i < rowBytes; ++i)
                    dst[i] = static_cast<uint8_t>(divY(sums[i]));
                const int add = y + ry + 1;
                const int drop = y - ry;
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

int BlurRadius(double amount) {
    if (!(amount > 2))
        return 0;
    return static_cast<int>(std::min<double>(kMaxBlurRadius, std::floor((amount - 1) / 2)));
}

void BoxBlur::BlurPlane(uint8_t* plane, int width, int height, int radiusX, int radiusY,
                        int passes) {
    BlurBytes<1>(plane, width, height, radiusX, radiusY, passes, planeRow_, sums_);
}

void BoxBlur::BlurPixels(uint32_t* pixels, int width, int height, int radiusX, int radiusY,
                         int passes) {
    // The four channels of a pixel are four bytes in memory; each is
    // averaged on its own, whatever the byte order.
    BlurBytes<4>(reinterpret_cast<uint8_t*>(pixels), width, height, radiusX, radiusY, passes,
                 planeRow_, sums_);
}

} // namespace zembra::raster
