#include "timeline/uScriptHost.h"

#include <algorithm>
#include <cmath>

#include "avm1/uObject.h"
#include "avm1/uValue.h"
#include "timeline/uDisplayRenderer.h"
#include "timeline/uDrawing.h"
#include "timeline/uHitTest.h"
#include "timeline/uMovie.h"

namespace zembra::timeline {

using avm1::ClipId;
using avm1::ClipProp;

namespace {

constexpr double kPi = 3.14159265358979323846;

double Degrees(double radians) {
    return radians * 180 / kPi;
}

double Radians(double degrees) {
    return degrees * kPi / 180;
}

// Into (-180, 180], as the player reports angles.
double NormalizeDegrees(double d) {
    if (!std::isfinite(d))
        return 0;
    d = std::fmod(d, 360);
    if (d > 180)
        d -= 360;
    else if (d <= -180)
        d += 360;
    return d;
}

// Twips are whole numbers: positions set by scripts are cut to them.
double ToTwips(double pixels) {
    const double t = pixels * 20;
    if (!std::isfinite(t))
        return 0;
    return std::trunc(std::max(-2.0e9, std::min(2.0e9, t)));
}

bool Empty(const swf::Rect& r) {
    return r.xMax <= r.xMin && r.yMax <= r.yMin;
}

void Include(swf::Rect& r, bool& any, const swf::Rect& b) {
    if (Empty(b))
        return;
    if (!any) {
        r = b;
        any = true;
        return;
    }
    r.xMin = std::min(r.xMin, b.xMin);
    r.yMin = std::min(r.yMin, b.yMin);
    r.xMax = std::max(r.xMax, b.xMax);
    r.yMax = std::max(r.yMax, b.yMax);
}

// The bounding box of `r` mapped through `m`.
void MapRect(const raster::Matrix& m, const swf::Rect& r, double& x0, double& y0, double& x1,
             double& y1) {
    const raster::Point corners[4] = {{double(r.xMin), double(r.yMin)},
                                      {double(r.xMax), double(r.yMin)},
                                      {double(r.xMin), double(r.yMax)},
                                      {double(r.xMax), double(r.yMax)}};
    x0 = y0 = 1e300;
    x1 = y1 = -1e300;
    for (const raster::Point& p : corners) {
        const raster::Point q = m.Apply(p);
        x0 = std::min(x0, q.x);
        y0 = std::min(y0, q.y);
        x1 = std::max(x1, q.x);
        y1 = std::max(y1, q.y);
    }
}

double Finite(double v) {
    return std::isfinite(v) ? std::max(-1e9, std::min(1e9, v)) : 0;
}

raster::Rgba Color(uint32_t rgb, double alpha) {
    const double a = std::isfinite(alpha) ? std::max(0.0, std::min(100.0, alpha)) : 100;
    return raster::Rgba{static_cast<uint8_t>((rgb >> 16) & 0xff),
                        static_cast<uint8_t>((rgb >> 8) & 0xff), static_cast<uint8_t>(rgb & 0xff),
                        static_cast<uint8_t>(std::lround(a * 2.55))};
}

// A script's focal point ratio is kept as a shape record keeps it, in
// 1/256 steps toward zero, and goes no nearer the edge than 0.98: past
// that the player draws it as 0.98.
double FocalOf(double focal) {
    if (!std::isfinite(focal))
        return 0;
    const double kMax = 0.98;
    const double stepped = std::trunc(std::max(-2.0, std::min(2.0, focal)) * 256) / 256;
    return std::max(-kMax, std::min(kMax, stepped));
}

} // namespace

raster::Paint PaintOf(const avm1::DrawFill& fill) {
    raster::Paint p;
    if (fill.kind == avm1::DrawFill::Kind::Solid || fill.colors.empty()) {
        p.kind = raster::Paint::Kind::Solid;
        p.color = Color(fill.colors.empty() ? 0 : fill.colors[0],
                        fill.alphas.empty() ? 100 : fill.alphas[0]);
        return p;
    }
    const bool radial = fill.kind == avm1::DrawFill::Kind::Radial;
    p.focalPoint = radial ? FocalOf(fill.focal) : 0;
    p.kind = radial ? (p.focalPoint != 0 ? raster::Paint::Kind::Focal : raster::Paint::Kind::Radial)
                    : raster::Paint::Kind::Linear;
    const size_t n = std::min<size_t>(
        {fill.colors.size(), fill.alphas.size(), fill.ratios.size(), avm1::DrawFill::kMaxStops});
    for (size_t i = 0; i < n; ++i) {
        raster::GradientStop stop;
        stop.ratio =
            std::isfinite(fill.ratios[i]) ? std::max(0.0, std::min(255.0, fill.ratios[i])) : 0;
        stop.color = Color(fill.colors[i], fill.alphas[i]);
        p.stops.push_back(stop);
    }
    chars::NormalizeStops(p.stops, fill.linearRgb);
    p.spread = fill.spread == 1   ? raster::SpreadMode::Reflect
               : fill.spread == 2 ? raster::SpreadMode::Repeat
                                  : raster::SpreadMode::Pad;
    p.interpolation =
        fill.linearRgb ? raster::Interpolation::LinearRgb : raster::Interpolation::Rgb;
    // Pixels to twips: the square keeps its units, the placement scales.
    const double* m = fill.matrix;
    p.matrix = raster::Matrix{Finite(m[0]), Finite(m[1]),      Finite(m[2]),
                              Finite(m[3]), Finite(m[4]) * 20, Finite(m[5]) * 20};
    return p;
}

ClipId ScriptHost::Register(ClipId parent, int depth) {
    // Handles are never reused, so an old handle cannot reach a new clip.
    if (next_ == 0 || next_ == kLevels)
        return 0;
    const ClipId id = next_++;
    refs_[id] = Ref{parent, depth};
    return id;
}

void ScriptHost::Unregister(ClipId clip, const std::string& name) {
    auto it = refs_.find(clip);
    if (it == refs_.end())
        return;
    gone_[clip] = Gone{it->second.parent, name};
    refs_.erase(it);
}

void ScriptHost::Moved(ClipId clip, int depth) {
    auto it = refs_.find(clip);
    if (it != refs_.end())
        it->second.depth = depth;
}

void ScriptHost::Reset() {
    refs_.clear();
    gone_.clear();
}

bool ScriptHost::FindAt(ClipId clip, Place& out, int hops) {
    out = Place();
    if (clip == kRoot) {
        out.inst = &movie_.Root();
        return true;
    }
    if (clip == kLevels) {
        out.inst = &movie_.Levels();
        return true;
    }
    if (hops > kMaxNesting + 2)
        return false;
    auto it = refs_.find(clip);
    if (it == refs_.end())
        return false;
    Place parent;
    if (!FindAt(it->second.parent, parent, hops + 1) || !parent.inst)
        return false;
    auto child = parent.inst->children.find(it->second.depth);
    if (child == parent.inst->children.end() || child->second.clipId != clip)
        return false;
    out.owner = parent.inst;
    out.obj = &child->second;
    out.inst = child->second.sprite.get();
    out.depth = it->second.depth;
    return true;
}

bool ScriptHost::Find(ClipId clip, Place& out) {
    return clip != 0 && FindAt(clip, out, 0);
}

SpriteInstance* ScriptHost::Instance(ClipId clip) {
    Place p;
    return Find(clip, p) ? p.inst : nullptr;
}

text::TextField* ScriptHost::TextFieldModel(ClipId clip) {
    Place p;
    return Find(clip, p) && p.obj ? p.obj->textField.get() : nullptr;
}

avm1::ClipId ScriptHost::CreateTextField(ClipId parent, const std::string& name, int depth,
                                         double x, double y, double w, double h) {
    return movie_.CreateTextField(parent, name, depth, x, y, w, h);
}

const text::FontSource* ScriptHost::Fonts() {
    return movie_.Fonts();
}

std::vector<std::u16string> ScriptHost::StaticTextLines(ClipId clip) {
    std::vector<std::u16string> lines;
    SpriteInstance* s = Instance(clip);
    if (!s)
        return lines;
    const chars::Dictionary& dict = movie_.Dictionary();
    for (const auto& [depth, obj] : s->children) {
        (void)depth;
        if (!obj.character || obj.character->kind != chars::Kind::Text)
            continue;
        const auto* text = static_cast<const chars::TextChar*>(obj.character);
        // Each text starts a line, and so does each run that moves down.
        bool first = true;
        double y = 0;
        for (const chars::TextRun& run : text->runs) {
            if (first || run.y != y)
                lines.emplace_back();
            first = false;
            y = run.y;
            const chars::Character* c = dict.Get(run.fontId);
            const auto* font = c && c->kind == chars::Kind::Font
                                   ? static_cast<const chars::FontChar*>(c)
                                   : nullptr;
            for (const chars::TextGlyph& g : run.glyphs)
                if (font && g.index < font->codes.size())
                    lines.back() += static_cast<char16_t>(font->codes[g.index]);
        }
    }
    return lines;
}

avm1::ClipKind ScriptHost::KindOf(ClipId clip) {
    Place p;
    if (!Find(clip, p))
        return avm1::ClipKind::None;
    if (p.obj && p.obj->textField)
        return avm1::ClipKind::TextField;
    if (!p.obj || p.inst)
        return avm1::ClipKind::Clip;
    if (p.obj->character && p.obj->character->kind == chars::Kind::Button)
        return avm1::ClipKind::Button;
    if (p.obj->character && p.obj->character->kind == chars::Kind::EditText)
        return avm1::ClipKind::TextField;
    return avm1::ClipKind::None;
}

raster::Matrix ScriptHost::WorldMatrix(ClipId clip) {
    raster::Matrix acc;
    ClipId c = clip;
    for (int guard = 0; c && c != kRoot && guard <= kMaxNesting + 2; ++guard) {
        Place p;
        if (!Find(c, p) || !p.obj)
            break;
        acc = p.obj->matrix.Concat(acc);
        c = p.owner ? p.owner->clipId : 0;
    }
    return movie_.RootProps().matrix.Concat(acc);
}

// ---- Output

void ScriptHost::Trace(const std::string& line) {
    // Each "\r" and each "\n" starts a new line of the log.
    size_t start = 0;
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '\r' || line[i] == '\n') {
            movie_.EmitTrace(line.substr(start, i - start));
            start = i + 1;
        }
    movie_.EmitTrace(line.substr(start));
}

