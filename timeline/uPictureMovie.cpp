#include "timeline/uPictureMovie.h"

#include <algorithm>

#include "chars/uBitmapDecode.h"

namespace zembra::timeline {

namespace {

class Bits {
  public:
    void U(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) {
            if (used_ == 0)
                bytes.push_back(0);
            if ((value >> i) & 1)
                bytes.back() |= static_cast<uint8_t>(0x80 >> used_);
            used_ = (used_ + 1) & 7;
        }
    }
    void S(int32_t value, int n) { U(static_cast<uint32_t>(value) & ((1u << n) - 1), n); }
    void Align() { used_ = 0; }
    void U8(uint8_t v) {
        Align();
        bytes.push_back(v);
    }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v & 0xFF));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v & 0xFFFF));
        U16(static_cast<uint16_t>(v >> 16));
    }
    void Append(const std::vector<uint8_t>& b) {
        Align();
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    std::vector<uint8_t> bytes;

  private:
    int used_ = 0;
};

// Bits a signed field needs for values up to `v` in size.
int SignedBits(int32_t v) {
    int n = 1;
    while (n < 31 && (v >= (1 << (n - 1)) || v < -(1 << (n - 1))))
        ++n;
    return n;
}

void Rect(Bits& b, int32_t w, int32_t h) {
    const int n = std::max(SignedBits(w), SignedBits(h));
    b.U(static_cast<uint32_t>(n), 5);
    b.S(0, n);
    b.S(w, n);
    b.S(0, n);
    b.S(h, n);
    b.Align();
}

void Tag(Bits& out, uint16_t code, const std::vector<uint8_t>& body) {
    out.U16(static_cast<uint16_t>(code << 6 | 0x3F));
    out.U32(static_cast<uint32_t>(body.size()));
    out.Append(body);
}

} // namespace

bool LooksLikePicture(const std::vector<uint8_t>& b) {
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF)
        return true;
    if (b.size() >= 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G')
        return true;
    return b.size() >= 6 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F' && b[3] == '8';
}

std::vector<uint8_t> PictureMovie(const std::vector<uint8_t>& picture, int& width, int& height) {
    width = height = 0;
    const auto bitmap = chars::DecodeImage(picture.data(), picture.size(), {});
    if (!bitmap || bitmap->width <= 0 || bitmap->height <= 0 ||
        bitmap->width > chars::kMaxBitmapSide || bitmap->height > chars::kMaxBitmapSide)
        return {};
    width = bitmap->width;
    height = bitmap->height;
    const int32_t w = width * 20, h = height * 20;

    Bits tags;
    Bits image;
    image.U16(1);
    image.Append(picture);
    Tag(tags, 21, image.bytes); // DefineBitsJPEG2 carries PNG and GIF data too

    Bits shape;
    shape.U16(2);
    Rect(shape, w, h);
    shape.U8(1);    // one fill
    shape.U8(0x41); // clipped bitmap
    shape.U16(1);
    // Bitmap pixels to twips: scale 20 in 16.16.
    shape.U(1, 1);
    shape.U(23, 5);
    shape.S(20 << 16, 23);
    shape.S(20 << 16, 23);
    shape.U(0, 1); // no rotation
    shape.U(0, 5); // no translation
    shape.Align();
    shape.U8(0); // no lines
    shape.U(1, 4);
    shape.U(0, 4);
    // Select fill 1 at the origin, then the four sides.
    shape.U(0, 1);
    shape.U(0x05, 5);
    shape.U(1, 5);
    shape.S(0, 1);
    shape.S(0, 1);
    shape.U(1, 1);
    const int32_t sides[4][2] = {{w, 0}, {0, h}, {-w, 0}, {0, -h}};
    const int n = std::max(2, std::max(SignedBits(w), SignedBits(h)));
    for (const auto& d : sides) {
        shape.U(1, 1); // edge
        shape.U(1, 1); // straight
        shape.U(static_cast<uint32_t>(n - 2), 4);
        shape.U(1, 1); // both deltas
        shape.S(d[0], n);
        shape.S(d[1], n);
    }
    shape.U(0, 6); // end of shape
    shape.Align();
    Tag(tags, 2, shape.bytes);

    Tag(tags, 26, {0x02, 0x01, 0x00, 0x02, 0x00}); // place character 2 at depth 1
    Tag(tags, 1, {});
    Tag(tags, 0, {});

    Bits head;
    Rect(head, w, h);
    head.U16(12 << 8); // 12 frames per second
    head.U16(1);
    Bits file;
    file.U8('F');
    file.U8('W');
    file.U8('S');
    file.U8(8);
    file.U32(static_cast<uint32_t>(8 + head.bytes.size() + tags.bytes.size()));
    file.Append(head.bytes);
    file.Append(tags.bytes);
    return std::move(file.bytes);
}

} // namespace zembra::timeline
