#include "raster/uCanvas.h"
#include "raster/uBlendModes.h"
#include "raster/uCoverageRasterizer.h"
#include "raster/uFilters.h"
#include "raster/uPaintShader.h"
#include "raster/uPathFlattener.h"
#include "raster/uPixel.h"
#include "raster/uSpanBlitter.h"
#include "raster/uStroker.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace zembra::raster {

namespace {

ClipRect Union(const ClipRect& a, const ClipRect& b) {
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    return ClipRect{std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1),
                    std::max(a.y1, b.y1)};
}

// Nested deeper than this, layers and masks are ignored (each costs a frame).
constexpr size_t kMaxDepth = 64;
// Layers and masks, open or pooled, never take more memory than this
// together; those that would are ignored.
constexpr size_t kMaxStackBytes = size_t(256) << 20;
// Filters work on at most this many pixels (a 4K frame and more) at once.
constexpr size_t kMaxFilterPixels = size_t(1) << 24;

// A buffer of `size` zeroed elements from the pool (or new), within the
// budget of `used` bytes; null when it does not fit.
template <typename Buffer, typename Element>
std::unique_ptr<Buffer> Acquire(std::vector<std::unique_ptr<Buffer>>& pool,
                                std::vector<Element> Buffer::*data, size_t size, size_t& used) {
    std::unique_ptr<Buffer> b;
    if (!pool.empty()) {
        b = std::move(pool.back());
        pool.pop_back();
    } else {
        b = std::make_unique<Buffer>();
    }
    std::vector<Element>& v = (*b).*data;
    if (v.size() == size)
        return b; // pooled buffers are kept zeroed
    used -= v.size() * sizeof(Element);
    std::vector<Element>().swap(v);
    if (size > (kMaxStackBytes - used) / sizeof(Element))
        return nullptr;
    try {
        v.assign(size, Element());
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    used += size * sizeof(Element);
    return b;
}

} // namespace

struct Canvas::State {
    explicit State(FrameBuffer& t) : target(t) {}

    // A transparent picture the size of the frame.
    struct Layer {
        std::vector<uint32_t> pixels;
        ClipRect dirty; // everything outside is transparent
    };
    // Coverage 0..255 the size of the frame.
    struct Mask {
        std::vector<uint8_t> cover;
        ClipRect dirty;  // everything outside is zero
        ClipRect bounds; // where it may be non-zero once intersected
        bool building = true;
    };

    FrameBuffer& target;
    Quality quality = Quality::High;
    int width = 0, height = 0;         // of layers and masks; fixed while any is open
    int clipWidth = 0, clipHeight = 0; // no larger than the frame buffer
    CoverageRasterizer rasterizer;
    FilterRunner filterRunner;
    std::vector<uint32_t> filterPixels;
    PaintShader shader;
    SpanBlitter blitter;
    Stroker stroker;
    Outline outline;
    std::vector<Point> points;

    std::vector<std::unique_ptr<Layer>> layers, layerPool;
    std::vector<std::unique_ptr<Mask>> masks, maskPool;
    size_t ignoredLayers = 0, ignoredMasks = 0;
    size_t ignoredBuilding = 0; // ignored masks not ended yet: their draws go nowhere
    size_t stackBytes = 0;

    bool AntiAlias() const { return quality != Quality::Low; }
    double Tolerance() const {
        // Pixels a flattened curve may stray; the chords cut slightly into curves.
        return quality == Quality::Best ? 0.02 : quality == Quality::High ? 0.03 : 0.1;
    }

    void SyncSize() {
        if (layers.empty() && masks.empty()) {
            width = target.Width();
            height = target.Height();
        }
        // The frame buffer may have changed under open layers; never draw past it.
        clipWidth = std::min(width, target.Width());
        clipHeight = std::min(height, target.Height());
    }

    // The mask being built that draws go to, if any: the innermost one, even
    // under masks begun and ended inside its definition.
    Mask* BuildingMask() const {
        for (size_t i = masks.size(); i-- > 0;) {
            if (masks[i]->building)
                return masks[i].get();
        }
        return nullptr;
    }

    // The mask draws are clipped to: the innermost, when it has ended (it
    // holds the intersection with every mask around it). None while the
    // innermost is still being built: its shapes are not clipped.
    const Mask* ActiveMask() const {
        return !masks.empty() && !masks.back()->building ? masks.back().get() : nullptr;
    }