void ScriptHost::Warning(const std::string& message) {
    Trace("Warning: " + message);
}

void ScriptHost::GetUrl(const std::string& url, const std::string& target, int method) {
    (void)method;
    movie_.EmitUrl(url, target);
}

ClipId ScriptHost::Level(int level) {
    if (level == 0)
        return kRoot;
    const auto& levels = movie_.Levels().children;
    auto it = levels.find(level);
    return it == levels.end() ? 0 : it->second.clipId;
}

bool ScriptHost::ReadResource(const std::string& url, std::vector<uint8_t>& out,
                              std::string& error) {
    return movie_.ReadResource(url, out, error);
}

int ScriptHost::SwfVersion(ClipId clip) {
    if (const LoadedMovie* lm = movie_.LoadedTop(clip))
        return lm->picture ? -1 : lm->version;
    return movie_.Header().version;
}

double ScriptHost::BytesTotal(ClipId clip) {
    return movie_.FileBytes(clip);
}

bool ScriptHost::LoadMovieInto(ClipId clip, int level, std::vector<uint8_t> bytes,
                               const std::string& url) {
    if (level >= 0)
        return movie_.LoadLevel(level, std::move(bytes), url);
    return movie_.LoadInto(clip, std::move(bytes), url);
}

void ScriptHost::UnloadMovie(ClipId clip, int level) {
    if (level > 0)
        movie_.UnloadLevel(level);
    else if (level < 0)
        movie_.Unload(clip);
}

