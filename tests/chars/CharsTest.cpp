// Character definitions: how shape edges become fill and stroke paths,
// gradient tables, bitmap formats, JPEG table merging, morph interpolation,
// filter lists, and damaged definitions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <stb_image_write.h>

#include "chars/uBitmapDecode.h"
#include "chars/uCharacters.h"
#include "chars/uFilterList.h"
#include "tests/swf/uSwfBuilder.h"

using namespace zembra;
using namespace zembra::testing;

namespace {

swf::Tag AsTag(const std::vector<uint8_t>& bytes) {
    auto tags = swf::SplitTags(bytes.data(), bytes.size());
    EXPECT_EQ(tags.size(), 1u);
    return tags.empty() ? swf::Tag() : tags[0];
}

const chars::ShapeGeometry& GeometryOf(chars::Dictionary& d, uint16_t id) {
    const auto* s = static_cast<const chars::ShapeChar*>(d.Get(id));
    EXPECT_TRUE(s && s->kind == chars::Kind::Shape);
    return s->geometry;
}

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& raw) {
    uLongf len = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> out(len);
    compress(out.data(), &len, raw.data(), static_cast<uLong>(raw.size()));
    out.resize(len);
    return out;
}

// Two squares side by side sharing one edge: left uses fill 1, right fill 2.
// The shared edge runs down, so the right square is on its left (fill0 = 2)
// and the left square on its right (fill1 = 1). The left square also has
// line style 1.
std::vector<uint8_t> TwoSquares(bool shape4NonZero) {
    BitWriter w;
    w.U16(7);
    w.Rect(0, 200, 0, 100);
    w.Rect(0, 200, 0, 100);
    w.U8(shape4NonZero ? 0x04 : 0);
    w.U8(2);
    for (uint32_t c : {0xff0000ffu, 0x00ff00ffu}) {
        w.U8(0);
        w.U8(c >> 24);
        w.U8((c >> 16) & 0xff);
        w.U8((c >> 8) & 0xff);
        w.U8(c & 0xff);
    }
    w.U8(1); // one line style (LINESTYLE2)
    w.U16(20);
    w.U8(0);
    w.U8(0);
    w.U8(0);
    w.U8(0);
    w.U8(0);
    w.U8(255);
    w.UB(2, 4);
    w.UB(1, 4);
    auto style = [&](int f0, int f1, int line, bool move, int x, int y) {
        w.UB(0, 1);
        w.UB(0, 1);
        w.UB(line >= 0, 1);
        w.UB(f1 >= 0, 1);
        w.UB(f0 >= 0, 1);
        w.UB(move, 1);
        if (move) {
            w.UB(10, 5);
            w.SB(x, 10);
            w.SB(y, 10);
        }
        if (f0 >= 0)
            w.UB(static_cast<uint32_t>(f0), 2);
        if (f1 >= 0)
            w.UB(static_cast<uint32_t>(f1), 2);
        if (line >= 0)
            w.UB(static_cast<uint32_t>(line), 1);
    };
    auto edge = [&](int dx, int dy) {
        w.UB(1, 1);
        w.UB(1, 1);
        w.UB(8, 4); // 10 bits
        w.UB(1, 1);
        w.SB(dx, 10);
        w.SB(dy, 10);
    };
    // Left square clockwise from (0,0) with fill1 = 1 and the line; the
    // shared edge (100,0)->(100,100) has fill0 = 2 as well.
    style(0, 1, 1, true, 0, 0);
    edge(100, 0);
    style(2, -1, -1, false, 0, 0);
    edge(0, 100);
    style(0, -1, -1, false, 0, 0);
    edge(-100, 0);
    edge(0, -100);
    // The right square's other three edges, clockwise with fill1 = 2.
    style(0, 2, 0, true, 100, 0);
    edge(100, 0);
    edge(0, 100);
    edge(-100, 0);
    w.UB(0, 6);
    w.Align();
    return Tag(83, w.bytes);
}

} // namespace

