// Writes small movies for the tests: bit fields, records, tags and whole
// files, so each test states the bytes it means without hex dumps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

namespace zembra::testing {

class BitWriter {
  public:
    void UB(uint32_t v, unsigned bits) {
        for (unsigned i = bits; i-- > 0;) {
            cur_ = static_cast<uint8_t>((cur_ << 1) | ((v >> i) & 1));
            if (++n_ == 8)
                Flush();
        }
    }
    void SB(int32_t v, unsigned bits) { UB(static_cast<uint32_t>(v), bits); }
    void Align() {
        if (n_ > 0) {
            cur_ = static_cast<uint8_t>(cur_ << (8 - n_));
            Flush();
        }
    }
    void U8(uint8_t v) {
        Align();
        bytes.push_back(v);
    }
    void U16(uint16_t v) {
        U8(v & 0xff);
        U8(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v & 0xffff);
        U16(v >> 16);
    }
    void Str(const std::string& s) {
        for (char c : s)
            U8(static_cast<uint8_t>(c));
        U8(0);
    }
    void Bytes(const std::vector<uint8_t>& b) {
        Align();
        bytes.insert(bytes.end(), b.begin(), b.end());
    }
    // Signed bits needed for all values.
    static unsigned Bits(std::initializer_list<int32_t> values) {
        unsigned n = 1;
        for (int32_t v : values) {
            unsigned need = 1;
            while (need < 32 && (v < -(1 << (need - 1)) || v >= (1 << (need - 1))))
                ++need;
            n = need > n ? need : n;
        }
        return n;
    }
    void Rect(int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
        const unsigned n = Bits({x0, x1, y0, y1});
        UB(n, 5);
        SB(x0, n);
        SB(x1, n);
        SB(y0, n);
        SB(y1, n);
        Align();
    }
    // Translation only.
    void Matrix(int32_t tx, int32_t ty) {
        UB(0, 1);
        UB(0, 1);
        const unsigned n = Bits({tx, ty});
        UB(n, 5);
        SB(tx, n);
        SB(ty, n);
        Align();
    }
    // Scale (16.16) and translation.
    void MatrixScale(double sx, double sy, int32_t tx, int32_t ty) {
        UB(1, 1);
        const int32_t a = static_cast<int32_t>(sx * 65536), d = static_cast<int32_t>(sy * 65536);
        const unsigned ns = Bits({a, d});
        UB(ns, 5);
        SB(a, ns);
        SB(d, ns);
        UB(0, 1);
        const unsigned n = Bits({tx, ty});
        UB(n, 5);
        SB(tx, n);
        SB(ty, n);
        Align();
    }

    std::vector<uint8_t> bytes;

