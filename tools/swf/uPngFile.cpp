#include "tools/swf/uPngFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include <stb_image.h>
#include <stb_image_write.h>

namespace zembra::swftool {

bool WritePng(const std::string& path, const raster::FrameBuffer& fb) {
    const int w = fb.Width(), h = fb.Height();
    if (w <= 0 || h <= 0)
        return false;
    std::vector<unsigned char> rgba(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = fb.Row(y);
        for (int x = 0; x < w; ++x) {
            const uint32_t p = row[x];
            const unsigned a = p >> 24;
            unsigned char* o = &rgba[(static_cast<size_t>(y) * w + x) * 4];
            for (int c = 0; c < 3; ++c) {
                const unsigned v = (p >> (8 * c)) & 0xff;
                o[c] = static_cast<unsigned char>(a ? std::min(255u, (v * 255 + a / 2) / a) : 0);
            }
            o[3] = static_cast<unsigned char>(a);
        }
    }
    return stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4) != 0;
}

bool ReadPng(const std::string& path, raster::FrameBuffer& fb) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    int w = 0, h = 0, comp = 0;
    unsigned char* px =
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &comp, 4);
    if (!px)
        return false;
    fb.Resize(w, h);
    for (int y = 0; y < h && y < fb.Height(); ++y) {
        uint32_t* row = fb.Row(y);
        for (int x = 0; x < w && x < fb.Width(); ++x) {
            const unsigned char* p = px + (static_cast<size_t>(y) * w + x) * 4;
            const unsigned a = p[3];
            auto pm = [a](unsigned v) { return (v * a + 127) / 255; };
            row[x] = pm(p[0]) | (pm(p[1]) << 8) | (pm(p[2]) << 16) | (a << 24);
        }
    }
    stbi_image_free(px);
    return true;
}

} // namespace zembra::swftool
