#include "raster/uStroker.h"
#include "raster/uPathFlattener.h"

#include <algorithm>
#include <cmath>

namespace zembra::raster {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Points closer than this (pixels) are one point.
constexpr double kSamePoint = 1e-3;
// No stroke gets wider than this many pixels; wider ones cover any frame.
constexpr double kMaxWidth = 1e5;

Point Sub(Point a, Point b) {
    return {a.x - b.x, a.y - b.y};
}
Point Add(Point a, Point b) {
    return {a.x + b.x, a.y + b.y};
}
Point Scale(Point a, double k) {
    return {a.x * k, a.y * k};
}
double Dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y;
}
double Cross(Point a, Point b) {
    return a.x * b.y - a.y * b.x;
}
double Length(Point a) {
    return std::sqrt(a.x * a.x + a.y * a.y);
}
bool Same(Point a, Point b) {
    return std::fabs(a.x - b.x) < kSamePoint && std::fabs(a.y - b.y) < kSamePoint;
}
bool Finite(Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

} // namespace

double Stroker::PixelWidth(const StrokeStyle& style, const Matrix& m) {
    if (!(style.width > 0)) // hairline, also NaN and negative
        return 1.0;
    const double sx = std::sqrt(m.a * m.a + m.b * m.b);
    const double sy = std::sqrt(m.c * m.c + m.d * m.d);
    const double unscaled = style.unscaledPixelsPerUnit > 0 ? style.unscaledPixelsPerUnit : 0.05;
    // Lines that scale both ways grow with the square root of the area the
    // matrix scales by (skews and uneven scales alike); one that scales in
    // one direction only takes that direction's scale whole.
    const double scale = style.scaleHorizontally && style.scaleVertically
                             ? std::sqrt(std::fabs(m.a * m.d - m.b * m.c))
                         : style.scaleHorizontally ? sx
                         : style.scaleVertically   ? sy
                                                   : unscaled;
    double w = style.width * scale;
    if (!(w >= 1.0))
        w = 1.0;
    return std::min(w, kMaxWidth);
}

void Stroker::Stroke(const std::vector<Segment>& segments, const StrokeStyle& style,
                     const Matrix& toPixels, double tolerance, Outline& out) {
    out.Clear();
    half_ = PixelWidth(style, toPixels) * 0.5;
    tolerance_ = tolerance > 0 ? tolerance : 0.1;
    // Hinted lines get a whole number of pixels of width and ends on pixel
    // centres (odd widths) or corners (even), so straight ones come out crisp.
    const bool hint = style.pixelHinting;
    const bool oddWidth = static_cast<long long>(std::round(2 * half_)) % 2 == 1;
    if (hint)
        half_ = std::max(1.0, std::round(2 * half_)) * 0.5;
    auto snap = [&](Point p) {
        if (!hint)
            return p;
        if (oddWidth)
            return Point{std::floor(p.x) + 0.5, std::floor(p.y) + 0.5};
        return Point{std::round(p.x), std::round(p.y)};
    };
    line_.clear();
    bool started = false;
    auto finish = [&]() {
        if (!started)
            return;
        // Out and back along one piece is no loop: it is capped at its ends.
        const bool closed = line_.size() > 3 && Same(line_.front(), line_.back());
        if (closed)
            line_.pop_back();
        if (line_.size() == 1)
            StrokePoint(line_.front(), style, out);
        else
            StrokeLine(style, closed, out);
        line_.clear();
        started = false;
    };
    for (const Segment& s : segments) {
        const Point from = snap(toPixels.Apply(s.from));
        const Point to = snap(toPixels.Apply(s.to));
        const Point control = toPixels.Apply(s.control);
        if (!Finite(from) || !Finite(to) || (s.curved && !Finite(control))) {
            out.Clear(); // garbage in: draw nothing rather than something wrong
            return;
        }
        if (!started || !Same(line_.back(), from)) {
            finish();
            started = true;
            line_.push_back(from);
        }
        const size_t before = line_.size();
        if (s.curved)
            FlattenCurve(from, control, to, tolerance_, line_);
        else
            line_.push_back(to);
        // Drop repeated points so every piece has a direction.
        size_t kept = before;
        for (size_t i = before; i < line_.size(); ++i) {
            if (!Same(line_[i], line_[kept - 1]))
                line_[kept++] = line_[i];
        }
        line_.resize(kept);
    }
    finish();
}