  private:
    void Flush() {
        bytes.push_back(cur_);
        cur_ = 0;
        n_ = 0;
    }
    uint8_t cur_ = 0;
    unsigned n_ = 0;
};

inline std::vector<uint8_t> Tag(uint16_t code, const std::vector<uint8_t>& body,
                                bool longForm = false) {
    BitWriter w;
    if (body.size() < 0x3f && !longForm) {
        w.U16(static_cast<uint16_t>((code << 6) | body.size()));
    } else {
        w.U16(static_cast<uint16_t>((code << 6) | 0x3f));
        w.U32(static_cast<uint32_t>(body.size()));
    }
    w.Bytes(body);
    return w.bytes;
}

// A DefineShape (version 1..4) of one rectangle filled with a solid colour
// and, when lineWidth > 0, outlined with line style 1.
inline std::vector<uint8_t> RectShape(uint16_t id, int shapeVersion, int32_t x0, int32_t y0,
                                      int32_t x1, int32_t y1, uint32_t rgba,
                                      uint16_t lineWidth = 0) {
    BitWriter w;
    w.U16(id);
    w.Rect(x0, x1, y0, y1);
    if (shapeVersion == 4) {
        w.Rect(x0, x1, y0, y1);
        w.U8(0);
    }
    auto color = [&](uint32_t c) {
        w.U8(c >> 24);
        w.U8((c >> 16) & 0xff);
        w.U8((c >> 8) & 0xff);
        if (shapeVersion >= 3)
            w.U8(c & 0xff);
    };
    w.U8(1);    // one fill style
    w.U8(0x00); // solid
    color(rgba);
    if (lineWidth > 0) {
        w.U8(1);
        w.U16(lineWidth);
        if (shapeVersion == 4) {
            w.U8(0);
            w.U8(0);
        }
        color(0x000000ff);
    } else {
        w.U8(0);
    }
    w.UB(1, 4); // fill bits
    w.UB(1, 4); // line bits
    // Style change: move to (x0, y0), fill1 = 1, line = 1 if any.
    w.UB(0, 1);
    w.UB(0, 1);                     // new styles
    w.UB(lineWidth > 0 ? 1 : 0, 1); // line
    w.UB(1, 1);                     // fill1
    w.UB(0, 1);                     // fill0
    w.UB(1, 1);                     // move
    const unsigned mb = BitWriter::Bits({x0, y0});
    w.UB(mb, 5);
    w.SB(x0, mb);
    w.SB(y0, mb);
    w.UB(1, 1);
    if (lineWidth > 0)
        w.UB(1, 1);
    auto line = [&](int32_t dx, int32_t dy) {
        w.UB(1, 1); // edge
        w.UB(1, 1); // straight
        const unsigned n = BitWriter::Bits({dx, dy});
        const unsigned nb = n < 2 ? 2 : n;
        w.UB(nb - 2, 4);
        w.UB(1, 1); // general
        w.SB(dx, nb);
        w.SB(dy, nb);
    };
    line(x1 - x0, 0);
    line(0, y1 - y0);
    line(x0 - x1, 0);
    line(0, y0 - y1);
    w.UB(0, 6); // end
    w.Align();
    static const uint16_t codes[] = {0, 2, 22, 32, 83};
    return Tag(codes[shapeVersion], w.bytes);
}

inline std::vector<uint8_t> PlaceObject2(uint16_t depth, uint16_t id, int32_t tx, int32_t ty,
                                         bool move = false) {
    BitWriter w;
    w.U8(static_cast<uint8_t>((id ? 0x02 : 0) | 0x04 | (move ? 0x01 : 0)));
    w.U16(depth);
    if (id)
        w.U16(id);
    w.Matrix(tx, ty);
    return Tag(26, w.bytes);
}

inline std::vector<uint8_t> ShowFrame() {
    return Tag(1, {});
}
inline std::vector<uint8_t> End() {
    return Tag(0, {});
}

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A whole movie: header with the given stage (twips), rate, frame count and
// body tags; 'C' compresses the body with zlib.
inline std::vector<uint8_t> Movie(const std::vector<uint8_t>& tags, int32_t width = 8000,
                                  int32_t height = 6000, uint16_t frames = 1, char kind = 'F',
                                  uint8_t version = 10) {
    BitWriter body;
    body.Rect(0, width, 0, height);
    body.U16(24 << 8);
    body.U16(frames);
    body.Bytes(tags);
    const uint32_t length = static_cast<uint32_t>(body.bytes.size() + 8);
    std::vector<uint8_t> out = {static_cast<uint8_t>(kind), 'W', 'S', version};
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(length >> (8 * i)));
    if (kind == 'C') {
        uLongf clen = compressBound(static_cast<uLong>(body.bytes.size()));
        std::vector<uint8_t> c(clen);
        compress(c.data(), &clen, body.bytes.data(), static_cast<uLong>(body.bytes.size()));
        c.resize(clen);
        out.insert(out.end(), c.begin(), c.end());
    } else {
        out.insert(out.end(), body.bytes.begin(), body.bytes.end());
    }
    return out;
}

} // namespace zembra::testing