    void Fill(const std::vector<Segment>& segments, FillRule rule, const Paint& paint,
              const Matrix& toPixels, const ColorTransform& color);
    void Stroke(const std::vector<Segment>& segments, const StrokeStyle& style,
                const Matrix& toPixels, const ColorTransform& color);

    // Rasterizes what was added to the rasterizer onto the current target.
    // Everything that can run out of memory happens before the first span.
    void Draw(FillRule rule, const Paint& paint, const Matrix& toPixels,
              const ColorTransform& color) {
        if (!rasterizer.MayCover() || ignoredBuilding > 0)
            return;
        blitter.Reserve(width);
        const Mask* clip = ActiveMask();
        blitter.ClipTo(clip ? clip->cover.data() : nullptr, width);
        if (Mask* m = BuildingMask()) {
            // A mask takes the shape only, not the paint's colours.
            blitter.TargetMask(m->cover.data(), width);
            rasterizer.Render(rule, AntiAlias(), blitter);
            const ClipRect d = blitter.TakeDirty();
            m->dirty = Union(m->dirty, d);
            m->bounds = Union(m->bounds, d);
            return;
        }
        if (!shader.Prepare(paint, toPixels, color, quality != Quality::Low))
            return;
        uint32_t* pixels = layers.empty() ? target.Pixels().data() : layers.back()->pixels.data();
        blitter.TargetPicture(pixels, layers.empty() ? target.Width() : width, &shader);
        rasterizer.Render(rule, AntiAlias(), blitter);
        const ClipRect d = blitter.TakeDirty();
        if (!layers.empty())
            layers.back()->dirty = Union(layers.back()->dirty, d);
    }

    // Runs filters over the innermost layer, spreading its dirty area.
    void FilterTop(const std::vector<Filter>& filters, double scaleX, double scaleY);

    // Where draws may land now: the frame, within the mask they are clipped to.
    ClipRect DrawClip() const {
        ClipRect clip{0, 0, clipWidth, clipHeight};
        if (const Mask* m = ActiveMask())
            clip = Intersect(clip, m->bounds);
        return clip;
    }
};

Canvas::Canvas(FrameBuffer& target) : state_(std::make_unique<State>(target)) {
    state_->SyncSize();
}

Canvas::~Canvas() {
    // Whatever is still open goes onto the frame as if closed normally.
    State& s = *state_;
    s.ignoredLayers = 0;
    while (!s.layers.empty())
        PopLayer(BlendMode::Normal);
}

void Canvas::SetQuality(Quality quality) {
    state_->quality = quality;
}

Quality Canvas::GetQuality() const {
    return state_->quality;
}

void Canvas::FillPath(const std::vector<Segment>& segments, FillRule rule, const Paint& paint,
                      const Matrix& toPixels, const ColorTransform& color) {
    try {
        state_->Fill(segments, rule, paint, toPixels, color);
    } catch (const std::bad_alloc&) {
        // Out of memory for this path's edges: it is not drawn.
    }
}

void Canvas::StrokePath(const std::vector<Segment>& segments, const StrokeStyle& style,
                        const Matrix& toPixels, const ColorTransform& color) {
    try {
        state_->Stroke(segments, style, toPixels, color);
    } catch (const std::bad_alloc&) {
        // Out of memory for this line's outline: it is not drawn.
    }
}

void Canvas::State::Fill(const std::vector<Segment>& segments, FillRule rule, const Paint& paint,
                         const Matrix& toPixels, const ColorTransform& color) {
    State& s = *this;
    s.SyncSize();
    const ClipRect clip = s.DrawClip();
    if (clip.Empty() || segments.empty())
        return;
    s.rasterizer.Reset(clip);
    const double tolerance = s.Tolerance();
    for (const Segment& seg : segments) {
        const Point from = toPixels.Apply(seg.from);
        const Point to = toPixels.Apply(seg.to);
        if (!seg.curved) {
            s.rasterizer.AddLine(from.x, from.y, to.x, to.y);
            continue;
        }
        const Point control = toPixels.Apply(seg.control);
        // A curve wholly above, below or beside the clip covers the visible
        // rows as its chord does.
        const double minX = std::min({from.x, control.x, to.x});
        const double maxX = std::max({from.x, control.x, to.x});
        const double minY = std::min({from.y, control.y, to.y});
        const double maxY = std::max({from.y, control.y, to.y});
        if (maxX <= clip.x0 || minX >= clip.x1 || maxY <= clip.y0 || minY >= clip.y1) {
            s.rasterizer.AddLine(from.x, from.y, control.x, control.y);
            s.rasterizer.AddLine(control.x, control.y, to.x, to.y);
            continue;
        }
        s.points.clear();
        FlattenCurve(from, control, to, tolerance, s.points);
        Point p = from;
        for (const Point& q : s.points) {
            s.rasterizer.AddLine(p.x, p.y, q.x, q.y);
            p = q;
        }
    }
    s.Draw(rule, paint, toPixels, color);
}

