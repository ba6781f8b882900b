#include "chars/uShape.h"

#include <algorithm>
#include <cmath>

namespace zembra::chars {

namespace {

// Bounds that keep hostile shapes from exhausting memory.
constexpr size_t kMaxOpsPerShape = 1u << 18;
constexpr size_t kMaxStylesPerShape = 1u << 16;

raster::Rgba ReadColor(swf::Reader& r, int shapeVersion) {
    return shapeVersion >= 3 ? r.ReadRgba() : r.ReadRgb();
}

void ReadGradient(swf::Reader& r, int shapeVersion, raster::Paint& paint, bool focal) {
    const unsigned spread = r.UB(2);
    const unsigned interp = r.UB(2);
    const unsigned count = r.UB(4);
    paint.spread = spread == 1   ? raster::SpreadMode::Reflect
                   : spread == 2 ? raster::SpreadMode::Repeat
                                 : raster::SpreadMode::Pad;
    paint.interpolation =
        interp == 1 ? raster::Interpolation::LinearRgb : raster::Interpolation::Rgb;
    paint.stops.clear();
    for (unsigned i = 0; i < count; ++i) {
        raster::GradientStop stop;
        stop.ratio = r.U8();
        stop.color = ReadColor(r, shapeVersion);
        paint.stops.push_back(stop);
    }
    if (focal)
        paint.focalPoint = r.Fixed8();
    NormalizeStops(paint.stops, paint.interpolation == raster::Interpolation::LinearRgb);
}

size_t ReadCount(swf::Reader& r, int shapeVersion) {
    size_t n = r.U8();
    if (n == 0xff && shapeVersion >= 2)
        n = r.U16();
    return n;
}

raster::CapStyle Cap(unsigned v) {
    return v == 1 ? raster::CapStyle::None
                  : (v == 2 ? raster::CapStyle::Square : raster::CapStyle::Round);
}

void ReadStyleTable(swf::Reader& r, int shapeVersion, StyleTable& table, size_t& budget) {
    size_t fills = ReadCount(r, shapeVersion);
    for (size_t i = 0; i < fills && !r.Overrun() && budget > 0; ++i, --budget) {
        FillStyleDef f;
        ReadFillStyle(r, shapeVersion, f);
        table.fills.push_back(std::move(f));
    }
    size_t lines = ReadCount(r, shapeVersion);
    for (size_t i = 0; i < lines && !r.Overrun() && budget > 0; ++i, --budget) {
        LineStyleDef l;
        l.style.width = r.U16();
        if (shapeVersion >= 4) {
            l.style.startCap = Cap(r.UB(2));
            const unsigned join = r.UB(2);
            l.hasFill = r.UB(1);
            l.style.scaleHorizontally = !r.UB(1);
            l.style.scaleVertically = !r.UB(1);
            l.style.pixelHinting = r.UB(1);
            r.UB(5);
            r.UB(1); // no-close: closing is decided by the outline itself
            l.style.endCap = Cap(r.UB(2));
            l.style.join = join == 1   ? raster::JoinStyle::Bevel
                           : join == 2 ? raster::JoinStyle::Miter
                                       : raster::JoinStyle::Round;
            if (join == 2)
                l.style.miterLimit = r.Fixed8();
            if (l.hasFill) {
                ReadFillStyle(r, shapeVersion, l.fill);
            } else {
                l.style.paint.color = r.ReadRgba();
            }
        } else {
            l.style.paint.color = ReadColor(r, shapeVersion);
        }
        table.lines.push_back(std::move(l));
    }
}

raster::Segment Reversed(const raster::Segment& s) {
    raster::Segment out = s;
    out.from = s.to;
    out.to = s.from;
    return out;
}

raster::Paint ResolvePaint(const FillStyleDef& def, const BitmapLookup& bitmaps, bool& ok) {
    raster::Paint p = def.paint;
    ok = true;
    if (def.isBitmap) {
        p.bitmap = bitmaps ? bitmaps(def.bitmapId) : nullptr;
        if (!p.bitmap)
            ok = false;
    }
    return p;
}

} // namespace

namespace {

double ToLinear(double c) {
    c /= 255;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double FromLinear(double c) {
    c = c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
    return std::min(255.0, std::max(0.0, c * 255));
}

} // namespace

void NormalizeStops(std::vector<raster::GradientStop>& stops, bool linear) {
    bool increasing = true;
    for (size_t i = 1; i < stops.size(); ++i)
        increasing = increasing && stops[i].ratio > stops[i - 1].ratio;
    if (increasing || stops.size() < 2)
        return;
    // Stored gradients fill a 256-entry table stop by stop: each pair of
    // stops takes at least the next entry, so repeated ratios give one-entry
    // bands and a stop below its predecessor continues rather than folds
    // back. The table becomes one stop per entry.
    struct C {
        double v[4];
    };
    auto get = [&](const raster::Rgba& c) {
        C out{{double(c.r), double(c.g), double(c.b), double(c.a)}};
        if (linear)
            for (int k = 0; k < 3; ++k)
                out.v[k] = ToLinear(out.v[k]);
        return out;
    };
    auto put = [&](const C& c) {
        raster::Rgba out;
        double v[4] = {c.v[0], c.v[1], c.v[2], c.v[3]};
        if (linear)
            for (int k = 0; k < 3; ++k)
                v[k] = FromLinear(v[k]);
        out.r = static_cast<uint8_t>(std::lround(std::min(255.0, std::max(0.0, v[0]))));
        out.g = static_cast<uint8_t>(std::lround(std::min(255.0, std::max(0.0, v[1]))));
        out.b = static_cast<uint8_t>(std::lround(std::min(255.0, std::max(0.0, v[2]))));
        out.a = static_cast<uint8_t>(std::lround(std::min(255.0, std::max(0.0, v[3]))));
        return out;
    };
    std::vector<raster::Rgba> table(256);
    int cursor = 0;
    const int first = static_cast<int>(std::min(255.0, std::max(0.0, stops[0].ratio)));
    for (; cursor < first; ++cursor)
        table[static_cast<size_t>(cursor)] = stops[0].color;
    for (size_t i = 1; i < stops.size() && cursor < 256; ++i) {
        const double r0 = stops[i - 1].ratio, r1 = stops[i].ratio;
        const int end = static_cast<int>(std::min(256.0, r1));
        if (!(r1 > r0) || end <= cursor) {
            table[static_cast<size_t>(cursor++)] = stops[i - 1].color;
            continue;
        }
        const C a = get(stops[i - 1].color), b = get(stops[i].color);
        for (; cursor < end; ++cursor) {
            const double t = std::min(1.0, std::max(0.0, (cursor + 1 - r0) / (r1 - r0)));
            C m;
            for (int k = 0; k < 4; ++k)
                m.v[k] = a.v[k] + (b.v[k] - a.v[k]) * t;
            table[static_cast<size_t>(cursor)] = put(m);
        }
    }
    for (; cursor < 256; ++cursor)
        table[static_cast<size_t>(cursor)] = stops.back().color;
    stops.clear();
    for (int k = 0; k < 256; ++k)
        stops.push_back(raster::GradientStop{double(k), table[static_cast<size_t>(k)]});
}

void ReadFillStyle(swf::Reader& r, int shapeVersion, FillStyleDef& out) {
    const uint8_t type = r.U8();
    raster::Paint& p = out.paint;
    switch (type) {
    case 0x00:
        p.kind = raster::Paint::Kind::Solid;
        p.color = ReadColor(r, shapeVersion);
        break;
    case 0x10:
    case 0x12:
    case 0x13:
        p.kind = type == 0x10   ? raster::Paint::Kind::Linear
                 : type == 0x12 ? raster::Paint::Kind::Radial
                                : raster::Paint::Kind::Focal;
        p.matrix = r.ReadMatrix();
        ReadGradient(r, shapeVersion, p, type == 0x13);
        break;
    case 0x40:
    case 0x41:
    case 0x42:
    case 0x43:
        p.kind = raster::Paint::Kind::Bitmap;
        out.isBitmap = true;
        out.bitmapId = r.U16();
        p.matrix = r.ReadMatrix();
        p.repeat = type == 0x40 || type == 0x42;
        p.smooth = type == 0x40 || type == 0x41;
        break;
    default:
        // Unknown kinds draw nothing visible.
        p.kind = raster::Paint::Kind::Solid;
        p.color = raster::Rgba{0, 0, 0, 0};
        break;
    }
}

void ReadShapeRecords(swf::Reader& r, int shapeVersion, ShapeRecords& out, unsigned fillBits,
                      unsigned lineBits) {
    if (out.tables.empty())
        out.tables.emplace_back();
    size_t styleBudget = kMaxStylesPerShape;
    for (const StyleTable& t : out.tables)
        styleBudget -= std::min(styleBudget, t.fills.size() + t.lines.size());
    double x = 0, y = 0;
    while (!r.Overrun() && out.ops.size() < kMaxOpsPerShape) {
        const bool isEdge = r.UB(1);
        if (!isEdge) {
            const unsigned flags = r.UB(5);
            if (flags == 0)
                break;
            const bool newStyles = flags & 0x10;
            const bool hasLine = flags & 0x08;
            const bool hasFill1 = flags & 0x04;
            const bool hasFill0 = flags & 0x02;
            const bool hasMove = flags & 0x01;
            if (hasMove) {
                const unsigned n = r.UB(5);
                x = r.SB(n);
                y = r.SB(n);
            }
            ShapeOp style;
            style.kind = ShapeOp::Kind::Style;
            if (hasFill0)
                style.fill0 = static_cast<int32_t>(r.UB(fillBits));
            if (hasFill1)
                style.fill1 = static_cast<int32_t>(r.UB(fillBits));
            if (hasLine)
                style.line = static_cast<int32_t>(r.UB(lineBits));
            if (newStyles && shapeVersion >= 2) {
                StyleTable table;
                ReadStyleTable(r, shapeVersion, table, styleBudget);
                out.tables.push_back(std::move(table));
                style.table = static_cast<int32_t>(out.tables.size() - 1);
                fillBits = r.UB(4);
                lineBits = r.UB(4);
            }
            if (hasFill0 || hasFill1 || hasLine || style.table >= 0)
                out.ops.push_back(style);
            if (hasMove) {
                ShapeOp move;
                move.kind = ShapeOp::Kind::Move;
                move.to = {x, y};
                out.ops.push_back(move);
            }
            continue;
        }
        const bool straight = r.UB(1);
        const unsigned n = r.UB(4) + 2;
        ShapeOp edge;
        if (straight) {
            double dx = 0, dy = 0;
            if (r.UB(1)) {
                dx = r.SB(n);
                dy = r.SB(n);
            } else if (r.UB(1)) {
                dy = r.SB(n);
            } else {
                dx = r.SB(n);
            }
            edge.kind = ShapeOp::Kind::Line;
            x += dx;
            y += dy;
            edge.to = {x, y};
        } else {
            const double cx = x + r.SB(n);
            const double cy = y + r.SB(n);
            x = cx + r.SB(n);
            y = cy + r.SB(n);
            edge.kind = ShapeOp::Kind::Curve;
            edge.control = {cx, cy};
            edge.to = {x, y};
        }
        if (r.Overrun())
            break;
        out.ops.push_back(edge);
    }
}

void ReadShapeWithStyle(swf::Reader& r, int shapeVersion, ShapeRecords& out) {
    out.tables.clear();
    out.ops.clear();
    StyleTable first;
    size_t budget = kMaxStylesPerShape;
    ReadStyleTable(r, shapeVersion, first, budget);
    out.tables.push_back(std::move(first));
    const unsigned fillBits = r.UB(4);
    const unsigned lineBits = r.UB(4);
    ReadShapeRecords(r, shapeVersion, out, fillBits, lineBits);
}

ShapeGeometry BuildGeometry(const ShapeRecords& records, const BitmapLookup& bitmaps) {
    ShapeGeometry g;
    if (records.tables.empty())
        return g;
    // Per style group: fill and line paths indexed like the group's table.
    struct Group {
        const StyleTable* table;
        std::vector<std::vector<raster::Segment>> fills, lines;
    };
    std::vector<Group> groups;
    auto startGroup = [&](size_t tableIndex) {
        Group grp;
        grp.table = &records.tables[tableIndex];
        grp.fills.resize(grp.table->fills.size());
        grp.lines.resize(grp.table->lines.size());
        groups.push_back(std::move(grp));
    };
    startGroup(0);
    int fill0 = 0, fill1 = 0, line = 0;
    raster::Point pen;
    for (const ShapeOp& op : records.ops) {
        switch (op.kind) {
        case ShapeOp::Kind::Style:
            if (op.table >= 0 && static_cast<size_t>(op.table) < records.tables.size()) {
                startGroup(static_cast<size_t>(op.table));
                fill0 = fill1 = line = 0;
            }
            if (op.fill0 >= 0)
                fill0 = op.fill0;
            if (op.fill1 >= 0)
                fill1 = op.fill1;
            if (op.line >= 0)
                line = op.line;
            break;
        case ShapeOp::Kind::Move:
            pen = op.to;
            break;
        case ShapeOp::Kind::Line:
        case ShapeOp::Kind::Curve: {
            raster::Segment s;
            s.from = pen;
            s.to = op.to;
            s.curved = op.kind == ShapeOp::Kind::Curve;
            s.control = s.curved ? op.control : op.to;
            pen = op.to;
            Group& grp = groups.back();
            if (fill0 > 0 && static_cast<size_t>(fill0) <= grp.fills.size())
                grp.fills[fill0 - 1].push_back(Reversed(s));
            if (fill1 > 0 && static_cast<size_t>(fill1) <= grp.fills.size())
                grp.fills[fill1 - 1].push_back(s);
            if (line > 0 && static_cast<size_t>(line) <= grp.lines.size())
                grp.lines[line - 1].push_back(s);
            break;
        }
        }
    }
    for (Group& grp : groups) {
        ShapeLayer layer;
        for (size_t i = 0; i < grp.fills.size(); ++i) {
            if (grp.fills[i].empty())
                continue;
            bool ok = false;
            FillPath fp;
            fp.paint = ResolvePaint(grp.table->fills[i], bitmaps, ok);
            if (!ok)
                continue;
            fp.segments = std::move(grp.fills[i]);
            layer.fills.push_back(std::move(fp));
        }
        for (size_t i = 0; i < grp.lines.size(); ++i) {
            if (grp.lines[i].empty())
                continue;
            const LineStyleDef& def = grp.table->lines[i];
            StrokePath sp;
            sp.style = def.style;
            if (def.hasFill) {
                bool ok = false;
                sp.style.paint = ResolvePaint(def.fill, bitmaps, ok);
                if (!ok)
                    continue;
            }
            sp.segments = std::move(grp.lines[i]);
            layer.strokes.push_back(std::move(sp));
        }
        if (!layer.fills.empty() || !layer.strokes.empty())
            g.layers.push_back(std::move(layer));
    }
    return g;
}

std::vector<raster::Segment> BuildOutline(const ShapeRecords& records) {
    std::vector<raster::Segment> out;
    int fill0 = 0, fill1 = 0;
    raster::Point pen;
    for (const ShapeOp& op : records.ops) {
        if (op.kind == ShapeOp::Kind::Style) {
            if (op.table >= 0)
                fill0 = fill1 = 0;
            if (op.fill0 >= 0)
                fill0 = op.fill0;
            if (op.fill1 >= 0)
                fill1 = op.fill1;
            continue;
        }
        if (op.kind == ShapeOp::Kind::Move) {
            pen = op.to;
            continue;
        }
        raster::Segment s;
        s.from = pen;
        s.to = op.to;
        s.curved = op.kind == ShapeOp::Kind::Curve;
        s.control = s.curved ? op.control : op.to;
        pen = op.to;
        if (fill1 > 0 && fill0 == 0)
            out.push_back(s);
        else if (fill0 > 0 && fill1 == 0)
            out.push_back(Reversed(s));
    }
    return out;
}

namespace {

// Signed crossings of a horizontal ray to the right of p with a segment
// (curves flattened).
int Winding(const raster::Segment& s, raster::Point p) {
    auto line = [&](raster::Point a, raster::Point b) {
        if ((a.y <= p.y) == (b.y <= p.y))
            return 0;
        const double t = (p.y - a.y) / (b.y - a.y);
        const double x = a.x + t * (b.x - a.x);
        if (x <= p.x)
            return 0;
        return b.y > a.y ? 1 : -1;
    };
    if (!s.curved)
        return line(s.from, s.to);
    int w = 0;
    raster::Point prev = s.from;
    const int steps = 8;
    for (int i = 1; i <= steps; ++i) {
        const double t = double(i) / steps, u = 1 - t;
        raster::Point q{u * u * s.from.x + 2 * u * t * s.control.x + t * t * s.to.x,
                        u * u * s.from.y + 2 * u * t * s.control.y + t * t * s.to.y};
        w += line(prev, q);
        prev = q;
    }
    return w;
}

double DistanceToSegment(raster::Point p, raster::Point a, raster::Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
    return std::sqrt(ex * ex + ey * ey);
}

} // namespace

bool ShapeGeometry::HitTest(raster::Point p) const {
    if (p.x < bounds.xMin || p.x > bounds.xMax || p.y < bounds.yMin || p.y > bounds.yMax)
        return false;
    for (const ShapeLayer& layer : layers) {
        for (const FillPath& f : layer.fills) {
            int w = 0;
            for (const raster::Segment& s : f.segments)
                w += Winding(s, p);
            if (rule == raster::FillRule::EvenOdd ? (w & 1) != 0 : w != 0)
                return true;
        }
        for (const StrokePath& sp : layer.strokes) {
            const double half = std::max(sp.style.width, 20.0) / 2;
            for (const raster::Segment& s : sp.segments)
                if (DistanceToSegment(p, s.from, s.to) <= half)
                    return true;
        }
    }
    return false;
}

} // namespace zembra::chars
