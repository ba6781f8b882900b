// The built-in player's portable parts: the control's value forms, the
// engine glue, and the demo movie the generator writes (it must load and
// play in the engine the saver uses).
#include "player/uMovieSession.h"
#include "player/uPlayerValues.h"
#include "tools/swfgen/uDemoMovie.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zembra::player {
namespace {

using movie::ScaleMode;
using swfgen::BuildDemoMovie;
using swfgen::DemoMovieOptions;
using swfgen::DemoPalette;

TEST(PlayerValues, QualityNumbersAsHostsPassThem) {
    EXPECT_EQ(QualityFromControl(0), raster::Quality::Low);
    EXPECT_EQ(QualityFromControl(1), raster::Quality::High);
    EXPECT_EQ(QualityFromControl(2), raster::Quality::Low);
    EXPECT_EQ(QualityFromControl(3), raster::Quality::High);
    EXPECT_EQ(QualityFromControl(4), raster::Quality::Medium);
    EXPECT_EQ(QualityFromControl(5), raster::Quality::Best);
    EXPECT_EQ(QualityFromControl(-1), raster::Quality::High);
    EXPECT_EQ(QualityFromControl(6), raster::Quality::High);
}

TEST(PlayerValues, ScaleTextsInAnyCaseOthersRefused) {
    ScaleMode m = ScaleMode::NoScale;
    EXPECT_TRUE(ScaleModeFromText(L"exactfit", m));
    EXPECT_EQ(m, ScaleMode::ExactFit);
    EXPECT_TRUE(ScaleModeFromText(L"ShowAll", m));
    EXPECT_EQ(m, ScaleMode::ShowAll);
    EXPECT_TRUE(ScaleModeFromText(L"NOBORDER", m));
    EXPECT_EQ(m, ScaleMode::NoBorder);
    EXPECT_TRUE(ScaleModeFromText(L"noScale", m));
    EXPECT_EQ(m, ScaleMode::NoScale);
    for (const wchar_t* bad : {L"", L"exact", L"showall ", L"exactfitx", L"\x0130noscale"}) {
        m = ScaleMode::NoBorder;
        EXPECT_FALSE(ScaleModeFromText(bad, m));
        EXPECT_EQ(m, ScaleMode::NoBorder);
    }
}

TEST(PlayerValues, ColoursSwapFromWindowsOrderAndNoColourStays) {
    EXPECT_EQ(EngineColorFromControl(0x00332211), 0x00112233);
    EXPECT_EQ(EngineColorFromControl(0x000000FF), 0x00FF0000);
    // The unused top byte of a Windows colour is dropped.
    EXPECT_EQ(EngineColorFromControl(0x01332211), 0x00112233);
    EXPECT_EQ(EngineColorFromControl(-1), -1);
}

TEST(PlayerValues, Utf8FromUtf16) {
    EXPECT_EQ(Utf8FromUtf16(L"a=1&b=\x00E9"), "a=1&b=\xC3\xA9");
    EXPECT_EQ(Utf8FromUtf16(L"\x65E5"), "\xE6\x97\xA5");
    if (sizeof(wchar_t) == 2) {
        const wchar_t pair[] = {0xD83D, 0xDE00, 0};
        EXPECT_EQ(Utf8FromUtf16(pair), "\xF0\x9F\x98\x80");
        const wchar_t lone[] = {L'x', 0xD800, L'y', 0};
        EXPECT_EQ(Utf8FromUtf16(lone), "x\xEF\xBF\xBDy");
    }
}

TEST(PlayerValues, PremultipliedPixelsBecomeOpaqueGdiPixels) {
    // 0xAABBGGRR in, 0xFFRRGGBB out; half-transparent red shows as dark red.
    const std::uint32_t in[] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0x80000080u, 0u};
    std::uint32_t out[5] = {};
    ToOpaqueBgra(in, out, 5);
    EXPECT_EQ(out[0], 0xFFFF0000u);
    EXPECT_EQ(out[1], 0xFF00FF00u);
    EXPECT_EQ(out[2], 0xFF0000FFu);
    EXPECT_EQ(out[3], 0xFF800000u);
    EXPECT_EQ(out[4], 0xFF000000u);
}

// GDI pixel 0x??RRGGBB of an RGB value, each channel within `tolerance`.
bool Near(std::uint32_t pixel, std::uint32_t rgb, int tolerance = 3) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = static_cast<int>((pixel >> shift) & 0xFF);
        const int b = static_cast<int>((rgb >> shift) & 0xFF);
        if (a - b > tolerance || b - a > tolerance)
            return false;
    }
    return true;
}

std::size_t CountNear(const std::vector<std::uint32_t>& pixels, std::uint32_t rgb, int tol) {
    std::size_t n = 0;
    for (std::uint32_t p : pixels)
        n += Near(p, rgb, tol) ? 1 : 0;
    return n;
}

