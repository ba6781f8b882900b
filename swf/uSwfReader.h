// Bounds-checked reading of movie data: bytes, bit fields and the file's
// records. Reading past the end never touches memory outside the buffer: it
// yields zeros and marks the reader as overrun, so a damaged record decodes
// to something harmless and the caller can tell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "raster/uRasterTypes.h"

namespace zembra::swf {

// Twips (1/20 pixel), as the file stores them.
struct Rect {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    double Width() const { return double(xMax) - double(xMin); }
    double Height() const { return double(yMax) - double(yMin); }
};

class Reader {
  public:
    Reader() = default;
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    int16_t S16() { return static_cast<int16_t>(U16()); }
    int32_t S32() { return static_cast<int32_t>(U32()); }
    double Fixed8();  // signed 8.8
    double Fixed16(); // signed 16.16
    float F32();
    uint32_t EncodedU32();

    // Bit fields, most significant bit first; byte reads align first.
    uint32_t UB(unsigned bits);
    int32_t SB(unsigned bits);
    double FB(unsigned bits); // signed 16.16
    void Align() { bitCount_ = 0; }

    // A zero-terminated string (the terminator is consumed, not returned);
    // an unterminated one runs to the end and marks the overrun.
    std::string CString();
    // The same, converted to UTF-8 from the file version's encoding
    // (version 6 and later store UTF-8, earlier ones an 8-bit code page
    // taken here as Latin-1).
    std::string String(int version);

    void Skip(size_t n);
    // A reader over the next n bytes (fewer when the data ends); this
    // reader moves past them.
    Reader Sub(size_t n);

    const uint8_t* Here() const { return data_ + pos_; }
    size_t Pos() const { return pos_; }
    size_t Size() const { return size_; }
    size_t Remaining() const { return size_ - pos_; }
    bool AtEnd() const { return pos_ >= size_; }
    bool Overrun() const { return overrun_; }

    Rect ReadRect();
    raster::Matrix ReadMatrix();
    raster::ColorTransform ReadCxform(bool withAlpha);
    raster::Rgba ReadRgb();
    raster::Rgba ReadRgba();
    raster::Rgba ReadArgb();

  private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    uint32_t bitBuffer_ = 0;
    unsigned bitCount_ = 0;
    bool overrun_ = false;
};

// Latin-1 bytes to UTF-8.
std::string Latin1ToUtf8(const std::string& s);

} // namespace zembra::swf
