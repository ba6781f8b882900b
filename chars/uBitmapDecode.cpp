#include "chars/uBitmapDecode.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include <stb_image.h>

namespace zembra::chars {

namespace {

uint32_t Pack(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) |
           (static_cast<uint32_t>(b) << 16) | (static_cast<uint32_t>(a) << 24);
}

uint8_t Premul(uint8_t c, uint8_t a) {
    return static_cast<uint8_t>((c * a + 127) / 255);
}

bool SizeOk(int w, int h) {
    return w > 0 && h > 0 && w <= kMaxBitmapSide && h <= kMaxBitmapSide &&
           int64_t(w) * h <= kMaxBitmapPixels;
}

// Removes every end-of-image/start-of-image pair (FF D9 FF D8): harmless
// elsewhere, since entropy-coded data never holds an unstuffed FF.
std::vector<uint8_t> StripMarkers(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    out.reserve(size);
    size_t i = 0;
    while (i < size) {
        if (i + 3 < size && data[i] == 0xff && data[i + 1] == 0xd9 && data[i + 2] == 0xff &&
            data[i + 3] == 0xd8) {
            i += 4;
            continue;
        }
        out.push_back(data[i++]);
    }
    return out;
}

bool IsJpeg(const uint8_t* d, size_t n) {
    return n >= 2 && d[0] == 0xff && d[1] == 0xd8;
}

} // namespace

std::vector<uint8_t> InflateLimited(const uint8_t* data, size_t size, size_t maxOut) {
    std::vector<uint8_t> out;
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit(&z) != Z_OK)
        return out;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    uint8_t chunk[16384];
    while (out.size() < maxOut) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        const int rc = inflate(&z, Z_NO_FLUSH);
        const size_t got = sizeof chunk - z.avail_out;
        const size_t take = std::min(got, maxOut - out.size());
        out.insert(out.end(), chunk, chunk + take);
        if (rc != Z_OK || got == 0)
            break;
    }
    inflateEnd(&z);
    return out;
}

std::shared_ptr<raster::Bitmap> DecodeImage(const uint8_t* data, size_t size,
                                            const std::vector<uint8_t>& tables) {
    std::vector<uint8_t> bytes;
    if (IsJpeg(data, size) || (size >= 4 && data[0] == 0xff && data[1] == 0xd9)) {
        if (!tables.empty()) {
            bytes.assign(tables.begin(), tables.end());
            // Tables end with EOI and the image starts with SOI: drop both.
            if (bytes.size() >= 2 && bytes[bytes.size() - 2] == 0xff && bytes.back() == 0xd9)
                bytes.resize(bytes.size() - 2);
            size_t skip = IsJpeg(data, size) ? 2 : 0;
            bytes.insert(bytes.end(), data + skip, data + size);
            bytes = StripMarkers(bytes.data(), bytes.size());
        } else {
            bytes = StripMarkers(data, size);
        }
    } else {
        bytes.assign(data, data + size);
    }
    if (bytes.size() > 0x7fffffff)
        return nullptr;
    const int len = static_cast<int>(bytes.size());
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(bytes.data(), len, &w, &h, &comp) || !SizeOk(w, h))
        return nullptr;
    unsigned char* px = stbi_load_from_memory(bytes.data(), len, &w, &h, &comp, 4);
    if (!px)
        return nullptr;
    if (!SizeOk(w, h)) {
        stbi_image_free(px);
        return nullptr;
    }
    auto bmp = std::make_shared<raster::Bitmap>();
    bmp->width = w;
    bmp->height = h;
    bmp->pixels.resize(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < bmp->pixels.size(); ++i) {
        const unsigned char* p = px + i * 4;
        bmp->pixels[i] = Pack(Premul(p[0], p[3]), Premul(p[1], p[3]), Premul(p[2], p[3]), p[3]);
    }
    stbi_image_free(px);
    return bmp;
}

void ApplyAlphaPlane(raster::Bitmap& bitmap, const uint8_t* zdata, size_t size) {
    const size_t n = bitmap.pixels.size();
    const std::vector<uint8_t> alpha = InflateLimited(zdata, size, n);
    for (size_t i = 0; i < alpha.size(); ++i) {
        const uint32_t p = bitmap.pixels[i];
        const uint8_t a = alpha[i];
        bitmap.pixels[i] =
            Pack(Premul(p & 0xff, a), Premul((p >> 8) & 0xff, a), Premul((p >> 16) & 0xff, a), a);
    }
}

std::shared_ptr<raster::Bitmap> DecodeLossless(const uint8_t* data, size_t size, int version) {
    if (size < 5)
        return nullptr;
    const int format = data[0];
    const int w = data[1] | (data[2] << 8);
    const int h = data[3] | (data[4] << 8);
    if (!SizeOk(w, h))
        return nullptr;
    size_t pos = 5;
    size_t tableSize = 0;
    if (format == 3) {
        if (size < 6)
            return nullptr;
        tableSize = static_cast<size_t>(data[5]) + 1;
        pos = 6;
    } else if (format != 4 && format != 5) {
        return nullptr;
    }
    if (format == 4 && version != 1)
        return nullptr;
    const size_t entry = version == 2 ? 4 : 3;
    size_t rowBytes;
    if (format == 3)
        rowBytes = (static_cast<size_t>(w) + 3) & ~size_t(3);
    else if (format == 4)
        rowBytes = (static_cast<size_t>(w) * 2 + 3) & ~size_t(3);
    else
        rowBytes = static_cast<size_t>(w) * 4;
    const size_t need = tableSize * entry + rowBytes * h;
    const std::vector<uint8_t> raw = InflateLimited(data + pos, size - pos, need);
    auto bmp = std::make_shared<raster::Bitmap>();
    bmp->width = w;
    bmp->height = h;
    bmp->pixels.assign(static_cast<size_t>(w) * h, 0);
    // Colours of version 2 are stored premultiplied already; clamp so
    // damaged data cannot exceed its alpha.
    auto color = [&](uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
        if (version != 2)
            return Pack(r, g, b, 255);
        return Pack(std::min(r, a), std::min(g, a), std::min(b, a), a);
    };
    std::vector<uint32_t> palette(tableSize, 0);
    for (size_t i = 0; i < tableSize && (i + 1) * entry <= raw.size(); ++i) {
        const uint8_t* e = raw.data() + i * entry;
        palette[i] = color(e[0], e[1], e[2], entry == 4 ? e[3] : 255);
    }
    const size_t base = tableSize * entry;
    for (int y = 0; y < h; ++y) {
        const size_t rowStart = base + rowBytes * y;
        for (int x = 0; x < w; ++x) {
            uint32_t px = 0;
            if (format == 3) {
                const size_t at = rowStart + x;
                if (at >= raw.size())
                    break;
                const size_t idx = raw[at];
                px = idx < palette.size() ? palette[idx] : 0;
            } else if (format == 4) {
                const size_t at = rowStart + size_t(x) * 2;
                if (at + 1 >= raw.size())
                    break;
                const unsigned v = (raw[at] << 8) | raw[at + 1];
                auto five = [](unsigned c) { return static_cast<uint8_t>((c << 3) | (c >> 2)); };
                px = Pack(five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31), 255);
            } else {
                const size_t at = rowStart + size_t(x) * 4;
                if (at + 3 >= raw.size())
                    break;
                px = color(raw[at + 1], raw[at + 2], raw[at + 3], version == 2 ? raw[at] : 255);
            }
            bmp->pixels[static_cast<size_t>(y) * w + x] = px;
        }
    }
    return bmp;
}

} // namespace zembra::chars
