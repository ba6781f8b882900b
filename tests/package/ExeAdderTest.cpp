#include "package/ZLibEx.h"
#include "package/uExeAdder.h"
#include "uTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace zembra {
namespace {

using test::Bytes;
using test::Deflate;
using test::TLayout;
using test::TTempFile;

const Bytes kExe = {'M', 'Z', 0x90, 0x00, 0x03, 0x00, 0x00, 0x00, 0x04, 0x00};

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// Reads through a real file, as the saver does.
TItemTypes ReadFile(const Bytes& Content) {
    TTempFile file(Content);
    TItemTypes items;
    ReadItems(file.Path(), items);
    return items;
}

TItemTypes ReadMemory(const Bytes& Content) {
    TMemoryStream stream(Content.data(), Content.size());
    TItemTypes items;
    ReadItemsFromStream(stream, items);
    return items;
}

Bytes DataOf(const TItemType& Item) {
    EXPECT_EQ(Item.Size == 0, Item.Data == nullptr) << Item.Name;
    return Item.Data ? Bytes(Item.Data, Item.Data + Item.Size) : Bytes();
}

// A package behind the executable bytes with the given records.
Bytes Package(uint32_t Key, int32_t Count, const std::function<void(TLayout&)>& Records,
              const Bytes& Prefix = kExe) {
    TLayout l;
    l.Raw(Prefix);
    const std::size_t start = l.Size();
    l.I32(Key).I32(Count);
    Records(l);
    l.Trailer(start);
    return l.Get();
}

TEST(StreamUtils, LittleEndianReadersAndStringLengths) {
    const Bytes b = TLayout().I32(-2).I64(0x0102030405060708LL).U8(0xFE).Get();
    TMemoryStream s(b.data(), b.size());
    EXPECT_EQ(ReadInteger(s), -2);
    EXPECT_EQ(ReadInt64(s), 0x0102030405060708LL);
    EXPECT_EQ(ReadByte(s), 0xFE);
    EXPECT_EQ(ReadByte(s), 0); // past the end reads as zero
    EXPECT_EQ(s.Seek(-1, soBeginning), -1);
    EXPECT_EQ(s.Position(), 13);
    EXPECT_EQ(s.Seek(-4, soEnd), 9);

    std::string text = "old";
    const Bytes good = TLayout().I32(3).Text("abc").I32(0).Get();
    TMemoryStream g(good.data(), good.size());
    EXPECT_TRUE(ReadString(g, text));
    EXPECT_EQ(text, "abc");
    EXPECT_TRUE(ReadString(g, text));
    EXPECT_EQ(text, "");
    // Lengths the stream cannot back up are refused before allocating.
    for (int64_t n : {int64_t(-1), int64_t(4), int64_t(0x7FFFFFFF)}) {
        const Bytes bad = TLayout().I32(n).Text("abc").Get();
        TMemoryStream m(bad.data(), bad.size());
        text = "old";
        EXPECT_FALSE(ReadString(m, text)) << n;
        EXPECT_EQ(text, "");
    }
}

TEST(ExeAdder, FilesWithoutPackageGiveNoItems) {
    EXPECT_TRUE(ReadFile(kExe).empty());
    const Bytes tail = Text("xxxxxxxxPLWS");
    for (std::size_t n = 0; n < 12; ++n) // too short for a trailer, magic or not
        EXPECT_TRUE(ReadFile(Bytes(tail.end() - n, tail.end())).empty()) << n;
    Bytes lower = Package(0, 1, [](TLayout& l) { l.Record("GUID", 0, 0, Text("g")); });
    lower[lower.size() - 4] = 'p';
    EXPECT_TRUE(ReadFile(lower).empty());
    lower[lower.size() - 4] = 'P';
    TItemTypes items = ReadFile(lower);
    EXPECT_EQ(items.size(), 1u);

    ReadItems("/no/such/folder/file.scr", items);
    EXPECT_TRUE(items.empty());
    TTempFile dir(Bytes{});
    ReadItems(dir.Dir(), items); // a folder is no file
    EXPECT_TRUE(items.empty());
    EXPECT_TRUE(ReadFile(Package(0, 0, [](TLayout&) {})).empty());
}

TEST(ExeAdder, ReadsEveryKindOfRecordInPackageOrder) {
    const Bytes movie(3000, 'M');
    const Bytes content = Package(0xA5, 8, [&](TLayout& l) {
        l.Record("GUID", 0xA5, 0, Text("{g}"));
        l.Record("", 0xA5, 0, Text("nameless"));
        l.Record("Movie", 0xA5, 1, Deflate(movie));
        l.Record("Empty", 0xA5, 0, Bytes());
        l.Record("EmptyPacked", 0xA5, 1, Bytes());      // no inflation tried
        l.Record("Nothing", 0xA5, 1, Deflate(Bytes())); // inflates to nothing
        l.Record("Two", 0xA5, 2, Deflate(Text("2")));
        l.Record("GUID", 0xA5, 0, Text("{second}"));
    });
    TItemTypes items = ReadFile(content);
    ASSERT_EQ(items.size(), 8u);
    EXPECT_EQ(items[0].Name, "GUID");
    EXPECT_EQ(DataOf(items[0]), Text("{g}"));
    EXPECT_EQ(items[1].Name, "");
    EXPECT_EQ(DataOf(items[1]), Text("nameless"));
    EXPECT_EQ(items[2].Name, "Movie");
    EXPECT_EQ(items[2].Compressed, 1);
    EXPECT_EQ(DataOf(items[2]), movie);
    for (int i : {3, 4, 5}) {
        EXPECT_EQ(items[i].Data, nullptr) << i;
        EXPECT_EQ(items[i].Size, 0) << i;
    }
    EXPECT_EQ(items[4].Compressed, 1);
    EXPECT_EQ(items[6].Compressed, 2);
    EXPECT_EQ(DataOf(items[6]), Text("2"));
    EXPECT_EQ(items[7].Name, "GUID");
    EXPECT_EQ(DataOf(items[7]), Text("{second}"));
    FreeItems(items);
    EXPECT_TRUE(items.empty());
}

TEST(ExeAdder, OnlyTheKeysLowByteAndThePackageSizeMatter) {
    auto withKey = [](uint32_t key, const Bytes& prefix) {
        return Package(
            key, 1, [&](TLayout& l) { l.Record("Loop", key & 0xFF, 0, {1}); }, prefix);
    };
    for (uint32_t key : {0x0000003Cu, 0xFFFFFF3Cu, 0x1234563Cu}) {
        TItemTypes items = ReadMemory(withKey(key, kExe));
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].Name, "Loop");
        FreeItems(items);
    }
    // Bytes between the image and the body, even ones that look like a
    // package, are skipped; so is a body right at the start of the file.
    Bytes padded = kExe;
    padded.insert(padded.end(), 4096, 0xCC);
    const Bytes decoy = withKey(7, kExe);
    padded.insert(padded.end(), decoy.begin(), decoy.end());
    for (const Bytes& prefix : {padded, Bytes()}) {
        TItemTypes items = ReadFile(withKey(0x3C, prefix));
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].Name, "Loop");
        FreeItems(items);
    }
}