void Canvas::State::Stroke(const std::vector<Segment>& segments, const StrokeStyle& style,
                           const Matrix& toPixels, const ColorTransform& color) {
    State& s = *this;
    s.SyncSize();
    const ClipRect clip = s.DrawClip();
    if (clip.Empty() || segments.empty())
        return;
    s.stroker.Stroke(segments, style, toPixels, s.Tolerance(), s.outline);
    s.rasterizer.Reset(clip);
    size_t start = 0;
    for (size_t end : s.outline.contourEnds) {
        for (size_t i = start; i < end; ++i) {
            const Point& a = s.outline.points[i];
            const Point& b = s.outline.points[i + 1 < end ? i + 1 : start];
            s.rasterizer.AddLine(a.x, a.y, b.x, b.y);
        }
        start = end;
    }
    s.Draw(FillRule::NonZero, style.paint, toPixels, color);
}

void Canvas::BeginMask() {
    State& s = *state_;
    s.SyncSize();
    std::unique_ptr<State::Mask> m;
    if (s.ignoredMasks == 0 && s.masks.size() < kMaxDepth && s.width > 0 && s.height > 0)
        m = Acquire(s.maskPool, &State::Mask::cover, static_cast<size_t>(s.width) * s.height,
                    s.stackBytes);
    if (!m) {
        ++s.ignoredMasks;
        ++s.ignoredBuilding;
        return;
    }
    m->dirty = m->bounds = ClipRect{0, 0, 0, 0};
    m->building = true;
    s.masks.push_back(std::move(m));
}

void Canvas::EndMask() {
    State& s = *state_;
    if (s.ignoredBuilding > 0) {
        --s.ignoredBuilding;
        return;
    }
    State::Mask* m = s.BuildingMask();
    if (!m)
        return;
    m->building = false;
    // Nested masks intersect: only what the enclosing mask lets through.
    const State::Mask* outer = nullptr;
    for (size_t i = s.masks.size() - 1; i-- > 0;) {
        if (!s.masks[i]->building) {
            outer = s.masks[i].get();
            break;
        }
    }
    if (!outer)
        return;
    const ClipRect r = m->bounds;
    for (int y = r.y0; y < r.y1; ++y) {
        uint8_t* row = m->cover.data() + static_cast<size_t>(y) * s.width;
        const uint8_t* o = outer->cover.data() + static_cast<size_t>(y) * s.width;
        for (int x = r.x0; x < r.x1; ++x)
            row[x] = static_cast<uint8_t>(Mul255(row[x], o[x]));
    }
    m->bounds = Intersect(m->bounds, outer->bounds);
}

void Canvas::PopMask() {
    State& s = *state_;
    if (s.ignoredMasks > 0) {
        --s.ignoredMasks;
        s.ignoredBuilding = std::min(s.ignoredBuilding, s.ignoredMasks);
        return;
    }
    if (s.masks.empty())
        return;
    std::unique_ptr<State::Mask> m = std::move(s.masks.back());
    s.masks.pop_back();
    // Back to the pool zeroed, touching only what was drawn.
    const ClipRect r = m->dirty;
    for (int y = r.y0; y < r.y1; ++y)
        std::memset(m->cover.data() + static_cast<size_t>(y) * s.width + r.x0, 0,
                    static_cast<size_t>(r.x1 - r.x0));
    s.maskPool.push_back(std::move(m));
}