TEST(DemoMovie, LoadsWithItsFramesRateAndStage) {
    for (bool compress : {false, true}) {
        DemoMovieOptions o;
        o.compress = compress;
        movie::MoviePlayer engine;
        ASSERT_TRUE(engine.Load(BuildDemoMovie(o))) << engine.Error();
        EXPECT_EQ(engine.Info().frameCount, 150);
        EXPECT_DOUBLE_EQ(engine.Info().frameRate, 30.0);
        EXPECT_DOUBLE_EQ(engine.Info().stageWidth, 640.0);
        EXPECT_DOUBLE_EQ(engine.Info().stageHeight, 480.0);
        EXPECT_EQ(engine.Info().compression,
                  compress ? movie::Compression::Zlib : movie::Compression::None);
        EXPECT_EQ(engine.FrameIntervalMs(), 33);
    }
    DemoMovieOptions o;
    o.frames = 12;
    o.frameRate = 12;
    movie::MoviePlayer engine;
    ASSERT_TRUE(engine.Load(BuildDemoMovie(o)));
    EXPECT_EQ(engine.Info().frameCount, 12);
    EXPECT_EQ(engine.FrameIntervalMs(), 83);
}

TEST(DemoMovie, OptionsOutOfRangeAreRefused) {
    DemoMovieOptions o;
    o.frames = 0;
    EXPECT_THROW(BuildDemoMovie(o), std::invalid_argument);
    o.frames = 10;
    o.frameRate = 0;
    EXPECT_THROW(BuildDemoMovie(o), std::invalid_argument);
}

TEST(MovieSession, PlaysTheDemoQuitsOnTheLastFrameAndShowsItsColours) {
    DemoMovieOptions o;
    o.frames = 20;
    MovieSession s;
    s.SetQuality(1);
    s.SetBackgroundColor(-1); // the movie's own sky
    ASSERT_TRUE(s.Load(BuildDemoMovie(o)));
    for (int i = 0; i < 19; ++i)
        EXPECT_TRUE(s.Advance().empty()) << i;
    const std::vector<MovieCommand> last = s.Advance();
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].command, "quit");
    EXPECT_EQ(last[0].args, "");

    const std::vector<std::uint32_t>& px = s.Render(320, 240);
    ASSERT_EQ(px.size(), 320u * 240u);
    EXPECT_EQ(s.RenderedWidth(), 320);
    EXPECT_EQ(s.RenderedHeight(), 240);
    EXPECT_TRUE(Near(px[0], DemoPalette::kBackground)); // top-left: sky
    // Bottom rows: the hills' gradient, green-blue, never the sky.
    EXPECT_FALSE(Near(px[239 * 320 + 160], DemoPalette::kBackground, 20));
    EXPECT_GT(CountNear(px, DemoPalette::kStar, 6), 100u);
    // The sun: some pixels in the yellow-orange range (red high, blue low).
    std::size_t sunny = 0;
    for (std::uint32_t p : px)
        sunny += (((p >> 16) & 0xFF) > 200 && (p & 0xFF) < 90) ? 1 : 0;
    EXPECT_GT(sunny, 200u);
}

TEST(MovieSession, TheSunMovesBetweenFrames) {
    MovieSession s;
    ASSERT_TRUE(s.Load(BuildDemoMovie(DemoMovieOptions{})));
    s.Advance();
    const std::vector<std::uint32_t> first = s.Render(160, 120);
    for (int i = 0; i < 30; ++i)
        s.Advance();
    const std::vector<std::uint32_t>& later = s.Render(160, 120);
    EXPECT_NE(first, later);
}

TEST(MovieSession, LoopingOffHoldsTheLastFrameStoppingHoldsTheCount) {
    DemoMovieOptions o;
    o.frames = 3;
    o.quitAtEnd = false;
    MovieSession s;
    s.SetLoop(false);
    ASSERT_TRUE(s.Load(BuildDemoMovie(o)));
    for (int i = 0; i < 3; ++i)
        s.Advance();
    const std::vector<std::uint32_t> last = s.Render(64, 48);
    for (int i = 0; i < 7; ++i)
        s.Advance();
    EXPECT_EQ(s.Render(64, 48), last);
    const std::uint64_t run = s.FramesRun();
    s.SetPlaying(false);
    s.Advance();
    EXPECT_EQ(s.FramesRun(), run);
}

TEST(MovieSession, BackgroundColourOverridesAndShowsWithoutAMovie) {
    MovieSession s;
    s.SetBackgroundColor(0x00332211); // Windows order: red 0x11
    EXPECT_FALSE(s.Load({'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'}));
    EXPECT_FALSE(s.Loaded());
    EXPECT_FALSE(s.Error().empty());
    EXPECT_TRUE(s.Advance().empty());
    const std::vector<std::uint32_t>& px = s.Render(8, 4);
    ASSERT_EQ(px.size(), 32u);
    for (std::uint32_t p : px)
        EXPECT_EQ(p & 0xFFFFFF, 0x112233u);
    // Settings given before a movie hold for it.
    ASSERT_TRUE(s.Load(BuildDemoMovie(DemoMovieOptions{})));
    s.Advance();
    EXPECT_EQ(s.Render(8, 4)[0] & 0xFFFFFF, 0x112233u);
}

TEST(MovieSession, EmptyAndHugeSizes) {
    MovieSession s;
    EXPECT_TRUE(s.Render(0, 100).empty());
    EXPECT_TRUE(s.Render(100, -1).empty());
    EXPECT_EQ(s.RenderedWidth(), 0);
    // The renderer caps a side; what comes back matches what it says.
    const std::vector<std::uint32_t>& px = s.Render(20000, 1);
    EXPECT_EQ(px.size(), static_cast<std::size_t>(s.RenderedWidth()) * s.RenderedHeight());
    EXPECT_LE(s.RenderedWidth(), 16384);
}

} // namespace
} // namespace zembra::player
