// Shapes as the renderer draws them: for every style group of a shape, one
// segment list per fill style and per line style, in twips. Built once per
// character (and per morph ratio), never per frame.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "raster/uRasterTypes.h"
#include "swf/uSwfReader.h"

namespace zembra::chars {

struct FillPath {
    raster::Paint paint;
    std::vector<raster::Segment> segments;
};

struct StrokePath {
    raster::StrokeStyle style;
    std::vector<raster::Segment> segments;
};

// One style group: what a shape draws before its next new-styles record.
// Fills go first, then strokes.
struct ShapeLayer {
    std::vector<FillPath> fills;
    std::vector<StrokePath> strokes;
};

struct ShapeGeometry {
    swf::Rect bounds;
    raster::FillRule rule = raster::FillRule::EvenOdd;
    std::vector<ShapeLayer> layers;

    // Whether a point (twips) lies inside one of the fills or near a stroke.
    bool HitTest(raster::Point p) const;
};

// A fill style as stored, before the bitmap it names is looked up.
struct FillStyleDef {
    raster::Paint paint; // bitmap not yet set for bitmap fills
    uint16_t bitmapId = 0;
    bool isBitmap = false;
};

struct LineStyleDef {
    raster::StrokeStyle style;
    bool hasFill = false;
    FillStyleDef fill;
};

struct StyleTable {
    std::vector<FillStyleDef> fills;
    std::vector<LineStyleDef> lines;
};

// A shape record with absolute coordinates.
struct ShapeOp {
    enum class Kind : uint8_t { Style, Move, Line, Curve };
    Kind kind = Kind::Line;
    // Style: -1 keeps the current value.
    int32_t fill0 = -1, fill1 = -1, line = -1;
    int32_t table = -1; // Style: a new style table starts (index)
    raster::Point control, to;
};

struct ShapeRecords {
    std::vector<StyleTable> tables; // tables[0] is the shape's first
    std::vector<ShapeOp> ops;
};

// Looks up a bitmap character for bitmap fills; null when there is none.
using BitmapLookup = std::function<std::shared_ptr<const raster::Bitmap>(uint16_t)>;

// Reads the styles and records of a DefineShape tag body positioned after
// the bounds (shapeVersion 1..4). Damaged data yields what was read.
void ReadShapeWithStyle(swf::Reader& r, int shapeVersion, ShapeRecords& out);
// Records only (glyphs, morph end shapes): fill and line bit counts, then
// the records. The first table is empty.
void ReadShapeRecords(swf::Reader& r, int shapeVersion, ShapeRecords& out, unsigned fillBits,
                      unsigned lineBits);

void ReadFillStyle(swf::Reader& r, int shapeVersion, FillStyleDef& out);

// Stops whose ratios do not increase are turned into the gradient they
// stand for (one stop per ratio); increasing stops stay as they are.
void NormalizeStops(std::vector<raster::GradientStop>& stops, bool linear);

ShapeGeometry BuildGeometry(const ShapeRecords& records, const BitmapLookup& bitmaps);

// The outline of a glyph (or any shape drawn with one fill): every edge
// that has a fill on either side, oriented so that non-zero filling works.
std::vector<raster::Segment> BuildOutline(const ShapeRecords& records);

} // namespace zembra::chars