double ScriptHost::TimeMs() {
    return movie_.TimeMs();
}

void ScriptHost::StageSize(double& width, double& height) {
    const swf::Rect& r = movie_.Header().frame;
    width = (static_cast<double>(r.xMax) - r.xMin) / 20;
    height = (static_cast<double>(r.yMax) - r.yMin) / 20;
}

bool ScriptHost::LocalWithNetwork() {
    return movie_.UsesNetwork();
}

void ScriptHost::SendRequest(const std::string& url, const std::string& method,
                             const std::string& mimeType, const std::vector<uint8_t>& body) {
    if (movie_.onRequest)
        movie_.onRequest(url, method, mimeType, body);
}

void ScriptHost::ConnectSocket(const std::string& host, int port) {
    if (movie_.onSocket)
        movie_.onSocket(host, port);
}

// ---- Tree

ClipId ScriptHost::Parent(ClipId clip) {
    Place p;
    if (!Find(clip, p)) {
        auto it = gone_.find(clip);
        return it == gone_.end() ? 0 : it->second.parent;
    }
    // A level has no parent.
    return p.owner && p.owner != &movie_.Levels() ? p.owner->clipId : 0;
}

ClipId ScriptHost::Child(ClipId clip, const std::string& name, bool caseSensitive) {
    SpriteInstance* s = Instance(clip);
    if (!s)
        return 0;
    for (const auto& [depth, obj] : s->children) {
        (void)depth;
        if (obj.name.empty() || !avm1::NamesEqual(obj.name, name, caseSensitive))
            continue;
        if (obj.clipId)
            return obj.clipId;
        // A named shape, picture or static text has no object of its own:
        // scripts reaching for it get the clip that holds it.
        if (obj.character && obj.character->kind != chars::Kind::Font)
            return clip;
    }
    return 0;
}

void ScriptHost::ChildNames(ClipId clip, std::vector<std::string>& out) {
    SpriteInstance* s = Instance(clip);
    if (!s)
        return;
    // Shapes and pictures that have a name are listed too.
    for (auto it = s->children.rbegin(); it != s->children.rend(); ++it)
        out.push_back(it->second.name);
}

// ---- Properties

