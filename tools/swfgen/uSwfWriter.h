// Writes movie files: bit fields, the records shapes and placements are made
// of, tags, and the file header (plain or zlib). Portable, no platform
// headers. Only what the project's own generated movies need.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zembra::swfgen {

class BitWriter {
  public:
    void UB(uint32_t value, unsigned bits);
    void SB(int32_t value, unsigned bits);
    // Pads the current byte with zero bits.
    void Align();
    void U8(uint8_t value);
    void U16(uint16_t value);
    void U32(uint32_t value);
    // Zero-terminated.
    void String(const std::string& text);
    void Append(const std::vector<uint8_t>& bytes);

    // Bits a signed field needs to hold every one of `values`.
    static unsigned SignedBits(std::initializer_list<int32_t> values);

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t> Take();

  private:
    std::vector<uint8_t> bytes_;
    uint8_t pending_ = 0;
    unsigned pendingBits_ = 0;
};

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// An affine placement: scale/rotation parts as plain numbers, translation
// in twips.
struct Placement {
    double a = 1, b = 0, c = 0, d = 1;
    int32_t tx = 0, ty = 0;
};

void WriteRect(BitWriter& w, int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax);
void WriteMatrix(BitWriter& w, const Placement& m);

// One tag with its header (short form when the body allows it).
std::vector<uint8_t> Tag(uint16_t code, const std::vector<uint8_t>& body);

// Outline of a filled shape, in twips, relative to the shape's origin.
// Each edge continues from where the last one ended.
class ShapeOutline {
  public:
    void MoveTo(int32_t x, int32_t y);
    void LineTo(int32_t x, int32_t y);
    void CurveTo(int32_t cx, int32_t cy, int32_t x, int32_t y);

    struct Edge {
        bool move = false;
        bool curved = false;
        int32_t cx = 0, cy = 0, x = 0, y = 0; // absolute
    };
    const std::vector<Edge>& Edges() const { return edges_; }

  private:
    std::vector<Edge> edges_;
};

struct GradientStop {
    uint8_t ratio = 0;
    Rgba color;
};

// A fill of one shape: solid, or a linear/radial gradient whose square
// (-16384..16384) is mapped by `matrix` onto the shape.
struct Fill {
    enum class Kind { Solid, Linear, Radial } kind = Kind::Solid;
    Rgba color;
    std::vector<GradientStop> stops; // at most 15
    Placement matrix;
};

// A DefineShape3 body with one fill and no line styles.
std::vector<uint8_t> DefineShape3(uint16_t id, const ShapeOutline& outline, const Fill& fill);

// PlaceObject2: a new character at `depth`, or (character 0) a move of the
// one already there.
std::vector<uint8_t> PlaceObject2(uint16_t depth, uint16_t character, const Placement& m);

// DoAction with one getURL (url, target) and the end of the actions.
std::vector<uint8_t> DoGetUrl(const std::string& url, const std::string& target);

// A whole file from its tags (without the end tag, which is added).
// Throws std::runtime_error when zlib fails.
std::vector<uint8_t> MovieFile(uint8_t version, int32_t widthTwips, int32_t heightTwips,
                               double frameRate, uint16_t frameCount,
                               const std::vector<std::vector<uint8_t>>& tags, bool compress);

} // namespace zembra::swfgen
