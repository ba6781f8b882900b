// What a clip's drawing commands (moveTo, lineTo, beginFill...) have drawn:
// kept as shape records and turned into the same geometry the renderer
// draws for shapes from the file, so fills follow the same rules.
#pragma once

#include <cstddef>

#include "chars/uShape.h"

namespace zembra::timeline {

class Drawing {
  public:
    // Commands past this many are ignored: a script cannot grow a drawing
    // without end.
    static constexpr size_t kMaxOps = 1u << 20;

    void Clear();
    // Coordinates in the clip's twips.
    void MoveTo(raster::Point p);
    void LineTo(raster::Point p);
    void CurveTo(raster::Point control, raster::Point p);
    // A new fill from the pen; an open one is closed first.
    void BeginFill(const raster::Paint& paint);
    void EndFill();
    // Null: no line from here on.
    void LineStyle(const raster::StrokeStyle* style);
    // The current line is painted with `paint` from here on.
    void LineFill(const raster::Paint& paint);

    bool Empty() const { return records_.ops.empty(); }
    const chars::ShapeGeometry& Geometry() const;
    // Bounds in twips, strokes included; empty when nothing was drawn.
    swf::Rect Bounds() const;

  private:
    void NewTable();
    // The current line style joins the current group (fills stay whole).
    void AddLineStyle();
    void CloseFill();
    void Edge(chars::ShapeOp::Kind kind, raster::Point control, raster::Point to);

    chars::ShapeRecords records_;
    bool fillOpen_ = false;
    bool haveLine_ = false;
    int32_t lineIndex_ = 0; // the current line's index in the group's table
    raster::Paint fill_;
    raster::StrokeStyle line_;
    raster::Point pen_;
    raster::Point subpathStart_;
    mutable bool dirty_ = true;
    mutable chars::ShapeGeometry geometry_;
};

} // namespace zembra::timeline