ScriptTransform& ScriptHost::Transform(DisplayObject& obj) {
    ScriptTransform& t = obj.scriptTransform;
    if (!t.valid) {
        const raster::Matrix& m = obj.matrix;
        t.xscale = std::sqrt(m.a * m.a + m.b * m.b) * 100;
        t.yscale = std::sqrt(m.c * m.c + m.d * m.d) * 100;
        const double rx = (m.a == 0 && m.b == 0) ? 0 : std::atan2(m.b, m.a);
        const double ry = (m.c == 0 && m.d == 0) ? rx : std::atan2(-m.c, m.d);
        t.rotation = NormalizeDegrees(Degrees(rx));
        t.skew = Degrees(ry - rx);
        t.valid = true;
    }
    return t;
}

void ScriptHost::Recompose(DisplayObject& obj) {
    const ScriptTransform& t = obj.scriptTransform;
    const double rx = Radians(t.rotation), ry = Radians(t.rotation + t.skew);
    const double sx = t.xscale / 100, sy = t.yscale / 100;
    obj.matrix.a = sx * std::cos(rx);
    obj.matrix.b = sx * std::sin(rx);
    obj.matrix.c = -sy * std::sin(ry);
    obj.matrix.d = sy * std::cos(ry);
    obj.scriptMoved = true;
}

bool ScriptHost::LocalBounds(const Place& place, swf::Rect& out) {
    raster::FrameBuffer fb(1, 1);
    raster::Canvas canvas(fb);
    DisplayRenderer renderer(canvas, movie_.Dictionary());
    bool any = false;
    if (place.obj) {
        // The renderer measures in the parent's space: measure unmoved.
        DisplayObject& obj = *place.obj;
        const raster::Matrix saved = obj.matrix;
        obj.matrix = raster::Matrix();
        Include(out, any, renderer.Bounds(obj));
        obj.matrix = saved;
        return any;
    }
    if (!place.inst)
        return false;
    if (place.inst->drawing && !place.inst->drawing->Empty())
        Include(out, any, place.inst->drawing->Bounds());
    for (const auto& [depth, child] : place.inst->children) {
        (void)depth;
        Include(out, any, renderer.Bounds(child));
    }
    return any;
}

bool ScriptHost::StageBounds(ClipId clip, swf::Rect& out) {
    Place p;
    swf::Rect local;
    if (!Find(clip, p) || !LocalBounds(p, local))
        return false;
    double x0, y0, x1, y1;
    MapRect(WorldMatrix(clip), local, x0, y0, x1, y1);
    out.xMin = static_cast<int32_t>(std::max(-2e9, x0));
    out.yMin = static_cast<int32_t>(std::max(-2e9, y0));
    out.xMax = static_cast<int32_t>(std::min(2e9, x1));
    out.yMax = static_cast<int32_t>(std::min(2e9, y1));
    return true;
}

double ScriptHost::GetProperty(ClipId clip, ClipProp prop) {
    Place p;
    if (!Find(clip, p))
        return 0;
    DisplayObject* obj = p.obj ? p.obj : &movie_.RootProps();
    switch (prop) {
    case ClipProp::X:
        return obj->matrix.tx / 20;
    case ClipProp::Y:
        return obj->matrix.ty / 20;
    case ClipProp::XScale:
        return Transform(*obj).xscale;
    case ClipProp::YScale:
        return Transform(*obj).yscale;
    case ClipProp::Rotation:
        return Transform(*obj).rotation;
    case ClipProp::CurrentFrame:
        return p.inst ? std::max(1, p.inst->frame + 1) : 1;
    case ClipProp::TotalFrames:
    case ClipProp::FramesLoaded: {
        if (!p.inst)
            return 1;
        int n = p.inst->FrameCount();
        if (!p.obj)
            n = std::max(n, static_cast<int>(movie_.Header().frameCount));
        return std::max(1, n);
    }
    case ClipProp::Alpha:
        return obj->cxform.aMul * 100;
    case ClipProp::Visible:
        return (obj->visible ? 1 : 0);
    case ClipProp::Width:
    case ClipProp::Height: {
        swf::Rect local;
        if (!LocalBounds(p, local))
            return 0;
        double x0, y0, x1, y1;
        MapRect(obj->matrix, local, x0, y0, x1, y1);
        if (obj->textField) {
            // A field's turned frame lands on whole twips.
            x0 = std::round(x0), y0 = std::round(y0), x1 = std::round(x1), y1 = std::round(y1);
        }
        return (prop == ClipProp::Width ? x1 - x0 : y1 - y0) / 20;
    }
    case ClipProp::HighQuality:
        return 1;
    case ClipProp::FocusRect:
        if (movie_.Header().version <= 5)
            return movie_.RootProps().focusRect == 0 ? 0 : 1;
        return 1;
    case ClipProp::SoundBufTime:
        return 5;
    case ClipProp::XMouse:
    case ClipProp::YMouse: {
        raster::Matrix inv;
        if (!WorldMatrix(clip).Invert(inv))
            return 0;
        const raster::Point local = inv.Apply(movie_.Pointer());
        return (prop == ClipProp::XMouse ? local.x : local.y) / 20;
    }
    default:
        return 0;
    }
}

