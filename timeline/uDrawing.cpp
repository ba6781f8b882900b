#include "timeline/uDrawing.h"

#include <algorithm>
#include <cmath>

namespace zembra::timeline {

using chars::ShapeOp;

void Drawing::Clear() {
    records_ = chars::ShapeRecords();
    fillOpen_ = false;
    haveLine_ = false;
    lineIndex_ = 0;
    pen_ = subpathStart_ = raster::Point();
    dirty_ = true;
}

void Drawing::NewTable() {
    // Each change of style starts a style group of its own, so what is
    // drawn later lies on top.
    if (records_.ops.size() >= kMaxOps)
        return;
    chars::StyleTable table;
    if (fillOpen_) {
        chars::FillStyleDef fill;
        fill.paint = fill_;
        table.fills.push_back(fill);
    }
    if (haveLine_) {
        chars::LineStyleDef line;
        line.style = line_;
        table.lines.push_back(line);
    }
    if (records_.tables.empty())
        records_.tables.emplace_back(); // the shape's own, empty first table
    records_.tables.push_back(std::move(table));
    ShapeOp op;
    op.kind = ShapeOp::Kind::Style;
    op.table = static_cast<int32_t>(records_.tables.size() - 1);
    op.fill1 = fillOpen_ ? 1 : 0;
    op.line = lineIndex_ = haveLine_ ? 1 : 0;
    records_.ops.push_back(op);
    ShapeOp move;
    move.kind = ShapeOp::Kind::Move;
    move.to = pen_;
    records_.ops.push_back(move);
    dirty_ = true;
}

void Drawing::Edge(ShapeOp::Kind kind, raster::Point control, raster::Point to) {
    if (records_.ops.size() >= kMaxOps)
        return;
    if (records_.tables.empty())
        NewTable();
    ShapeOp op;
    op.kind = kind;
    op.control = control;
    op.to = to;
    records_.ops.push_back(op);
    pen_ = to;
    dirty_ = true;
}

void Drawing::CloseFill() {
    if (!fillOpen_ || (pen_.x == subpathStart_.x && pen_.y == subpathStart_.y))
        return;
    // Closed with a line in the current line style, as an explicit one.
    Edge(ShapeOp::Kind::Line, subpathStart_, subpathStart_);
}

void Drawing::MoveTo(raster::Point p) {
    CloseFill();
    if (records_.ops.size() >= kMaxOps)
        return;
    ShapeOp op;
    op.kind = ShapeOp::Kind::Move;
    op.to = p;
    if (records_.tables.empty())
        NewTable();
    records_.ops.push_back(op);
    pen_ = subpathStart_ = p;
    dirty_ = true;
}

void Drawing::LineTo(raster::Point p) {
    Edge(ShapeOp::Kind::Line, p, p);
}

void Drawing::CurveTo(raster::Point control, raster::Point p) {
    Edge(ShapeOp::Kind::Curve, control, p);
}

void Drawing::BeginFill(const raster::Paint& paint) {
    CloseFill();
    fillOpen_ = true;
    fill_ = paint;
    subpathStart_ = pen_;
    NewTable();
}

void Drawing::EndFill() {
    CloseFill();
    if (!fillOpen_)
        return;
    fillOpen_ = false;
    NewTable();
}

void Drawing::AddLineStyle() {
    if (records_.tables.empty()) {
        NewTable();
        return;
    }
    if (records_.ops.size() >= kMaxOps)
        return;
    int32_t index = 0;
    if (haveLine_) {
        chars::LineStyleDef line;
        line.style = line_;
        records_.tables.back().lines.push_back(line);
        index = static_cast<int32_t>(records_.tables.back().lines.size());
    }
    ShapeOp op;
    op.kind = ShapeOp::Kind::Style;
    op.line = lineIndex_ = index;
    records_.ops.push_back(op);
    dirty_ = true;
}

void Drawing::LineStyle(const raster::StrokeStyle* style) {
    haveLine_ = style != nullptr;
    if (style)
        line_ = *style;
    AddLineStyle();
}

void Drawing::LineFill(const raster::Paint& paint) {
    if (!haveLine_)
        return;
    line_.paint = paint;
    AddLineStyle();
}

const chars::ShapeGeometry& Drawing::Geometry() const {
    if (dirty_) {
        auto noBitmaps = [](uint16_t) { return std::shared_ptr<const raster::Bitmap>(); };
        if (fillOpen_ && (pen_.x != subpathStart_.x || pen_.y != subpathStart_.y)) {
            // A fill left open is drawn closed.
            Drawing closed = *this;
            closed.CloseFill();
            geometry_ = chars::BuildGeometry(closed.records_, noBitmaps);
        } else {
            geometry_ = chars::BuildGeometry(records_, noBitmaps);
        }
        geometry_.bounds = Bounds();
        dirty_ = false;
    }
    return geometry_;
}

swf::Rect Drawing::Bounds() const {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    double pad = 0;
    size_t table = 0;
    raster::Point pen;
    auto take = [&](raster::Point p, double halfWidth) {
        x0 = std::min(x0, p.x - halfWidth);
        y0 = std::min(y0, p.y - halfWidth);
        x1 = std::max(x1, p.x + halfWidth);
        y1 = std::max(y1, p.y + halfWidth);
    };
    for (const ShapeOp& op : records_.ops) {
        if (op.kind == ShapeOp::Kind::Style) {
            if (op.table >= 0)
                table = static_cast<size_t>(op.table);
            const auto& lines = records_.tables[table].lines;
            if (op.line >= 0)
                pad = (op.line > 0 && static_cast<size_t>(op.line) <= lines.size())
                          ? lines[static_cast<size_t>(op.line) - 1].style.width / 2
                          : 0;
            continue;
        }
        if (op.kind == ShapeOp::Kind::Move) {
            pen = op.to;
            continue;
        }
        take(pen, pad);
        if (op.kind == ShapeOp::Kind::Curve)
            take(op.control, pad);
        take(op.to, pad);
        pen = op.to;
    }
    swf::Rect r;
    if (x1 < x0)
        return r;
    auto clampInt = [](double v) {
        return static_cast<int32_t>(std::max(-2e9, std::min(2e9, std::floor(v))));
    };
    r.xMin = clampInt(x0);
    r.yMin = clampInt(y0);
    r.xMax = clampInt(std::ceil(x1));
    r.yMax = clampInt(std::ceil(y1));
    return r;
}

} // namespace zembra::timeline
