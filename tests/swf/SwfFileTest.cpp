// The file layer: reader bounds, records, headers of the three kinds,
// limits on hostile headers, truncation.
#include <gtest/gtest.h>

#ifdef ZEMBRA_HAVE_LIBLZMA
#include <lzma.h>
#endif

#include "swf/uSwfFile.h"
#include "swf/uSwfReader.h"
#include "tests/swf/uSwfBuilder.h"

using namespace zembra;
using namespace zembra::testing;

TEST(SwfReader, BitsSignsAndOverrunYieldZerosNotReads) {
    // 101 1111 0 | 0000 0001
    const uint8_t data[] = {0xbe, 0x01};
    swf::Reader r(data, sizeof data);
    EXPECT_EQ(r.UB(3), 5u);
    EXPECT_EQ(r.SB(4), -1);
    EXPECT_EQ(r.UB(1), 0u);
    EXPECT_EQ(r.U8(), 1u); // byte reads align
    EXPECT_FALSE(r.Overrun());
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_TRUE(r.Overrun());
    EXPECT_EQ(r.UB(32), 0u);

    const uint8_t enc[] = {0xff, 0xff, 0xff, 0xff, 0x0f, 0x80};
    swf::Reader e(enc, sizeof enc);
    EXPECT_EQ(e.EncodedU32(), 0xffffffffu);
    EXPECT_EQ(e.EncodedU32(), 0u); // continuation bit with nothing after it
    EXPECT_TRUE(e.Overrun());

    const uint8_t str[] = {'a', 'b', 0, 0xe9, 0};
    swf::Reader s(str, sizeof str);
    EXPECT_EQ(s.String(6), "ab");
    EXPECT_EQ(s.String(5), "\xc3\xa9"); // Latin-1 before version 6
    const uint8_t unterminated[] = {'x', 'y'};
    swf::Reader u(unterminated, sizeof unterminated);
    EXPECT_EQ(u.CString(), "xy");
    EXPECT_TRUE(u.Overrun());
}

TEST(SwfReader, Records) {
    BitWriter w;
    w.Rect(-20, 11000, 0, 8000);
    w.MatrixScale(2.0, 0.5, -40, 60);
    // Colour transform with alpha: add and multiply, 10 bits.
    w.UB(1, 1);
    w.UB(1, 1);
    w.UB(11, 4);
    for (int v : {128, 256, 512, 256})
        w.SB(v, 11);
    for (int v : {-255, 0, 10, 255})
        w.SB(v, 11);
    w.Align();
    swf::Reader r(w.bytes.data(), w.bytes.size());
    const swf::Rect rect = r.ReadRect();
    EXPECT_EQ(rect.xMin, -20);
    EXPECT_EQ(rect.xMax, 11000);
    EXPECT_EQ(rect.yMax, 8000);
    const raster::Matrix m = r.ReadMatrix();
    EXPECT_DOUBLE_EQ(m.a, 2.0);
    EXPECT_DOUBLE_EQ(m.d, 0.5);
    EXPECT_DOUBLE_EQ(m.b, 0);
    EXPECT_DOUBLE_EQ(m.tx, -40);
    EXPECT_DOUBLE_EQ(m.ty, 60);
    const raster::ColorTransform c = r.ReadCxform(true);
    EXPECT_DOUBLE_EQ(c.rMul, 0.5);
    EXPECT_DOUBLE_EQ(c.bMul, 2.0);
    EXPECT_DOUBLE_EQ(c.rAdd, -255);
    EXPECT_DOUBLE_EQ(c.aAdd, 255);
    EXPECT_FALSE(r.Overrun());
}

TEST(SwfFile, PlainAndZlibHeaders) {
    const auto tags = Concat({RectShape(1, 1, 0, 0, 100, 100, 0xff0000ff), PlaceObject2(1, 1, 0, 0),
                              ShowFrame(), End()});
    for (char kind : {'F', 'C'}) {
        swf::File f;
        std::string error;
        ASSERT_TRUE(f.Open(Movie(tags, 11000, 8000, 1, kind, 8), error)) << error;
        const swf::Header& h = f.GetHeader();
        EXPECT_EQ(h.version, 8);
        EXPECT_EQ(h.compression, kind == 'F' ? swf::Compression::None : swf::Compression::Zlib);
        EXPECT_EQ(h.frame.xMax, 11000);
        EXPECT_DOUBLE_EQ(h.frameRate, 24);
        EXPECT_EQ(h.frameCount, 1);
        ASSERT_EQ(f.Tags().size(), 3u);
        EXPECT_EQ(f.Tags()[0].code, swf::tags::DefineShape);
        EXPECT_EQ(f.Tags()[2].code, swf::tags::ShowFrame);
        EXPECT_FALSE(f.Truncated());
    }
}