TEST(ExeAdder, DamagedPackagesReadAsNoPackageAndLeakNothing) {
    const Bytes packed = Deflate(Bytes(500, 'x'));
    const Bytes good = Package(9, 3, [&](TLayout& l) {
        l.Record("A", 9, 0, Text("first"));
        l.Record("B", 9, 1, packed);
        l.Record("C", 9, 0, Text("last"));
    });
    const std::size_t bodyStart = kExe.size();
    const std::size_t trailer = good.size() - 12;

    std::vector<std::pair<std::string, Bytes>> cases;
    auto withSize = [&](int64_t size) {
        Bytes b = good;
        const Bytes s = TLayout().I64(size).Get();
        std::memcpy(&b[trailer], s.data(), 8);
        return b;
    };
    cases.push_back({"size before file start", withSize(int64_t(trailer) + 1)});
    cases.push_back({"size huge", withSize(INT64_MAX)});
    cases.push_back({"size negative", withSize(-1)});
    cases.push_back({"size minimum", withSize(INT64_MIN)});
    cases.push_back({"size too small for key and count", withSize(7)});
    auto patch = [&](std::size_t at, int64_t value) {
        Bytes b = good;
        const Bytes v = TLayout().I32(value).Get();
        std::memcpy(&b[at], v.data(), 4);
        return b;
    };
    cases.push_back({"count negative", patch(bodyStart + 4, -1)});
    cases.push_back({"count past trailer", patch(bodyStart + 4, 4)});
    cases.push_back({"count absurd", patch(bodyStart + 4, 0x7FFFFFFF)});
    const std::size_t rec0 = bodyStart + 8;
    cases.push_back({"name length negative", patch(rec0, -3)});
    cases.push_back({"name length past trailer", patch(rec0, 1000)});
    cases.push_back({"stored length negative", patch(rec0 + 4 + 1 + 1, -1)});
    cases.push_back({"stored length past trailer", patch(rec0 + 4 + 1 + 1, 100000)});
    const std::size_t rec1 = rec0 + 4 + 1 + 1 + 4 + 5;
    cases.push_back({"packed length negative", patch(rec1 + 4 + 1 + 1, -100)});
    cases.push_back({"packed length past trailer", patch(rec1 + 4 + 1 + 1, 0x7FFFFFF0)});
    // The last record cut short: its data would run into the trailer.
    Bytes cut(good.begin(), good.begin() + trailer - 2);
    TLayout t;
    t.Raw(cut).Trailer(bodyStart);
    cases.push_back({"last record cut", t.Get()});

    {
        for (const auto& c : cases) {
            TItemTypes items;
            items.emplace_back(); // whatever was in the array goes
            EXPECT_NO_THROW(ReadItems(TTempFile(c.second).Path(), items)) << c.first;
            EXPECT_NO_THROW({
                TMemoryStream m(c.second.data(), c.second.size());
                ReadItemsFromStream(m, items);
            }) << c.first;
            EXPECT_TRUE(items.empty()) << c.first;
        }
    }

    TItemTypes items = ReadMemory(good);
    EXPECT_EQ(items.size(), 3u);
    FreeItems(items);
}