std::string ScriptHost::GetPropertyText(ClipId clip, ClipProp prop) {
    Place p;
    if (!Find(clip, p)) {
        auto it = gone_.find(clip);
        return it != gone_.end() && prop == ClipProp::Name ? it->second.name : std::string();
    }
    switch (prop) {
    case ClipProp::Name:
        return p.obj ? p.obj->name : std::string();
    case ClipProp::Url:
        if (const LoadedMovie* lm = movie_.LoadedTop(clip))
            return "file:///" + lm->url;
        return "file:///test.swf";
    case ClipProp::Quality:
        return "HIGH";
    case ClipProp::DropTarget: {
        const ClipId target = movie_.DropTarget();
        return target && movie_.Scripts() ? movie_.Scripts()->ClipPath(target, true)
                                          : std::string();
    }
    default:
        return std::string();
    }
}

void ScriptHost::SetProperty(ClipId clip, ClipProp prop, double number, const std::string& text) {
    Place p;
    if (!Find(clip, p))
        return;
    DisplayObject& obj = p.obj ? *p.obj : movie_.RootProps();
    if (prop == ClipProp::Name) {
        if (!p.obj)
            return; // the main timeline keeps its empty name
        obj.name = text;
        return;
    }
    if (prop == ClipProp::FocusRect) {
        const bool unset = text == "null" || text == "undefined";
        if (movie_.Header().version <= 5) {
            // Older movies have one setting for everything; what is no
            // number leaves it as it was.
            if (!unset && !std::isnan(number))
                movie_.RootProps().focusRect = int8_t(number != 0);
            return;
        }
        // null and undefined hand the choice back to the main timeline.
        obj.focusRect = unset ? int8_t(-1) : int8_t(!std::isnan(number) && number != 0);
        return;
    }
    if (std::isnan(number))
        return;
    switch (prop) {
    case ClipProp::X:
        obj.matrix.tx = ToTwips(number);
        obj.scriptMoved = true;
        break;
    case ClipProp::Y:
        obj.matrix.ty = ToTwips(number);
        obj.scriptMoved = true;
        break;
    case ClipProp::XScale:
        Transform(obj).xscale = std::isfinite(number) ? number : 0;
        Recompose(obj);
        break;
    case ClipProp::YScale:
        Transform(obj).yscale = std::isfinite(number) ? number : 0;
        Recompose(obj);
        break;
    case ClipProp::Rotation:
        Transform(obj).rotation = NormalizeDegrees(number);
        Recompose(obj);
        break;
    case ClipProp::Alpha:
        obj.cxform.aMul = std::isfinite(number) ? number / 100 : 0;
        obj.scriptMoved = true;
        break;
    case ClipProp::Visible:
        obj.visible = number != 0;
        // Hidden things lose the focus (listeners run: obj is not used after).
        if (!obj.visible)
            movie_.DropFocusInside(clip);
        return;
    case ClipProp::Width:
    case ClipProp::Height: {
        if (text::TextField* field = obj.textField.get()) {
            // A field changes its own size, not its scale; the size is
            // taken as given, whatever the field's scale.
            if (!std::isfinite(number))
                return;
            const double size = std::max(0.0, std::min(std::trunc(number * 20) / 20, 1e6));
            if (prop == ClipProp::Width)
                field->SetSize(size, field->Height());
            else
                field->SetSize(field->Width(), size);
            return;
        }
        swf::Rect local;
        if (!LocalBounds(p, local) || !std::isfinite(number))
            return;
        const double size =
            prop == ClipProp::Width ? local.xMax - local.xMin : local.yMax - local.yMin;
        if (size <= 0)
            return;
        ScriptTransform& t = Transform(obj);
        // Scale so the unrotated content takes the asked size.
        if (prop == ClipProp::Width)
            t.xscale = number * 20 / size * 100;
        else
            t.yscale = number * 20 / size * 100;
        Recompose(obj);
        break;
    }
    default:
        break;
    }
}

// ---- Timeline control

void ScriptHost::GotoFrame(ClipId clip, int frame, bool play) {
    if (SpriteInstance* s = Instance(clip))
        movie_.GotoFrame(*s, frame - 1, play);
}

bool ScriptHost::GotoLabel(ClipId clip, const std::string& label, bool play) {
    SpriteInstance* s = Instance(clip);
    return s && movie_.GotoLabel(*s, label, play);
}

void ScriptHost::Play(ClipId clip) {
    if (SpriteInstance* s = Instance(clip))
        s->playing = true;
}

void ScriptHost::Stop(ClipId clip) {
    if (SpriteInstance* s = Instance(clip))
        s->playing = false;
}