void Stroker::CloseContour(Outline& out) {
    const size_t start = out.contourEnds.empty() ? 0 : out.contourEnds.back();
    if (out.points.size() > start)
        out.contourEnds.push_back(out.points.size());
}

void Stroker::StrokePoint(Point p, const StrokeStyle& style, Outline& out) {
    // A line of no length shows as its caps: a disc or a square.
    const CapStyle cap = style.startCap;
    if (cap == CapStyle::Round) {
        Arc(p, Point{half_, 0}, 2 * kPi, out);
    } else if (cap == CapStyle::Square) {
        out.points.push_back({p.x - half_, p.y - half_});
        out.points.push_back({p.x + half_, p.y - half_});
        out.points.push_back({p.x + half_, p.y + half_});
        out.points.push_back({p.x - half_, p.y + half_});
    }
    CloseContour(out);
}

void Stroker::Arc(Point centre, Point from, double sweep, Outline& out) {
    // Steps short enough that each chord stays within the tolerance.
    const double r = half_;
    double stepAngle = r > tolerance_ ? 2 * std::acos(1 - tolerance_ / r) : kPi / 2;
    if (!(stepAngle > 0.02))
        stepAngle = 0.02;
    int n = static_cast<int>(std::ceil(std::fabs(sweep) / stepAngle));
    n = std::clamp(n, 1, 128);
    const double start = std::atan2(from.y, from.x);
    for (int i = 0; i <= n; ++i) {
        const double a = start + sweep * i / n;
        out.points.push_back({centre.x + r * std::cos(a), centre.y + r * std::sin(a)});
    }
}

void Stroker::Join(Point p, Point from, Point to, Point nextDir, double shorter, bool tipSide,
                   const StrokeStyle& style, Outline& out) {
    // `from` and `to` are the offsets (length half_) before and after p on
    // this side, whose last point is p + from; nextDir is where the outline
    // goes on from here; `shorter` is the length of the shorter piece at p.
    const double h2 = half_ * half_;
    const double turn = Cross(from, to);
    const double cosTurn = std::clamp(Dot(from, to) / h2, -1.0, 1.0);
    if (cosTurn < -0.999999) {
        // Turning right back: one side rounds or squares off the tip, the
        // other passes through the point so the two do not cover it twice.
        if (tipSide && style.join == JoinStyle::Round) {
            const Point ahead{-nextDir.x, -nextDir.y};
            Arc(p, from, Cross(from, ahead) > 0 ? kPi : -kPi, out);
        } else {
            out.points.push_back(p);
            out.points.push_back(Add(p, to));
        }
        return;
    }
    if (std::fabs(turn) < 1e-9 * h2) {
        out.points.push_back(Add(p, to));
        return;
    }
    if (Dot(nextDir, from) > 0) {
        // The inner side: where the two offsets cross, when that lies on
        // both pieces; otherwise through p, which keeps the overlap's
        // winding positive.
        const double tanHalf = std::sqrt((1 - cosTurn) / (1 + cosTurn));
        if (half_ * tanHalf <= shorter) {
            const Point mid = Add(from, to);
            const double cosHalf = std::sqrt((1 + cosTurn) / 2);
            out.points.back() = Add(p, Scale(mid, half_ / (cosHalf * Length(mid))));
            return;
        }
        out.points.push_back(p);
        out.points.push_back(Add(p, to));
        return;
    }
    switch (style.join) {
    case JoinStyle::Round:
        Arc(p, from, std::atan2(turn, Dot(from, to)), out);
        break;
    case JoinStyle::Miter: {
        // The miter reaches 1 / cos(half the turn) half-widths out.
        const Point mid = Add(from, to);
        const double cosHalf = std::sqrt((1 + cosTurn) / 2);
        const double limit = style.miterLimit >= 1 ? style.miterLimit : 1;
        if (cosHalf > 1e-9 && 1 / cosHalf <= limit)
            out.points.push_back(Add(p, Scale(mid, half_ / (cosHalf * Length(mid)))));
        out.points.push_back(Add(p, to));
        break;
    }
    case JoinStyle::Bevel:
        out.points.push_back(Add(p, to));
        break;
    }
}

