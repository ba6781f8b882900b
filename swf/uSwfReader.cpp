#include "swf/uSwfReader.h"

#include <cstring>

namespace zembra::swf {

uint8_t Reader::U8() {
    bitCount_ = 0;
    if (pos_ >= size_) {
        overrun_ = true;
        return 0;
    }
    return data_[pos_++];
}

uint16_t Reader::U16() {
    const uint16_t lo = U8();
    const uint16_t hi = U8();
    return static_cast<uint16_t>(lo | (hi << 8));
}

uint32_t Reader::U32() {
    const uint32_t lo = U16();
    const uint32_t hi = U16();
    return lo | (hi << 16);
}

double Reader::Fixed8() {
    return S16() / 256.0;
}

double Reader::Fixed16() {
    return S32() / 65536.0;
}

float Reader::F32() {
    const uint32_t bits = U32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

uint32_t Reader::EncodedU32() {
    uint32_t value = 0;
    for (int i = 0; i < 5; ++i) {
        const uint8_t b = U8();
        value |= static_cast<uint32_t>(b & 0x7f) << (7 * i);
        if (!(b & 0x80))
            break;
    }
    return value;
}

uint32_t Reader::UB(unsigned bits) {
    uint32_t value = 0;
    if (bits > 32)
        bits = 32;
    for (unsigned i = 0; i < bits; ++i) {
        if (bitCount_ == 0) {
            if (pos_ >= size_) {
                overrun_ = true;
                bitBuffer_ = 0;
            } else {
                bitBuffer_ = data_[pos_++];
            }
            bitCount_ = 8;
        }
        --bitCount_;
        value = (value << 1) | ((bitBuffer_ >> bitCount_) & 1);
    }
    return value;
}

int32_t Reader::SB(unsigned bits) {
    if (bits == 0)
        return 0;
    if (bits > 32)
        bits = 32;
    const uint32_t raw = UB(bits);
    if (bits < 32 && (raw & (1u << (bits - 1))))
        return static_cast<int32_t>(raw | ~((1u << bits) - 1));
    return static_cast<int32_t>(raw);
}

double Reader::FB(unsigned bits) {
    return SB(bits) / 65536.0;
}

std::string Reader::CString() {
    bitCount_ = 0;
    const size_t start = pos_;
    while (pos_ < size_ && data_[pos_] != 0)
        ++pos_;
    std::string s(reinterpret_cast<const char*>(data_ + start), pos_ - start);
    if (pos_ < size_)
        ++pos_;
    else
        overrun_ = true;
    return s;
}

std::string Latin1ToUtf8(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    return out;
}

std::string Reader::String(int version) {
    std::string s = CString();
    return version >= 6 ? s : Latin1ToUtf8(s);
}

void Reader::Skip(size_t n) {
    bitCount_ = 0;
    if (n > size_ - pos_) {
        pos_ = size_;
        overrun_ = true;
        return;
    }
    pos_ += n;
}

Reader Reader::Sub(size_t n) {
    bitCount_ = 0;
    const size_t take = n > size_ - pos_ ? size_ - pos_ : n;
    Reader sub(data_ + pos_, take);
    pos_ += take;
    if (take < n)
        overrun_ = true;
    return sub;
}

Rect Reader::ReadRect() {
    Align();
    const unsigned n = UB(5);
    Rect r;
    r.xMin = SB(n);
    r.xMax = SB(n);
    r.yMin = SB(n);
    r.yMax = SB(n);
    Align();
    return r;
}

raster::Matrix Reader::ReadMatrix() {
    Align();
    raster::Matrix m;
    if (UB(1)) {
        const unsigned n = UB(5);
        m.a = FB(n);
        m.d = FB(n);
    }
    if (UB(1)) {
        const unsigned n = UB(5);
        m.b = FB(n);
        m.c = FB(n);
    }
    const unsigned n = UB(5);
    m.tx = SB(n);
    m.ty = SB(n);
    Align();
    return m;
}

raster::ColorTransform Reader::ReadCxform(bool withAlpha) {
    Align();
    raster::ColorTransform t;
    const bool hasAdd = UB(1);
    const bool hasMul = UB(1);
    const unsigned n = UB(4);
    if (hasMul) {
        t.rMul = SB(n) / 256.0;
        t.gMul = SB(n) / 256.0;
        t.bMul = SB(n) / 256.0;
        if (withAlpha)
            t.aMul = SB(n) / 256.0;
    }
    if (hasAdd) {
        t.rAdd = SB(n);
        t.gAdd = SB(n);
        t.bAdd = SB(n);
        if (withAlpha)
            t.aAdd = SB(n);
    }
    Align();
    return t;
}

raster::Rgba Reader::ReadRgb() {
    raster::Rgba c;
    c.r = U8();
    c.g = U8();
    c.b = U8();
    c.a = 255;
    return c;
}

raster::Rgba Reader::ReadRgba() {
    raster::Rgba c = ReadRgb();
    c.a = U8();
    return c;
}

raster::Rgba Reader::ReadArgb() {
    raster::Rgba c;
    c.a = U8();
    c.r = U8();
    c.g = U8();
    c.b = U8();
    return c;
}

} // namespace zembra::swf