void ScriptHost::CallFrame(ClipId clip, const std::string& frame) {
    SpriteInstance* s = Instance(clip);
    if (!s || !s->def)
        return;
    const double n = avm1::StringToNumber(frame, movie_.Header().version);
    int index = -1;
    if (!std::isnan(n))
        index = n >= 1 && n <= s->FrameCount() ? static_cast<int>(n) - 1 : -1;
    else
        index = s->def->FrameOfLabel(frame);
    if (index >= 0)
        movie_.CallFrame(*s, index);
}

// ---- Clips made and removed by scripts

ClipId ScriptHost::Duplicate(ClipId clip, const std::string& name, int depth) {
    return movie_.DuplicateClip(clip, name, depth);
}

void ScriptHost::Remove(ClipId clip) {
    movie_.RemoveClip(clip);
}

ClipId ScriptHost::CreateEmpty(ClipId parent, const std::string& name, int depth) {
    return movie_.CreateEmptyClip(parent, name, depth);
}

ClipId ScriptHost::Attach(ClipId parent, const std::string& linkage, const std::string& name,
                          int depth) {
    return movie_.AttachClip(parent, linkage, name, depth);
}

int ScriptHost::Depth(ClipId clip) {
    Place p;
    if (!Find(clip, p) || !p.obj)
        return 0;
    return p.depth - kScriptDepthBase;
}

int ScriptHost::NextHighestDepth(ClipId clip) {
    SpriteInstance* s = Instance(clip);
    if (!s || s->children.empty())
        return 0;
    const int d = s->children.rbegin()->first - kScriptDepthBase + 1;
    return std::max(0, d);
}

ClipId ScriptHost::InstanceAtDepth(ClipId clip, int depth) {
    SpriteInstance* s = Instance(clip);
    if (!s || depth < -kScriptDepthBase || depth >= kMaxScriptDepth)
        return 0;
    auto it = s->children.find(depth + kScriptDepthBase);
    return it == s->children.end() ? 0 : it->second.clipId;
}

void ScriptHost::SwapDepths(ClipId clip, int depth) {
    Place p;
    if (!Find(clip, p) || !p.obj || !p.owner)
        return;
    if (depth < -kScriptDepthBase || depth >= kMaxScriptDepth)
        return;
    movie_.SwapDepths(*p.owner, p.depth, depth + kScriptDepthBase);
}

void ScriptHost::SwapWith(ClipId clip, ClipId other) {
    Place a, b;
    if (!Find(clip, a) || !Find(other, b) || !a.obj || !b.obj || a.owner != b.owner)
        return;
    movie_.SwapDepths(*a.owner, a.depth, b.depth);
}

void ScriptHost::StartDrag(ClipId clip, bool lockCenter, bool constrain, double l, double t,
                           double r, double b) {
    swf::Rect rect;
    rect.xMin = static_cast<int32_t>(ToTwips(std::min(l, r)));
    rect.xMax = static_cast<int32_t>(ToTwips(std::max(l, r)));
    rect.yMin = static_cast<int32_t>(ToTwips(std::min(t, b)));
    rect.yMax = static_cast<int32_t>(ToTwips(std::max(t, b)));
    movie_.StartDrag(clip, lockCenter, constrain ? &rect : nullptr);
}

void ScriptHost::StopDrag() {
    movie_.StopDrag();
}

// ---- Drawing

Drawing* ScriptHost::DrawingOf(ClipId clip) {
    SpriteInstance* s = Instance(clip);
    if (!s)
        return nullptr;
    if (!s->drawing)
        s->drawing = std::make_shared<Drawing>();
    return s->drawing.get();
}

void ScriptHost::DrawClear(ClipId clip) {
    if (Drawing* d = DrawingOf(clip))
        d->Clear();
}

void ScriptHost::DrawPath(ClipId clip, int kind, double cx, double cy, double x, double y) {
    Drawing* d = DrawingOf(clip);
    if (!d)
        return;
    const raster::Point to{ToTwips(x), ToTwips(y)};
    if (kind == 0)
        d->MoveTo(to);
    else if (kind == 1)
        d->LineTo(to);
    else
        d->CurveTo({ToTwips(cx), ToTwips(cy)}, to);
}

void ScriptHost::DrawFillStyle(ClipId clip, const avm1::DrawFill* fill) {
    Drawing* d = DrawingOf(clip);
    if (!d)
        return;
    if (fill)
        d->BeginFill(PaintOf(*fill));
    else
        d->EndFill();
}