void Stroker::Cap(Point p, Point normal, Point dir, CapStyle cap, Outline& out) {
    // From p + normal round the end (towards dir) to p - normal.
    switch (cap) {
    case CapStyle::Round:
        Arc(p, normal, Cross(normal, dir) > 0 ? kPi : -kPi, out);
        break;
    case CapStyle::Square: {
        const Point ext = Scale(dir, half_);
        out.points.push_back(Add(Add(p, normal), ext));
        out.points.push_back(Add(Sub(p, normal), ext));
        out.points.push_back(Sub(p, normal));
        break;
    }
    case CapStyle::None:
        out.points.push_back(Sub(p, normal));
        break;
    }
}

void Stroker::StrokeLine(const StrokeStyle& style, bool closed, Outline& out) {
    const std::vector<Point>& p = line_;
    const size_t n = p.size();
    const size_t pieces = closed ? n : n - 1;
    // Direction and left offset of each piece.
    std::vector<Point>& dirs = dirs_;
    std::vector<Point>& normals = normals_;
    std::vector<double>& lengths = lengths_;
    dirs.resize(pieces);
    normals.resize(pieces);
    lengths.resize(pieces);
    for (size_t i = 0; i < pieces; ++i) {
        const Point d = Sub(p[(i + 1) % n], p[i]);
        const double len = Length(d);
        lengths[i] = len;
        dirs[i] = Scale(d, 1 / len);
        normals[i] = Point{-dirs[i].y * half_, dirs[i].x * half_};
    }
    auto neg = [](Point a) { return Point{-a.x, -a.y}; };
    if (closed) {
        // Two loops in opposite directions: the ring between them is filled.
        out.points.push_back(Add(p[0], normals[0]));
        for (size_t i = 0; i < pieces; ++i) {
            const size_t j = (i + 1) % pieces;
            out.points.push_back(Add(p[j], normals[i]));
            Join(p[j], normals[i], normals[j], dirs[j], std::min(lengths[i], lengths[j]), true,
                 style, out);
        }
        CloseContour(out);
        out.points.push_back(Sub(p[0], normals[pieces - 1]));
        for (size_t k = pieces; k-- > 0;) {
            const size_t prev = (k + pieces - 1) % pieces;
            out.points.push_back(Sub(p[k], normals[k]));
            Join(p[k], neg(normals[k]), neg(normals[prev]), neg(dirs[prev]),
                 std::min(lengths[k], lengths[prev]), false, style, out);
        }
        CloseContour(out);
        return;
    }
    out.points.push_back(Add(p[0], normals[0]));
    for (size_t i = 0; i < pieces; ++i) {
        out.points.push_back(Add(p[i + 1], normals[i]));
        if (i + 1 < pieces)
            Join(p[i + 1], normals[i], normals[i + 1], dirs[i + 1],
                 std::min(lengths[i], lengths[i + 1]), true, style, out);
    }
    Cap(p[n - 1], normals[pieces - 1], dirs[pieces - 1], style.endCap, out);
    for (size_t k = pieces; k-- > 0;) {
        out.points.push_back(Sub(p[k], normals[k]));
        if (k > 0)
            Join(p[k], neg(normals[k]), neg(normals[k - 1]), neg(dirs[k - 1]),
                 std::min(lengths[k], lengths[k - 1]), false, style, out);
    }
    Cap(p[0], neg(normals[0]), neg(dirs[0]), style.startCap, out);
    CloseContour(out);
}

} // namespace zembra::raster