TEST(Shapes, EdgesGoToTheFillsOnEitherSideAndTheLine) {
    chars::Dictionary d;
    ASSERT_TRUE(d.Define(AsTag(TwoSquares(false))));
    const chars::ShapeGeometry& g = GeometryOf(d, 7);
    EXPECT_EQ(g.rule, raster::FillRule::EvenOdd);
    ASSERT_EQ(g.layers.size(), 1u);
    const chars::ShapeLayer& l = g.layers[0];
    ASSERT_EQ(l.fills.size(), 2u);
    EXPECT_EQ(l.fills[0].paint.color.r, 255);
    EXPECT_EQ(l.fills[1].paint.color.g, 255);
    EXPECT_EQ(l.fills[0].segments.size(), 4u);
    EXPECT_EQ(l.fills[1].segments.size(), 4u);
    // The shared edge is in both: as drawn for fill 1, reversed for fill 2.
    const raster::Segment& shared1 = l.fills[0].segments[1];
    EXPECT_DOUBLE_EQ(shared1.from.x, 100);
    EXPECT_DOUBLE_EQ(shared1.from.y, 0);
    EXPECT_DOUBLE_EQ(shared1.to.y, 100);
    const raster::Segment& shared2 = l.fills[1].segments[0];
    EXPECT_DOUBLE_EQ(shared2.from.x, 100);
    EXPECT_DOUBLE_EQ(shared2.from.y, 100);
    EXPECT_DOUBLE_EQ(shared2.to.y, 0);
    // Both outlines run the same way round (non-zero filling works).
    std::vector<double> areas;
    for (const chars::FillPath& f : l.fills) {
        double area = 0;
        for (const raster::Segment& s : f.segments)
            area += s.from.x * s.to.y - s.to.x * s.from.y;
        areas.push_back(area);
    }
    EXPECT_DOUBLE_EQ(std::fabs(areas[0]), 20000);
    EXPECT_DOUBLE_EQ(areas[0], areas[1]);
    ASSERT_EQ(l.strokes.size(), 1u);
    EXPECT_EQ(l.strokes[0].segments.size(), 4u); // the left square, until the line is reset
    EXPECT_DOUBLE_EQ(l.strokes[0].style.width, 20);
    EXPECT_TRUE(g.HitTest({50, 50}));
    EXPECT_TRUE(g.HitTest({150, 50}));
    EXPECT_FALSE(g.HitTest({250, 50}));

    chars::Dictionary d2;
    d2.Define(AsTag(TwoSquares(true)));
    EXPECT_EQ(GeometryOf(d2, 7).rule, raster::FillRule::NonZero);
}

TEST(Shapes, GradientTables) {
    using Stops = std::vector<raster::GradientStop>;
    Stops increasing = {{0, {255, 0, 0, 255}}, {128, {0, 255, 0, 255}}, {255, {0, 0, 255, 255}}};
    Stops copy = increasing;
    chars::NormalizeStops(copy, false);
    ASSERT_EQ(copy.size(), 3u);
    EXPECT_DOUBLE_EQ(copy[1].ratio, 128);

    // Repeated ratios become one-entry bands; after the last stop its colour.
    Stops repeated = {{10, {255, 0, 0, 255}},
                      {10, {0, 255, 0, 255}},
                      {10, {0, 0, 255, 255}},
                      {100, {0, 0, 0, 255}}};
    chars::NormalizeStops(repeated, false);
    ASSERT_EQ(repeated.size(), 256u);
    EXPECT_EQ(repeated[9].color.r, 255);
    EXPECT_EQ(repeated[10].color.r, 255);
    EXPECT_EQ(repeated[11].color.g, 255);
    EXPECT_GT(repeated[12].color.b, 240); // the ramp to black starts here
    EXPECT_LT(repeated[60].color.b, 255);
    EXPECT_EQ(repeated[200].color.b, 0);
    for (size_t i = 0; i < repeated.size(); ++i)
        EXPECT_DOUBLE_EQ(repeated[i].ratio, double(i));

    // A stop below its predecessor does not fold the gradient back.
    Stops backwards = {{0, {255, 0, 0, 255}}, {200, {0, 255, 0, 255}}, {100, {0, 0, 255, 255}}};
    chars::NormalizeStops(backwards, true);
    ASSERT_EQ(backwards.size(), 256u);
    EXPECT_EQ(backwards[200].color.g, 255);
    EXPECT_EQ(backwards[255].color.b, 255);
}