void ScriptHost::DrawLineStyle(ClipId clip, const avm1::DrawLine* line) {
    Drawing* d = DrawingOf(clip);
    if (!d)
        return;
    if (!line) {
        d->LineStyle(nullptr);
        return;
    }
    raster::StrokeStyle style;
    // Widths past 255 pixels are drawn as 255, as the player does.
    style.width = std::isfinite(line->width) ? std::max(0.0, std::min(255.0, line->width)) * 20 : 0;
    style.paint.kind = raster::Paint::Kind::Solid;
    style.paint.color = Color(line->color, line->alpha);
    style.pixelHinting = line->pixelHinting;
    style.scaleHorizontally = line->scale == 0 || line->scale == 3;
    style.scaleVertically = line->scale == 0 || line->scale == 2;
    style.startCap = style.endCap = line->caps == 1   ? raster::CapStyle::None
                                    : line->caps == 2 ? raster::CapStyle::Square
                                                      : raster::CapStyle::Round;
    style.join = line->joints == 1   ? raster::JoinStyle::Bevel
                 : line->joints == 2 ? raster::JoinStyle::Miter
                                     : raster::JoinStyle::Round;
    style.miterLimit =
        std::isfinite(line->miterLimit) ? std::max(1.0, std::min(255.0, line->miterLimit)) : 3;
    d->LineStyle(&style);
}

void ScriptHost::DrawLineFill(ClipId clip, const avm1::DrawFill& fill) {
    if (Drawing* d = DrawingOf(clip))
        d->LineFill(PaintOf(fill));
}

// ---- Geometry

void ScriptHost::ConvertPoint(ClipId clip, double& x, double& y, bool toGlobal) {
    raster::Matrix m = WorldMatrix(clip);
    if (!toGlobal) {
        raster::Matrix inv;
        if (!m.Invert(inv))
            return;
        m = inv;
    }
    const raster::Point q = m.Apply({x * 20, y * 20});
    x = q.x / 20;
    y = q.y / 20;
}

bool ScriptHost::Bounds(ClipId clip, ClipId space, double& xMin, double& yMin, double& xMax,
                        double& yMax) {
    Place p;
    swf::Rect local;
    if (!Find(clip, p) || !LocalBounds(p, local))
        return false;
    raster::Matrix toSpace = WorldMatrix(clip);
    if (space && space != clip) {
        raster::Matrix inv;
        if (!WorldMatrix(space).Invert(inv))
            return false;
        toSpace = inv.Concat(toSpace);
    } else if (space == clip) {
        toSpace = raster::Matrix();
    }
    MapRect(toSpace, local, xMin, yMin, xMax, yMax);
    xMin /= 20;
    yMin /= 20;
    xMax /= 20;
    yMax /= 20;
    return true;
}

bool ScriptHost::HitTestPoint(ClipId clip, double x, double y, bool shape) {
    if (shape && std::isfinite(x) && std::isfinite(y)) {
        Place p;
        if (!Find(clip, p))
            return false;
        const HitTester hit(movie_.Dictionary());
        const raster::Point at{x * 20, y * 20};
        if (p.obj)
            return hit.Object(*p.obj, WorldMatrix(p.owner ? p.owner->clipId : 0), at, false);
        return p.inst && hit.Instance(*p.inst, WorldMatrix(clip), at, false);
    }
    swf::Rect b;
    if (!StageBounds(clip, b))
        return false;
    const double tx = x * 20, ty = y * 20;
    return tx >= b.xMin && tx <= b.xMax && ty >= b.yMin && ty <= b.yMax;
}

bool ScriptHost::HitTestClip(ClipId clip, ClipId other) {
    swf::Rect a, b;
    if (!StageBounds(clip, a) || !StageBounds(other, b))
        return false;
    return a.xMin <= b.xMax && b.xMin <= a.xMax && a.yMin <= b.yMax && b.yMin <= a.yMax;
}

bool ScriptHost::KeyIsDown(int code) {
    return movie_.KeyIsDown(code);
}
int ScriptHost::LastKeyCode() {
    return movie_.LastKeyCode();
}
int ScriptHost::LastKeyAscii() {
    return movie_.LastKeyAscii();
}
ClipId ScriptHost::Focus() {
    return movie_.Focus();
}
bool ScriptHost::SetFocus(ClipId clip) {
    return movie_.SetFocus(clip);
}
bool ScriptHost::TextSelection(int& begin, int& end, int& caret) {
    return movie_.TextSelection(begin, end, caret);
}
void ScriptHost::SetTextSelection(int begin, int end) {
    movie_.SetTextSelection(begin, end);
}