TEST(ExeAdder, DamagedZlibDataRaisesAndKeepsEarlierItems) {
    Bytes bad = Deflate(Text("some text that is long enough to compress"));
    bad[bad.size() - 2] ^= 0x40;
    const Bytes content = Package(0, 3, [&](TLayout& l) {
        l.Record("A", 0, 0, Text("kept"));
        l.Record("B", 0, 1, bad);
        l.Record("C", 0, 0, Text("never read"));
    });
    TTempFile file(content);
    {
        TItemTypes items;
        try {
            ReadItems(file.Path(), items);
            ADD_FAILURE() << "no exception";
        } catch (const EZDecompressionError& e) {
            EXPECT_STREQ(e.what(), "data error");
        }
        ASSERT_GE(items.size(), 1u);
        EXPECT_EQ(DataOf(items[0]), Text("kept"));
        for (std::size_t i = 1; i < items.size(); ++i)
            EXPECT_EQ(items[i].Data, nullptr);
        FreeItems(items);
    }

    // A truncated stream is reported as zlib reports it.
    Bytes shortStream = Deflate(Bytes(3000, 'q'));
    shortStream.resize(shortStream.size() / 2);
    const Bytes truncated = Package(0, 1, [&](TLayout& l) { l.Record("T", 0, 1, shortStream); });
    try {
        ReadMemory(truncated);
        ADD_FAILURE() << "no exception";
    } catch (const EZDecompressionError& e) {
        EXPECT_STREQ(e.what(), "buffer error");
    }
}

TEST(ExeAdder, XorStringIsItsOwnInverse) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    const std::string scrambled = XorString(all, 0xA7);
    EXPECT_EQ(scrambled.size(), 256u);
    EXPECT_EQ(static_cast<unsigned char>(scrambled[0]), 0xA7);
    EXPECT_EQ(XorString(scrambled, 0xA7), all);
    EXPECT_EQ(XorString(all, 0), all);
}

} // namespace
} // namespace zembra