TEST(Bitmaps, LosslessFormats) {
    // Colour-mapped, 3 pixels wide (rows padded to 4), lossless 2 (RGBA
    // palette, premultiplied; a colour above its alpha is clamped).
    std::vector<uint8_t> raw = {10, 20, 30, 255, 200, 0, 0, 100, // palette
                                0,  1,  1,  9,                   // row 0 (+ pad)
                                1,  0,  0,  9};                  // row 1
    std::vector<uint8_t> body = {3, 3, 0, 2, 0, 1};
    auto z = Zlib(raw);
    body.insert(body.end(), z.begin(), z.end());
    auto bmp = chars::DecodeLossless(body.data(), body.size(), 2);
    ASSERT_TRUE(bmp);
    ASSERT_EQ(bmp->width, 3);
    ASSERT_EQ(bmp->height, 2);
    EXPECT_EQ(bmp->pixels[0], 0xff1e140au);
    EXPECT_EQ(bmp->pixels[1], 0x64000064u); // r clamped to alpha 100
    EXPECT_EQ(bmp->pixels[3], 0x64000064u);
    EXPECT_EQ(bmp->pixels[4], 0xff1e140au);

    // 15-bit, lossless 1: one white and one pure-red pixel.
    std::vector<uint8_t> raw15 = {0x7f, 0xff, 0x7c, 0x00};
    std::vector<uint8_t> b15 = {4, 2, 0, 1, 0};
    z = Zlib(raw15);
    b15.insert(b15.end(), z.begin(), z.end());
    bmp = chars::DecodeLossless(b15.data(), b15.size(), 1);
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->pixels[0], 0xffffffffu);
    EXPECT_EQ(bmp->pixels[1], 0xff0000ffu);

    // 32-bit with short data: the missing pixels stay transparent.
    std::vector<uint8_t> raw32 = {255, 1, 2, 3};
    std::vector<uint8_t> b32 = {5, 2, 0, 2, 0};
    z = Zlib(raw32);
    b32.insert(b32.end(), z.begin(), z.end());
    bmp = chars::DecodeLossless(b32.data(), b32.size(), 2);
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->pixels[0], 0xff030201u);
    EXPECT_EQ(bmp->pixels[3], 0u);

    // Absurd sizes are refused before anything is allocated.
    std::vector<uint8_t> huge = {5, 0xff, 0xff, 0xff, 0xff, 0x78, 0x9c};
    EXPECT_FALSE(chars::DecodeLossless(huge.data(), huge.size(), 2));
}

namespace {

void Append(void* ctx, void* data, int size) {
    auto* v = static_cast<std::vector<uint8_t>*>(ctx);
    v->insert(v->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

} // namespace

TEST(Bitmaps, JpegTablesAreMergedAndStrayMarkersRemoved) {
    std::vector<uint8_t> rgb(8 * 8 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = 250;
        rgb[i + 1] = 10;
        rgb[i + 2] = 10;
    }
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(stbi_write_jpg_to_func(Append, &jpeg, 8, 8, 3, rgb.data(), 95));
    // Split where the frame header starts: tables before (as JPEGTables,
    // ending in EOI), the rest after (starting with SOI).
    size_t sof = 0;
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xff && jpeg[i + 1] == 0xc0) {
            sof = i;
            break;
        }
    ASSERT_GT(sof, 0u);
    std::vector<uint8_t> tables(jpeg.begin(), jpeg.begin() + static_cast<long>(sof));
    tables.push_back(0xff);
    tables.push_back(0xd9);
    std::vector<uint8_t> image = {0xff, 0xd8};
    image.insert(image.end(), jpeg.begin() + static_cast<long>(sof), jpeg.end());

    chars::Dictionary d;
    d.Define(AsTag(Tag(8, tables)));
    std::vector<uint8_t> body = {5, 0};
    body.insert(body.end(), image.begin(), image.end());
    d.Define(AsTag(Tag(6, body)));
    auto bmp = d.BitmapFor(5);
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->width, 8);
    EXPECT_GT(bmp->pixels[0] & 0xff, 200u);

    // A complete JPEG with the stray EOI+SOI pair in front, and an alpha
    // plane (DefineBitsJPEG3).
    std::vector<uint8_t> stray = {0xff, 0xd9, 0xff, 0xd8};
    stray.insert(stray.end(), jpeg.begin(), jpeg.end());
    std::vector<uint8_t> j3 = {6, 0};
    const uint32_t len = static_cast<uint32_t>(stray.size());
    for (int i = 0; i < 4; ++i)
        j3.push_back(static_cast<uint8_t>(len >> (8 * i)));
    j3.insert(j3.end(), stray.begin(), stray.end());
    auto alpha = Zlib(std::vector<uint8_t>(64, 128));
    j3.insert(j3.end(), alpha.begin(), alpha.end());
    d.Define(AsTag(Tag(35, j3)));
    bmp = d.BitmapFor(6);
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->pixels[0] >> 24, 128u);
    EXPECT_LE(bmp->pixels[0] & 0xff, 128u); // premultiplied
}