#ifdef ZEMBRA_HAVE_LIBLZMA
TEST(SwfFile, LzmaBody) {
    const auto plain =
        Movie(Concat({RectShape(1, 1, 0, 0, 100, 100, 0xff0000ff), ShowFrame(), End()}));
    const std::vector<uint8_t> body(plain.begin() + 8, plain.end());
    lzma_options_lzma opt;
    lzma_lzma_preset(&opt, 6);
    lzma_stream z = LZMA_STREAM_INIT;
    ASSERT_EQ(lzma_alone_encoder(&z, &opt), LZMA_OK);
    std::vector<uint8_t> out(body.size() + 1024);
    z.next_in = body.data();
    z.avail_in = body.size();
    z.next_out = out.data();
    z.avail_out = out.size();
    ASSERT_EQ(lzma_code(&z, LZMA_FINISH), LZMA_STREAM_END);
    out.resize(out.size() - z.avail_out);
    lzma_end(&z);
    // .lzma: 5 property bytes, 8 length bytes, stream. The movie keeps the
    // properties and the stream, with a 4-byte compressed length before.
    std::vector<uint8_t> file(plain.begin(), plain.begin() + 8);
    file[0] = 'Z';
    const uint32_t clen = static_cast<uint32_t>(out.size() - 13);
    for (int i = 0; i < 4; ++i)
        file.push_back(static_cast<uint8_t>(clen >> (8 * i)));
    file.insert(file.end(), out.begin(), out.begin() + 5);
    file.insert(file.end(), out.begin() + 13, out.end());
    swf::File f;
    std::string error;
    ASSERT_TRUE(f.Open(file, error)) << error;
    EXPECT_EQ(f.GetHeader().compression, swf::Compression::Lzma);
    EXPECT_EQ(f.Tags().size(), 2u);
    EXPECT_FALSE(f.Truncated());

    // A header claiming a four-gigabyte dictionary still decodes.
    std::vector<uint8_t> greedy = file;
    for (int i = 13; i < 17; ++i)
        greedy[i] = 0xff;
    ASSERT_TRUE(f.Open(greedy, error)) << error;
    EXPECT_EQ(f.Tags().size(), 2u);
}
#endif

TEST(SwfFile, RefusesWhatCannotBePlayed) {
    swf::File f;
    std::string error;
    EXPECT_FALSE(f.Open({'F', 'W'}, error));
    EXPECT_NE(error.find("truncated"), std::string::npos);
    EXPECT_FALSE(f.Open({'G', 'I', 'F', '8', 0, 0, 0, 0, 0}, error));
    EXPECT_NE(error.find("bad signature"), std::string::npos);

    // A tiny zlib stream declaring 1 GiB: refused before anything inflates.
    auto bomb = Movie(Concat({ShowFrame(), End()}), 8000, 6000, 1, 'C');
    bomb[4] = 0;
    bomb[5] = 0;
    bomb[6] = 0;
    bomb[7] = 0x40;
    EXPECT_FALSE(f.Open(bomb, error));
    EXPECT_NE(error.find("decompression bomb"), std::string::npos);

    // A stream that inflates beyond its (allowed) declared length stops
    // there: the output is never larger than declared.
    std::vector<uint8_t> big(1 << 20, 0);
    auto longer = Movie(Concat({Tag(77, big), ShowFrame(), End()}), 8000, 6000, 1, 'C');
    longer[4] = 200;
    longer[5] = 0;
    longer[6] = 0;
    longer[7] = 0;
    ASSERT_TRUE(f.Open(longer, error)) << error;
    EXPECT_TRUE(f.Tags().empty()); // the big tag runs past the declared end
    EXPECT_TRUE(f.Truncated());

    EXPECT_FALSE(f.Open({'C', 'W', 'S', 10, 100, 0, 0, 0, 1, 2, 3}, error));
}

TEST(SwfFile, TruncationKeepsWhatWasRead) {
    const auto tags =
        Concat({RectShape(1, 1, 0, 0, 100, 100, 0xff0000ff), PlaceObject2(1, 1, 0, 0), ShowFrame(),
                RectShape(2, 1, 0, 0, 50, 50, 0x00ff00ff), ShowFrame(), End()});
    for (char kind : {'F', 'C'}) {
        auto whole = Movie(tags, 8000, 6000, 2, kind);
        // Cut inside the second shape.
        whole.resize(whole.size() - (kind == 'F' ? 20 : 8));
        swf::File f;
        std::string error;
        ASSERT_TRUE(f.Open(whole, error)) << error;
        EXPECT_TRUE(f.Truncated());
        ASSERT_GE(f.Tags().size(), 3u);
        EXPECT_EQ(f.Tags()[2].code, swf::tags::ShowFrame);
    }
}

TEST(SwfFile, SplitTagsStopsAtEndAndAtOverlongTags) {
    const auto data = Concat({Tag(9, {1, 2, 3}), Tag(1, {}, true), End(), Tag(9, {4, 5, 6})});
    bool cut = true;
    auto tags = swf::SplitTags(data.data(), data.size(), &cut);
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_FALSE(cut);
    EXPECT_EQ(tags[0].length, 3u);
    EXPECT_EQ(tags[0].data[2], 3);

    auto lying = Tag(9, {1, 2, 3});
    lying[0] = static_cast<uint8_t>((9 << 6) | 10);
    tags = swf::SplitTags(lying.data(), lying.size(), &cut);
    EXPECT_TRUE(tags.empty());
    EXPECT_TRUE(cut);
}
