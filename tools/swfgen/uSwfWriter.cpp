#include "tools/swfgen/uSwfWriter.h"

#include <cmath>
#include <stdexcept>

#include <zlib.h>

namespace zembra::swfgen {

namespace {

// 16.16 fixed point, clamped to what a 32-bit field holds.
int32_t Fixed16(double v) {
    const double scaled = std::round(v * 65536.0);
    if (scaled > 2147483647.0)
        return 2147483647;
    if (scaled < -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(scaled);
}

void WriteGradientColor(BitWriter& w, const Rgba& c) {
    w.U8(c.r);
    w.U8(c.g);
    w.U8(c.b);
    w.U8(c.a);
}

} // namespace

void BitWriter::UB(uint32_t value, unsigned bits) {
    for (unsigned i = bits; i-- > 0;) {
        pending_ = static_cast<uint8_t>((pending_ << 1) | ((value >> i) & 1u));
        if (++pendingBits_ == 8) {
            bytes_.push_back(pending_);
            pending_ = 0;
            pendingBits_ = 0;
        }
    }
}

void BitWriter::SB(int32_t value, unsigned bits) {
    UB(static_cast<uint32_t>(value), bits);
}

void BitWriter::Align() {
    if (pendingBits_ > 0)
        UB(0, 8 - pendingBits_);
}

void BitWriter::U8(uint8_t value) {
    Align();
    bytes_.push_back(value);
}

void BitWriter::U16(uint16_t value) {
    U8(static_cast<uint8_t>(value & 0xFF));
    U8(static_cast<uint8_t>(value >> 8));
}

void BitWriter::U32(uint32_t value) {
    U16(static_cast<uint16_t>(value & 0xFFFF));
    U16(static_cast<uint16_t>(value >> 16));
}

void BitWriter::String(const std::string& text) {
    for (char c : text)
        U8(static_cast<uint8_t>(c));
    U8(0);
}

void BitWriter::Append(const std::vector<uint8_t>& bytes) {
    Align();
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

unsigned BitWriter::SignedBits(std::initializer_list<int32_t> values) {
    unsigned bits = 1;
    for (int32_t v : values) {
        unsigned need = 1;
        const int64_t x = v;
        while (need < 32 && (x < -(int64_t{1} << (need - 1)) || x >= (int64_t{1} << (need - 1))))
            ++need;
        if (need > bits)
            bits = need;
    }
    return bits;
}

std::vector<uint8_t> BitWriter::Take() {
    Align();
    std::vector<uint8_t> out;
    out.swap(bytes_);
    return out;
}

void WriteRect(BitWriter& w, int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax) {
    const unsigned n = BitWriter::SignedBits({xMin, xMax, yMin, yMax});
    w.UB(n, 5);
    w.SB(xMin, n);
    w.SB(xMax, n);
    w.SB(yMin, n);
    w.SB(yMax, n);
    w.Align();
}

void WriteMatrix(BitWriter& w, const Placement& m) {
    const bool hasScale = m.a != 1 || m.d != 1;
    w.UB(hasScale ? 1 : 0, 1);
    if (hasScale) {
        const int32_t a = Fixed16(m.a), d = Fixed16(m.d);
        const unsigned n = BitWriter::SignedBits({a, d});
        w.UB(n, 5);
        w.SB(a, n);
        w.SB(d, n);
    }
    const bool hasRotate = m.b != 0 || m.c != 0;
    w.UB(hasRotate ? 1 : 0, 1);
    if (hasRotate) {
        const int32_t b = Fixed16(m.b), c = Fixed16(m.c);
        const unsigned n = BitWriter::SignedBits({b, c});
        w.UB(n, 5);
        w.SB(b, n);
        w.SB(c, n);
    }
    const unsigned n = (m.tx == 0 && m.ty == 0) ? 0 : BitWriter::SignedBits({m.tx, m.ty});
    w.UB(n, 5);
    w.SB(m.tx, n);
    w.SB(m.ty, n);
    w.Align();
}

std::vector<uint8_t> Tag(uint16_t code, const std::vector<uint8_t>& body) {
    BitWriter w;
    if (body.size() < 0x3F) {
        w.U16(static_cast<uint16_t>((code << 6) | body.size()));
    } else {
        w.U16(static_cast<uint16_t>((code << 6) | 0x3F));
        w.U32(static_cast<uint32_t>(body.size()));
    }
    w.Append(body);
    return w.Take();
}

void ShapeOutline::MoveTo(int32_t x, int32_t y) {
    Edge e;
    e.move = true;
    e.x = x;
    e.y = y;
    edges_.push_back(e);
}

void ShapeOutline::LineTo(int32_t x, int32_t y) {
    Edge e;
    e.x = x;
    e.y = y;
    edges_.push_back(e);
}

void ShapeOutline::CurveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) {
    Edge e;
    e.curved = true;
    e.cx = cx;
    e.cy = cy;
    e.x = x;
    e.y = y;
    edges_.push_back(e);
}

std::vector<uint8_t> DefineShape3(uint16_t id, const ShapeOutline& outline, const Fill& fill) {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    bool first = true;
    auto grow = [&](int32_t x, int32_t y) {
        if (first) {
            xMin = xMax = x;
            yMin = yMax = y;
            first = false;
        }
        xMin = x < xMin ? x : xMin;
        xMax = x > xMax ? x : xMax;
        yMin = y < yMin ? y : yMin;
        yMax = y > yMax ? y : yMax;
    };
    for (const auto& e : outline.Edges()) {
        grow(e.x, e.y);
        if (e.curved)
            grow(e.cx, e.cy);
    }

    BitWriter w;
    w.U16(id);
    WriteRect(w, xMin, xMax, yMin, yMax);
    w.U8(1); // one fill style
    switch (fill.kind) {
    case Fill::Kind::Solid:
        w.U8(0x00);
        WriteGradientColor(w, fill.color);
        break;
    case Fill::Kind::Linear:
    case Fill::Kind::Radial: {
        w.U8(fill.kind == Fill::Kind::Linear ? 0x10 : 0x12);
        WriteMatrix(w, fill.matrix);
        const std::size_t count = fill.stops.size() > 15 ? 15 : fill.stops.size();
        w.U8(static_cast<uint8_t>(count)); // pad spread, RGB interpolation
        for (std::size_t i = 0; i < count; ++i) {
            w.U8(fill.stops[i].ratio);
            WriteGradientColor(w, fill.stops[i].color);
        }
        break;
    }
    }
    w.U8(0);    // no line styles
    w.UB(1, 4); // fill index bits
    w.UB(0, 4); // line index bits

    int32_t penX = 0, penY = 0;
    bool styled = false;
    for (const auto& e : outline.Edges()) {
        if (e.move || !styled) {
            // Style change: fill 1 on the first record, move to the point.
            const int32_t mx = e.move ? e.x : penX, my = e.move ? e.y : penY;
            w.UB(0, 1);
            w.UB(0, 1);              // new styles
            w.UB(0, 1);              // line style
            w.UB(styled ? 0 : 1, 1); // fill style 1
            w.UB(0, 1);              // fill style 0
            w.UB(1, 1);              // move to
            const unsigned n = BitWriter::SignedBits({mx, my});
            w.UB(n, 5);
            w.SB(mx, n);
            w.SB(my, n);
            if (!styled)
                w.UB(1, 1);
            styled = true;
            penX = mx;
            penY = my;
            if (e.move)
                continue;
        }
        if (e.curved) {
            const int32_t cdx = e.cx - penX, cdy = e.cy - penY;
            const int32_t adx = e.x - e.cx, ady = e.y - e.cy;
            unsigned n = BitWriter::SignedBits({cdx, cdy, adx, ady});
            n = n < 2 ? 2 : n;
            w.UB(1, 1);
            w.UB(0, 1);
            w.UB(n - 2, 4);
            w.SB(cdx, n);
            w.SB(cdy, n);
            w.SB(adx, n);
            w.SB(ady, n);
        } else {
            const int32_t dx = e.x - penX, dy = e.y - penY;
            unsigned n = BitWriter::SignedBits({dx, dy});
            n = n < 2 ? 2 : n;
            w.UB(1, 1);
            w.UB(1, 1);
            w.UB(n - 2, 4);
            w.UB(1, 1); // general line
            w.SB(dx, n);
            w.SB(dy, n);
        }
        penX = e.x;
        penY = e.y;
    }
    w.UB(0, 6); // end of shape
    return Tag(32, w.Take());
}

std::vector<uint8_t> PlaceObject2(uint16_t depth, uint16_t character, const Placement& m) {
    BitWriter w;
    w.U8(static_cast<uint8_t>(character != 0 ? 0x06 : 0x05)); // matrix + character or move
    w.U16(depth);
    if (character != 0)
        w.U16(character);
    WriteMatrix(w, m);
    return Tag(26, w.Take());
}

std::vector<uint8_t> DoGetUrl(const std::string& url, const std::string& target) {
    BitWriter action;
    action.String(url);
    action.String(target);
    const std::vector<uint8_t> payload = action.Take();
    BitWriter w;
    w.U8(0x83);
    w.U16(static_cast<uint16_t>(payload.size()));
    w.Append(payload);
    w.U8(0x00);
    return Tag(12, w.Take());
}

std::vector<uint8_t> MovieFile(uint8_t version, int32_t widthTwips, int32_t heightTwips,
                               double frameRate, uint16_t frameCount,
                               const std::vector<std::vector<uint8_t>>& tags, bool compress) {
    BitWriter body;
    WriteRect(body, 0, widthTwips, 0, heightTwips);
    const double rate = frameRate < 0 ? 0 : (frameRate > 255 ? 255 : frameRate);
    body.U16(static_cast<uint16_t>(std::lround(rate * 256.0)));
    body.U16(frameCount);
    for (const auto& tag : tags)
        body.Append(tag);
    body.U16(0); // end tag
    const std::vector<uint8_t> rest = body.Take();

    const uint32_t length = static_cast<uint32_t>(8 + rest.size());
    BitWriter file;
    file.U8(compress ? 'C' : 'F');
    file.U8('W');
    file.U8('S');
    file.U8(version);
    file.U32(length);
    if (!compress) {
        file.Append(rest);
        return file.Take();
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rest.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rest.data(), static_cast<uLong>(rest.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib could not compress the movie");
    packed.resize(packedSize);
    file.Append(packed);
    return file.Take();
}

} // namespace zembra::swfgen