TEST(Morphs, InterpolatePositionsAndColours) {
    BitWriter w;
    w.U16(3);
    w.Rect(0, 100, 0, 100);
    w.Rect(0, 300, 0, 300);
    BitWriter startEdges;
    auto shape = [](BitWriter& s, int size, bool styles) {
        s.UB(1, 4);
        s.UB(0, 4);
        s.UB(0, 1);
        s.UB(0, 1);
        s.UB(0, 1);
        s.UB(styles ? 1 : 0, 1);
        s.UB(0, 1);
        s.UB(1, 1);
        s.UB(11, 5);
        s.SB(0, 11);
        s.SB(0, 11);
        if (styles)
            s.UB(1, 1);
        for (auto [dx, dy] : {std::pair{size, 0}, {0, size}, {-size, 0}, {0, -size}}) {
            s.UB(1, 1);
            s.UB(1, 1);
            s.UB(9, 4);
            s.UB(1, 1);
            s.SB(dx, 11);
            s.SB(dy, 11);
        }
        s.UB(0, 6);
        s.Align();
    };
    BitWriter styles;
    styles.U8(1);
    styles.U8(0);
    for (uint8_t v : {255, 0, 0, 255, 0, 0, 255, 255})
        styles.U8(v);
    styles.U8(0);
    shape(startEdges, 100, true);
    const uint32_t offset = static_cast<uint32_t>(styles.bytes.size() + startEdges.bytes.size());
    w.U32(offset);
    w.Bytes(styles.bytes);
    w.Bytes(startEdges.bytes);
    BitWriter endEdges;
    shape(endEdges, 300, false);
    w.Bytes(endEdges.bytes);

    chars::Dictionary d;
    d.Define(AsTag(Tag(46, w.bytes)));
    auto* m = d.As<chars::MorphChar>(3, chars::Kind::Morph);
    ASSERT_TRUE(m);
    const chars::ShapeGeometry& half = m->morph.At(32768, nullptr);
    ASSERT_EQ(half.layers.size(), 1u);
    ASSERT_EQ(half.layers[0].fills.size(), 1u);
    const auto& f = half.layers[0].fills[0];
    EXPECT_NEAR(f.segments[0].to.x, 200, 0.1);
    EXPECT_NEAR(f.paint.color.r, 128, 1);
    EXPECT_NEAR(f.paint.color.b, 128, 1);
    EXPECT_NEAR(half.bounds.xMax, 200, 1);
    const chars::ShapeGeometry& end = m->morph.At(65535, nullptr);
    EXPECT_NEAR(end.layers[0].fills[0].segments[1].to.y, 300, 0.1);
}

TEST(Dictionary, DamagedDefinitionsNeverReadOutside) {
    // Every definition kind, cut at every length: nothing may crash or
    // read past the tag (the sanitizers watch), whatever is kept.
    const std::vector<std::vector<uint8_t>> wholes = {
        RectShape(1, 1, 0, 0, 100, 100, 0xff0000ff, 20), RectShape(1, 3, 0, 0, 100, 100, 0x80, 20),
        TwoSquares(true)};
    for (const auto& whole : wholes) {
        const swf::Tag t = AsTag(whole);
        for (uint32_t n = 0; n <= t.length; ++n) {
            std::vector<uint8_t> cut(t.data, t.data + n);
            chars::Dictionary d;
            d.Define(swf::Tag{t.code, cut.data(), n});
        }
    }
    const uint16_t codes[] = {2,  6,  7,  8,  10, 11, 13, 20, 21, 22, 23, 32, 33,
                              34, 35, 36, 37, 39, 46, 48, 62, 75, 83, 84, 90};
    uint32_t seed = 12345;
    for (uint16_t code : codes) {
        for (int round = 0; round < 200; ++round) {
            std::vector<uint8_t> junk(static_cast<size_t>(round % 64));
            for (uint8_t& b : junk) {
                seed = seed * 1103515245 + 12345;
                b = static_cast<uint8_t>(seed >> 16);
            }
            chars::Dictionary d;
            d.Define(swf::Tag{code, junk.data(), static_cast<uint32_t>(junk.size())});
        }
    }
}