void ScriptHost::SetMask(ClipId clip, ClipId mask) {
    Place p, m;
    if (!Find(clip, p) || !p.obj)
        return;
    // The old mask, if still there and still this clip's, shows again.
    if (p.obj->maskClip && Find(p.obj->maskClip, m) && m.obj && m.obj->maskedClip == clip) {
        m.obj->usedAsMask = false;
        m.obj->maskedClip = 0;
    }
    p.obj->maskClip = 0;
    if (!mask || mask == clip || !Find(mask, m) || !m.obj)
        return;
    // A mask limits one clip at a time: the clip it limited before is
    // left unmasked.
    Place before;
    if (m.obj->maskedClip && m.obj->maskedClip != clip && Find(m.obj->maskedClip, before) &&
        before.obj && before.obj->maskClip == mask)
        before.obj->maskClip = 0;
    // A script mask replaces any masking the timeline gave either clip: a
    // layer mask used here stops masking its depths, and a masked layer
    // mask is drawn as an ordinary clip.
    m.obj->clipDepth = 0;
    p.obj->clipDepth = 0;
    m.obj->usedAsMask = true;
    m.obj->maskedClip = clip;
    p.obj->maskClip = mask;
}

bool ScriptHost::MaskPlace(ClipId mask, const DisplayObject*& obj, raster::Matrix& parent) {
    Place p;
    if (!Find(mask, p) || !p.obj)
        return false;
    obj = p.obj;
    raster::Matrix acc;
    ClipId c = p.owner ? p.owner->clipId : 0;
    for (int guard = 0; c && c != kRoot && guard <= kMaxNesting + 2; ++guard) {
        Place q;
        if (!Find(c, q) || !q.obj)
            break;
        acc = q.obj->matrix.Concat(acc);
        c = q.owner ? q.owner->clipId : 0;
    }
    parent = acc;
    return true;
}

bool ScriptHost::AttachBitmap(ClipId clip, std::shared_ptr<const raster::BitmapData> pixels,
                              int depth, bool smoothing) {
    return movie_.AttachBitmap(clip, std::move(pixels), depth, smoothing);
}

// The main timeline has no display object: its placement is the movie's.
bool ScriptHost::ClipMatrix(ClipId clip, double matrix[6]) {
    Place p;
    if (!Find(clip, p))
        return false;
    const raster::Matrix& m = p.obj ? p.obj->matrix : movie_.RootProps().matrix;
    const double v[6] = {m.a, m.b, m.c, m.d, m.tx / 20, m.ty / 20};
    std::copy(v, v + 6, matrix);
    return true;
}

void ScriptHost::SetClipMatrix(ClipId clip, const double matrix[6]) {
    Place p;
    if (!Find(clip, p))
        return;
    for (int i = 0; i < 6; ++i)
        if (!std::isfinite(matrix[i]))
            return;
    DisplayObject& obj = p.obj ? *p.obj : movie_.RootProps();
    obj.matrix = raster::Matrix{matrix[0], matrix[1],          matrix[2],
                                matrix[3], ToTwips(matrix[4]), ToTwips(matrix[5])};
    obj.scriptTransform.valid = false;
    obj.scriptMoved = true;
}

bool ScriptHost::ClipColor(ClipId clip, double color[8]) {
    Place p;
    if (!Find(clip, p))
        return false;
    const raster::ColorTransform& c = p.obj ? p.obj->cxform : movie_.RootProps().cxform;
    const double v[8] = {c.rMul, c.gMul, c.bMul, c.aMul, c.rAdd, c.gAdd, c.bAdd, c.aAdd};
    std::copy(v, v + 8, color);
    return true;
}

void ScriptHost::SetClipColor(ClipId clip, const double color[8]) {
    Place p;
    if (!Find(clip, p))
        return;
    for (int i = 0; i < 8; ++i)
        if (!std::isfinite(color[i]))
            return;
    DisplayObject& obj = p.obj ? *p.obj : movie_.RootProps();
    obj.cxform = raster::ColorTransform{color[0], color[1], color[2], color[3],
                                        color[4], color[5], color[6], color[7]};
    obj.scriptMoved = true;
}

// The clip's own list (drawing and children) without its place on the
// stage, through the script's matrix; twips to pixels first.
bool ScriptHost::RenderClip(ClipId clip, const double matrix[6], int width, int height,
                            std::vector<uint32_t>& out) {
    Place p;
    if (!Find(clip, p) || !p.inst || width <= 0 || height <= 0)
        return false;
    for (int i = 0; i < 6; ++i)
        if (!std::isfinite(matrix[i]))
            return false;
    raster::FrameBuffer fb(width, height);
    fb.Clear(raster::Rgba{0, 0, 0, 0});
    {
        raster::Canvas canvas(fb);
        DisplayRenderer renderer(canvas, movie_.Dictionary());
        const raster::Matrix m{matrix[0], matrix[1], matrix[2], matrix[3], matrix[4], matrix[5]};
        renderer.DrawList(*p.inst, m.Concat(raster::Matrix{0.05, 0, 0, 0.05, 0, 0}),
                          raster::ColorTransform());
    }
    if (fb.Width() != width || fb.Height() != height)
        return false;
    out = std::move(fb.Pixels());
    return true;
}

} // namespace zembra::timeline
