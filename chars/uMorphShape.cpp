#include "chars/uMorphShape.h"

#include <cmath>

namespace zembra::chars {

namespace {

constexpr size_t kMaxMorphStyles = 1u << 14;

double Lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

raster::Rgba LerpColor(raster::Rgba a, raster::Rgba b, double t) {
    auto c = [t](uint8_t x, uint8_t y) { return static_cast<uint8_t>(std::lround(Lerp(x, y, t))); };
    return {c(a.r, b.r), c(a.g, b.g), c(a.b, b.b), c(a.a, b.a)};
}

raster::Matrix LerpMatrix(const raster::Matrix& a, const raster::Matrix& b, double t) {
    return {Lerp(a.a, b.a, t), Lerp(a.b, b.b, t),   Lerp(a.c, b.c, t),
            Lerp(a.d, b.d, t), Lerp(a.tx, b.tx, t), Lerp(a.ty, b.ty, t)};
}

void ReadMorphFill(swf::Reader& r, FillStyleDef& s, FillStyleDef& e) {
    const uint8_t type = r.U8();
    switch (type) {
    case 0x00:
        s.paint.kind = e.paint.kind = raster::Paint::Kind::Solid;
        s.paint.color = r.ReadRgba();
        e.paint.color = r.ReadRgba();
        break;
    case 0x10:
    case 0x12:
    case 0x13: {
        const auto kind = type == 0x10   ? raster::Paint::Kind::Linear
                          : type == 0x12 ? raster::Paint::Kind::Radial
                                         : raster::Paint::Kind::Focal;
        s.paint.kind = e.paint.kind = kind;
        s.paint.matrix = r.ReadMatrix();
        e.paint.matrix = r.ReadMatrix();
        const unsigned spread = r.UB(2);
        const unsigned interp = r.UB(2);
        const unsigned count = r.UB(4);
        const auto sp = spread == 1   ? raster::SpreadMode::Reflect
                        : spread == 2 ? raster::SpreadMode::Repeat
                                      : raster::SpreadMode::Pad;
        s.paint.spread = e.paint.spread = sp;
        s.paint.interpolation = e.paint.interpolation =
            interp == 1 ? raster::Interpolation::LinearRgb : raster::Interpolation::Rgb;
        for (unsigned i = 0; i < count; ++i) {
            raster::GradientStop a, b;
            a.ratio = r.U8();
            a.color = r.ReadRgba();
            b.ratio = r.U8();
            b.color = r.ReadRgba();
            s.paint.stops.push_back(a);
            e.paint.stops.push_back(b);
        }
        if (type == 0x13) {
            s.paint.focalPoint = r.Fixed8();
            e.paint.focalPoint = r.Fixed8();
        }
        break;
    }
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        s.paint.kind = e.paint.kind = raster::Paint::Kind::Bitmap;
        s.isBitmap = e.isBitmap = true;
        s.bitmapId = e.bitmapId = r.U16();
        s.paint.matrix = r.ReadMatrix();
        e.paint.matrix = r.ReadMatrix();
        s.paint.repeat = e.paint.repeat = type == 0x40 || type == 0x42;
        s.paint.smooth = e.paint.smooth = type == 0x40 || type == 0x41;
        break;
    default:
        s.paint.color = e.paint.color = raster::Rgba{0, 0, 0, 0};
        break;
    }
}

raster::CapStyle Cap(unsigned v) {
    return v == 1 ? raster::CapStyle::None
                  : (v == 2 ? raster::CapStyle::Square : raster::CapStyle::Round);
}

FillStyleDef LerpFill(const FillStyleDef& a, const FillStyleDef& b, double t) {
    FillStyleDef out = a;
    out.paint.color = LerpColor(a.paint.color, b.paint.color, t);
    out.paint.matrix = LerpMatrix(a.paint.matrix, b.paint.matrix, t);
    out.paint.focalPoint = Lerp(a.paint.focalPoint, b.paint.focalPoint, t);
    for (size_t i = 0; i < out.paint.stops.size() && i < b.paint.stops.size(); ++i) {
        out.paint.stops[i].ratio = Lerp(a.paint.stops[i].ratio, b.paint.stops[i].ratio, t);
        out.paint.stops[i].color = LerpColor(a.paint.stops[i].color, b.paint.stops[i].color, t);
    }
    NormalizeStops(out.paint.stops, out.paint.interpolation == raster::Interpolation::LinearRgb);
    return out;
}

} // namespace

void MorphShape::Read(swf::Reader& r, int morphVersion) {
    startBounds_ = r.ReadRect();
    endBounds_ = r.ReadRect();
    if (morphVersion >= 2) {
        r.ReadRect();
        r.ReadRect();
        r.U8();
    }
    const uint32_t offset = r.U32();
    const size_t afterOffset = r.Pos();
    StyleTable startStyles;
    endStyles_ = StyleTable();
    size_t fills = r.U8();
    if (fills == 0xff)
        fills = r.U16();
    for (size_t i = 0; i < fills && i < kMaxMorphStyles && !r.Overrun(); ++i) {
        FillStyleDef s, e;
        ReadMorphFill(r, s, e);
        startStyles.fills.push_back(std::move(s));
        endStyles_.fills.push_back(std::move(e));
    }
    size_t lines = r.U8();
    if (lines == 0xff)
        lines = r.U16();
    for (size_t i = 0; i < lines && i < kMaxMorphStyles && !r.Overrun(); ++i) {
        LineStyleDef s, e;
        s.style.width = r.U16();
        e.style.width = r.U16();
        if (morphVersion >= 2) {
            s.style.startCap = Cap(r.UB(2));
            const unsigned join = r.UB(2);
            s.hasFill = r.UB(1);
            s.style.scaleHorizontally = !r.UB(1);
            s.style.scaleVertically = !r.UB(1);
            s.style.pixelHinting = r.UB(1);
            r.UB(6);
            s.style.endCap = Cap(r.UB(2));
            s.style.join = join == 1   ? raster::JoinStyle::Bevel
                           : join == 2 ? raster::JoinStyle::Miter
                                       : raster::JoinStyle::Round;
            if (join == 2)
                s.style.miterLimit = r.Fixed8();
            if (s.hasFill) {
                ReadMorphFill(r, s.fill, e.fill);
            } else {
                s.style.paint.color = r.ReadRgba();
                e.style.paint.color = r.ReadRgba();
            }
        } else {
            s.style.paint.color = r.ReadRgba();
            e.style.paint.color = r.ReadRgba();
        }
        const double ew = e.style.width;
        const raster::Rgba ec = e.style.paint.color;
        const FillStyleDef ef = e.fill;
        e = s;
        e.style.width = ew;
        e.style.paint.color = ec;
        e.fill = ef;
        startStyles.lines.push_back(std::move(s));
        endStyles_.lines.push_back(std::move(e));
    }
    start_ = ShapeRecords();
    start_.tables.push_back(std::move(startStyles));
    {
        const unsigned fillBits = r.UB(4);
        const unsigned lineBits = r.UB(4);
        ReadShapeRecords(r, 3, start_, fillBits, lineBits);
    }
    end_ = ShapeRecords();
    const size_t endStart = afterOffset + offset;
    if (endStart >= afterOffset && endStart < r.Size()) {
        swf::Reader er(r.Here() - r.Pos() + endStart, r.Size() - endStart);
        const unsigned fillBits = er.UB(4);
        const unsigned lineBits = er.UB(4);
        ReadShapeRecords(er, 3, end_, fillBits, lineBits);
    }
    cachedRatio_ = -1;
}

ShapeRecords MorphShape::Interpolate(double t) const {
    ShapeRecords out;
    StyleTable table;
    const StyleTable& st = start_.tables.empty() ? table : start_.tables[0];
    for (size_t i = 0; i < st.fills.size(); ++i)
        table.fills.push_back(i < endStyles_.fills.size()
                                  ? LerpFill(st.fills[i], endStyles_.fills[i], t)
                                  : st.fills[i]);
    for (size_t i = 0; i < st.lines.size(); ++i) {
        LineStyleDef l = st.lines[i];
        if (i < endStyles_.lines.size()) {
            const LineStyleDef& e = endStyles_.lines[i];
            l.style.width = Lerp(l.style.width, e.style.width, t);
            l.style.paint.color = LerpColor(l.style.paint.color, e.style.paint.color, t);
            if (l.hasFill)
                l.fill = LerpFill(l.fill, e.fill, t);
        }
        table.lines.push_back(std::move(l));
    }
    out.tables.push_back(std::move(table));

    // Pair the edges in order; the end shape only moves and draws.
    size_t ei = 0;
    raster::Point endPen;
    auto nextEndEdge = [&](ShapeOp& edge) {
        while (ei < end_.ops.size()) {
            const ShapeOp& op = end_.ops[ei++];
            if (op.kind == ShapeOp::Kind::Move)
                endPen = op.to;
            else if (op.kind != ShapeOp::Kind::Style) {
                edge = op;
                return true;
            }
        }
        return false;
    };
    raster::Point startPen;
    for (const ShapeOp& op : start_.ops) {
        if (op.kind == ShapeOp::Kind::Style) {
            ShapeOp copy = op;
            copy.table = -1;
            out.ops.push_back(copy);
            continue;
        }
        if (op.kind == ShapeOp::Kind::Move) {
            // A move in the start pairs with the end's next move, if any.
            if (ei < end_.ops.size() && end_.ops[ei].kind == ShapeOp::Kind::Move)
                endPen = end_.ops[ei++].to;
            else if (ei < end_.ops.size() && end_.ops[ei].kind == ShapeOp::Kind::Style &&
                     ei + 1 < end_.ops.size() && end_.ops[ei + 1].kind == ShapeOp::Kind::Move) {
                endPen = end_.ops[ei + 1].to;
                ei += 2;
            }
            ShapeOp m = op;
            m.to = {Lerp(op.to.x, endPen.x, t), Lerp(op.to.y, endPen.y, t)};
            startPen = op.to;
            out.ops.push_back(m);
            continue;
        }
        const raster::Point endFrom = endPen;
        ShapeOp e;
        if (!nextEndEdge(e)) {
            e = op;
            e.to = endPen;
            e.control = endPen;
        }
        // A line against a curve becomes a curve with its control point
        // half-way.
        raster::Point sc =
            op.kind == ShapeOp::Kind::Curve
                ? op.control
                : raster::Point{(startPen.x + op.to.x) / 2, (startPen.y + op.to.y) / 2};
        raster::Point ec = e.kind == ShapeOp::Kind::Curve
                               ? e.control
                               : raster::Point{(endFrom.x + e.to.x) / 2, (endFrom.y + e.to.y) / 2};
        ShapeOp mixed;
        mixed.kind = (op.kind == ShapeOp::Kind::Curve || e.kind == ShapeOp::Kind::Curve)
                         ? ShapeOp::Kind::Curve
                         : ShapeOp::Kind::Line;
        mixed.control = {Lerp(sc.x, ec.x, t), Lerp(sc.y, ec.y, t)};
        mixed.to = {Lerp(op.to.x, e.to.x, t), Lerp(op.to.y, e.to.y, t)};
        startPen = op.to;
        endPen = e.to;
        out.ops.push_back(mixed);
    }
    return out;
}

const ShapeGeometry& MorphShape::At(uint16_t ratio, const BitmapLookup& bitmaps) {
    if (cachedRatio_ != ratio) {
        const double t = ratio / 65535.0;
        cached_ = BuildGeometry(Interpolate(t), bitmaps);
        cached_.bounds.xMin = static_cast<int32_t>(Lerp(startBounds_.xMin, endBounds_.xMin, t));
        cached_.bounds.xMax = static_cast<int32_t>(Lerp(startBounds_.xMax, endBounds_.xMax, t));
        cached_.bounds.yMin = static_cast<int32_t>(Lerp(startBounds_.yMin, endBounds_.yMin, t));
        cached_.bounds.yMax = static_cast<int32_t>(Lerp(startBounds_.yMax, endBounds_.yMax, t));
        cachedRatio_ = ratio;
    }
    return cached_;
}

} // namespace zembra::chars