namespace {

void PutFixed(std::vector<uint8_t>& b, double v, int fractionBits, int bytes) {
    const int64_t raw = static_cast<int64_t>(std::llround(v * (int64_t(1) << fractionBits)));
    for (int i = 0; i < bytes; ++i)
        b.push_back(static_cast<uint8_t>(raw >> (8 * i)));
}

void PutFloat(std::vector<uint8_t>& b, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

} // namespace

TEST(FilterList, ReadsFieldsInTheirFixedPointForms) {
    std::vector<uint8_t> b = {4};
    // Drop shadow: colour, blur 5.5 x 3, angle 0.5 rad, distance -21,
    // strength 1.5, inner + composite, 3 passes.
    b.push_back(0);
    b.insert(b.end(), {0x11, 0x22, 0x33, 0x80});
    PutFixed(b, 5.5, 16, 4);
    PutFixed(b, 3, 16, 4);
    PutFixed(b, 0.5, 16, 4);
    PutFixed(b, -21, 16, 4);
    PutFixed(b, 1.5, 8, 2);
    b.push_back(0x80 | 0x20 | 3);
    // Blur 10 x 2, 2 passes.
    b.push_back(1);
    PutFixed(b, 10, 16, 4);
    PutFixed(b, 2, 16, 4);
    b.push_back(2 << 3);
    // Bevel: the lit side's colour first; knockout, on top, 1 pass.
    b.push_back(3);
    b.insert(b.end(), {255, 0, 0, 255, 0, 0, 255, 255});
    for (int i = 0; i < 4; ++i)
        PutFixed(b, 4, 16, 4);
    PutFixed(b, 1, 8, 2);
    b.push_back(0x40 | 0x10 | 1);
    // Colour matrix.
    b.push_back(6);
    for (int i = 0; i < 20; ++i)
        PutFloat(b, i * 0.5f);
    b.push_back(0xEE); // what follows the list

    swf::Reader r(b.data(), b.size());
    std::vector<raster::Filter> f;
    ASSERT_TRUE(chars::ReadFilterList(r, f));
    EXPECT_EQ(r.U8(), 0xEE);
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0].kind, raster::Filter::Kind::DropShadow);
    EXPECT_EQ(f[0].color.g, 0x22);
    EXPECT_EQ(f[0].color.a, 0x80);
    EXPECT_DOUBLE_EQ(f[0].blurX, 5.5);
    EXPECT_DOUBLE_EQ(f[0].blurY, 3);
    EXPECT_DOUBLE_EQ(f[0].angle, 0.5);
    EXPECT_DOUBLE_EQ(f[0].distance, -21);
    EXPECT_DOUBLE_EQ(f[0].strength, 1.5);
    EXPECT_TRUE(f[0].inner);
    EXPECT_FALSE(f[0].knockout);
    EXPECT_TRUE(f[0].compositeSource);
    EXPECT_EQ(f[0].passes, 3);
    EXPECT_EQ(f[1].kind, raster::Filter::Kind::Blur);
    EXPECT_DOUBLE_EQ(f[1].blurX, 10);
    EXPECT_EQ(f[1].passes, 2);
    EXPECT_EQ(f[2].kind, raster::Filter::Kind::Bevel);
    EXPECT_EQ(f[2].highlight.r, 255);
    EXPECT_EQ(f[2].color.b, 255);
    EXPECT_TRUE(f[2].knockout && f[2].onTop);
    EXPECT_FALSE(f[2].compositeSource);
    EXPECT_EQ(f[2].passes, 1);
    EXPECT_EQ(f[3].kind, raster::Filter::Kind::ColorMatrix);
    ASSERT_EQ(f[3].matrix.size(), 20u);
    EXPECT_FLOAT_EQ(f[3].matrix[19], 9.5f);
}

TEST(FilterList, DamagedListsStopWithoutReadingOrAllocatingPastTheData) {
    // A convolution claiming a 255 x 255 kernel in a few bytes.
    std::vector<uint8_t> b = {1, 5, 255, 255, 0, 0, 128, 63, 0, 0, 0, 0, 1, 2, 3};
    swf::Reader r(b.data(), b.size());
    std::vector<raster::Filter> f;
    EXPECT_FALSE(chars::ReadFilterList(r, f));
    EXPECT_TRUE(f.empty());
    // An unknown filter, and a list cut short.
    const std::vector<uint8_t> unknown = {1, 9, 0, 0};
    swf::Reader r2(unknown.data(), unknown.size());
    EXPECT_FALSE(chars::ReadFilterList(r2, f));
    const std::vector<uint8_t> cut = {2, 1, 0, 0, 10, 0, 0, 0, 10, 0, 8};
    swf::Reader r3(cut.data(), cut.size());
    EXPECT_FALSE(chars::ReadFilterList(r3, f));
    ASSERT_EQ(f.size(), 1u); // the whole blur before the cut is kept
    EXPECT_DOUBLE_EQ(f[0].blurX, 10);
    // Blur sizes beyond the player's range are cut down.
    std::vector<uint8_t> big = {1, 1};
    PutFixed(big, 30000, 16, 4);
    PutFixed(big, -5, 16, 4);
    big.push_back(1 << 3);
    swf::Reader r4(big.data(), big.size());
    ASSERT_TRUE(chars::ReadFilterList(r4, f));
    EXPECT_DOUBLE_EQ(f[0].blurX, 255);
    EXPECT_DOUBLE_EQ(f[0].blurY, 0);
}