void Canvas::PushLayer() {
    State& s = *state_;
    s.SyncSize();
    std::unique_ptr<State::Layer> l;
    if (s.ignoredLayers == 0 && s.layers.size() < kMaxDepth && s.width > 0 && s.height > 0)
        l = Acquire(s.layerPool, &State::Layer::pixels, static_cast<size_t>(s.width) * s.height,
                    s.stackBytes);
    if (!l) {
        // Drawn straight onto what lies below instead.
        ++s.ignoredLayers;
        return;
    }
    l->dirty = ClipRect{0, 0, 0, 0};
    s.layers.push_back(std::move(l));
}

void Canvas::PopLayer(BlendMode mode) {
    State& s = *state_;
    if (s.ignoredLayers > 0) {
        --s.ignoredLayers;
        return;
    }
    if (s.layers.empty())
        return;
    std::unique_ptr<State::Layer> l = std::move(s.layers.back());
    s.layers.pop_back();
    // The layer has the stack's size; the frame may have changed since.
    const int w = s.width;
    const ClipRect r = Intersect(l->dirty, ClipRect{0, 0, std::min(w, s.target.Width()),
                                                    std::min(s.height, s.target.Height())});
    State::Layer* below = s.layers.empty() ? nullptr : s.layers.back().get();
    for (int y = r.y0; y < r.y1; ++y) {
        uint32_t* src = l->pixels.data() + static_cast<size_t>(y) * w + r.x0;
        uint32_t* dst = below ? below->pixels.data() + static_cast<size_t>(y) * w + r.x0
                              : s.target.Row(y) + r.x0;
        BlendRow(mode, src, dst, r.x1 - r.x0);
    }
    if (below)
        below->dirty = Union(below->dirty, r);
    // Back to the pool transparent, touching only what was drawn.
    for (int y = l->dirty.y0; y < l->dirty.y1; ++y)
        std::fill_n(l->pixels.data() + static_cast<size_t>(y) * w + l->dirty.x0,
                    l->dirty.x1 - l->dirty.x0, 0u);
    s.layerPool.push_back(std::move(l));
}

void Canvas::PopLayer(BlendMode mode, const std::vector<Filter>& filters, double scaleX,
                      double scaleY) {
    State& s = *state_;
    if (s.ignoredLayers == 0 && !s.layers.empty() && !filters.empty()) {
        try {
            s.FilterTop(filters, scaleX, scaleY);
        } catch (const std::bad_alloc&) {
            // No memory for the filters' work: the layer goes down as drawn.
        }
    }
    PopLayer(mode);
}

void Canvas::State::FilterTop(const std::vector<Filter>& filters, double scaleX, double scaleY) {
    Layer& l = *layers.back();
    const ClipRect frame{0, 0, std::min(width, target.Width()), std::min(height, target.Height())};
    const ClipRect drawn = Intersect(l.dirty, frame);
    if (drawn.Empty())
        return;
    const FilterMargin m = FilterRunner::Margin(filters, scaleX, scaleY);
    const ClipRect r = Intersect(
        ClipRect{drawn.x0 - std::min(m.left, frame.x1), drawn.y0 - std::min(m.top, frame.y1),
                 drawn.x1 + std::min(m.right, frame.x1), drawn.y1 + std::min(m.bottom, frame.y1)},
        frame);
    const int w = r.x1 - r.x0, h = r.y1 - r.y0;
    if (static_cast<size_t>(w) * h > kMaxFilterPixels)
        return; // drawn unfiltered rather than holding several copies of a huge frame
    filterPixels.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        std::memcpy(filterPixels.data() + static_cast<size_t>(y) * w,
                    l.pixels.data() + static_cast<size_t>(r.y0 + y) * width + r.x0,
                    sizeof(uint32_t) * w);
    filterRunner.Apply(filters, scaleX, scaleY, filterPixels.data(), w, h);
    const Mask* clip = ActiveMask();
    for (int y = 0; y < h; ++y) {
        const uint32_t* src = filterPixels.data() + static_cast<size_t>(y) * w;
        uint32_t* dst = l.pixels.data() + static_cast<size_t>(r.y0 + y) * width + r.x0;
        if (!clip) {
            std::memcpy(dst, src, sizeof(uint32_t) * w);
            continue;
        }
        const uint8_t* cover = clip->cover.data() + static_cast<size_t>(r.y0 + y) * width + r.x0;
        for (int x = 0; x < w; ++x)
            dst[x] = ScalePixel(src[x], cover[x]);
    }
    l.dirty = Union(l.dirty, r);
}

} // namespace zembra::raster
