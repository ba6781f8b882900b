#include "tools/swfgen/uDemoMovie.h"

#include <cmath>
#include <stdexcept>

#include "tools/swfgen/uSwfWriter.h"

namespace zembra::swfgen {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kTwips = 20;
constexpr int32_t kStageW = kDemoStageWidth * kTwips;
constexpr int32_t kStageH = kDemoStageHeight * kTwips;

constexpr uint16_t kHills = 1, kSun = 2, kStar = 3;
constexpr uint16_t kHillsDepth = 1, kSunDepth = 2, kStarDepth = 3;
constexpr int32_t kSunRadius = 1400;

Rgba Color(uint32_t rgb) {
    return Rgba{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>((rgb >> 8) & 0xFF),
                static_cast<uint8_t>(rgb & 0xFF), 255};
}

int32_t Round(double v) {
    return static_cast<int32_t>(std::lround(v));
}

std::vector<uint8_t> HillsShape() {
    ShapeOutline o;
    o.MoveTo(0, 6400);
    o.CurveTo(3200, 5000, 6400, 6600);
    o.CurveTo(9600, 8200, kStageW, 5800);
    o.LineTo(kStageW, kStageH);
    o.LineTo(0, kStageH);
    o.LineTo(0, 6400);
    Fill f;
    f.kind = Fill::Kind::Linear;
    // The gradient's x axis turned onto the screen's y axis, spanning the
    // hills from their highest point to the bottom of the stage.
    const double span = (kStageH - 5400) / 32768.0;
    f.matrix.a = 0;
    f.matrix.d = 0;
    f.matrix.b = span;
    f.matrix.c = -span;
    f.matrix.tx = kStageW / 2;
    f.matrix.ty = (kStageH + 5400) / 2;
    f.stops = {{0, Color(DemoPalette::kHillsTop)}, {255, Color(DemoPalette::kHillsFoot)}};
    return DefineShape3(kHills, o, f);
}

// A circle from eight quadratic curves.
std::vector<uint8_t> SunShape() {
    ShapeOutline o;
    const double control = kSunRadius / std::cos(kPi / 8);
    o.MoveTo(kSunRadius, 0);
    for (int k = 1; k <= 8; ++k) {
        const double mid = (k - 0.5) * kPi / 4, end = k * kPi / 4;
        o.CurveTo(Round(control * std::cos(mid)), Round(control * std::sin(mid)),
                  Round(kSunRadius * std::cos(end)), Round(kSunRadius * std::sin(end)));
    }
    Fill f;
    f.kind = Fill::Kind::Radial;
    const double scale = kSunRadius / 16384.0;
    f.matrix.a = scale;
    f.matrix.d = scale;
    f.stops = {{0, Color(DemoPalette::kSunCore)},
               {140, Color(0xFFC020)},
               {255, Color(DemoPalette::kSunEdge)}};
    return DefineShape3(kSun, o, f);
}

// Four curved points around the origin.
std::vector<uint8_t> StarShape() {
    ShapeOutline o;
    const int32_t tip = 900, waist = 150;
    o.MoveTo(0, -tip);
    o.CurveTo(waist, -waist, tip, 0);
    o.CurveTo(waist, waist, 0, tip);
    o.CurveTo(-waist, waist, -tip, 0);
    o.CurveTo(-waist, -waist, 0, -tip);
    Fill f;
    f.color = Color(DemoPalette::kStar);
    return DefineShape3(kStar, o, f);
}

Placement SunAt(int frame, int frames) {
    const double t = frames > 1 ? static_cast<double>(frame) / (frames - 1) : 0;
    Placement p;
    p.tx = Round(1600 + t * (kStageW - 3200));
    // An arc: low at both ends, high in the middle.
    p.ty = Round(5600 - 4000 * std::sin(t * kPi));
    return p;
}

Placement StarAt(int frame, int frames) {
    const double t = frames > 1 ? static_cast<double>(frame) / (frames - 1) : 0;
    const double angle = frame * kPi / 30;
    const double scale = 0.8 + 0.4 * std::sin(t * 2 * kPi);
    Placement p;
    p.a = scale * std::cos(angle);
    p.b = scale * std::sin(angle);
    p.c = -p.b;
    p.d = p.a;
    p.tx = Round(kStageW - 2000 - t * 4000);
    p.ty = 2000;
    return p;
}

} // namespace

std::vector<uint8_t> BuildDemoMovie(const DemoMovieOptions& options) {
    if (options.frames < 1 || options.frames > 2000)
        throw std::invalid_argument("frames must be 1..2000");
    if (!(options.frameRate >= 1 && options.frameRate <= 120))
        throw std::invalid_argument("frame rate must be 1..120");

    std::vector<std::vector<uint8_t>> tags;
    const Rgba bg = Color(DemoPalette::kBackground);
    tags.push_back(Tag(9, {bg.r, bg.g, bg.b}));
    tags.push_back(HillsShape());
    tags.push_back(SunShape());
    tags.push_back(StarShape());
    tags.push_back(PlaceObject2(kHillsDepth, kHills, Placement{}));
    tags.push_back(PlaceObject2(kSunDepth, kSun, SunAt(0, options.frames)));
    tags.push_back(PlaceObject2(kStarDepth, kStar, StarAt(0, options.frames)));
    for (int frame = 0; frame < options.frames; ++frame) {
        if (frame > 0) {
            tags.push_back(PlaceObject2(kSunDepth, 0, SunAt(frame, options.frames)));
            tags.push_back(PlaceObject2(kStarDepth, 0, StarAt(frame, options.frames)));
        }
        if (options.quitAtEnd && frame == options.frames - 1)
            tags.push_back(DoGetUrl("FSCommand:quit", ""));
        tags.push_back(Tag(1, {})); // show frame
    }
    return MovieFile(6, kStageW, kStageH, options.frameRate, static_cast<uint16_t>(options.frames),
                     tags, options.compress);
}

} // namespace zembra::swfgen
