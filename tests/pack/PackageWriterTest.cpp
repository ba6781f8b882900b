#include "package/ZLibEx.h"
#include "package/uExeAdder.h"
#include "tests/package/uTestSupport.h"
#include "tools/pack/uFileIo.h"
#include "tools/pack/uPackError.h"
#include "tools/pack/uPackageInspector.h"
#include "tools/pack/uPackageWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace zembra {
namespace {

using test::Bytes;
using test::TTempFile;

Bytes ReadBack(const std::string& Path) {
    std::ifstream f(Path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<std::string> FolderEntries(const std::string& Dir) {
    std::vector<std::string> r;
    for (const auto& e : std::filesystem::directory_iterator(Dir))
        r.push_back(e.path().filename().string());
    std::sort(r.begin(), r.end());
    return r;
}

TItemTypes ReadMemory(const Bytes& Content) {
    TMemoryStream stream(Content.data(), Content.size());
    TItemTypes items;
    ReadItemsFromStream(stream, items);
    return items;
}

TEST(PackageWriter, RoundTripsRandomItemSets) {
    std::mt19937 rng(20240601);
    auto below = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    for (int iteration = 0; iteration < 300; ++iteration) {
        std::vector<TPackageItem> items(below(12));
        for (TPackageItem& item : items) {
            item.Name.resize(below(4) == 0 ? 0 : 1 + below(20));
            for (char& c : item.Name)
                c = static_cast<char>(below(256));
            const uint32_t size = below(5) == 0 ? 0 : below(4) == 0 ? below(20000) : below(64);
            item.Data.resize(size);
            // Half the items repetitive (compress well), half noise.
            const bool noisy = below(2) == 0;
            for (uint32_t i = 0; i < size; ++i)
                item.Data[i] = static_cast<unsigned char>(noisy ? below(256) : (i / 7) % 3);
            item.Compress = below(2) == 0;
        }
        const uint32_t key = static_cast<uint32_t>(rng());
        Bytes file(below(300), 0x4D);
        const Bytes package = EncodePackage(items, key);
        file.insert(file.end(), package.begin(), package.end());

        TItemTypes read = ReadMemory(file);
        ASSERT_EQ(read.size(), items.size()) << iteration;
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(read[i].Name, items[i].Name) << iteration << "/" << i;
            const Bytes data =
                read[i].Data ? Bytes(read[i].Data, read[i].Data + read[i].Size) : Bytes();
            EXPECT_EQ(data, items[i].Data) << iteration << "/" << i;
            // Empty values are stored as they are, whatever was asked.
            EXPECT_EQ(read[i].Compressed, items[i].Compress && !items[i].Data.empty() ? 1 : 0);
        }
        FreeItems(read);

        TMemoryStream stream(file.data(), file.size());
        const TInspection inspection = InspectPackage(stream);
        EXPECT_EQ(inspection.State, TPackageState::Ok) << inspection.Problem;
        EXPECT_EQ(inspection.Items.size(), items.size());
    }
}

TEST(PackageWriter, LayoutOfASmallPackage) {
    const Bytes package = EncodePackage({{"Ab", {7}, false}}, 0x12345601);
    const Bytes expected = {0x01, 0x56, 0x34, 0x12,                   // key
                            1,    0,    0,    0,                      // count
                            2,    0,    0,    0,    'A' ^ 1, 'b' ^ 1, // name
                            0,                                        // stored
                            1,    0,    0,    0,    7,                // data
                            20,   0,    0,    0,    0,       0,       0, 0, 'P', 'L', 'W', 'S'};
    EXPECT_EQ(package, expected);
    // Compressed items use the default level (header 78 9C).
    const Bytes packed = EncodePackage({{"T", {'t', 'e', 'x', 't'}, true}}, 0);
    EXPECT_EQ(packed[8 + 4 + 1], 1);
    EXPECT_EQ(packed[8 + 4 + 1 + 1 + 4], 0x78);
    EXPECT_EQ(packed[8 + 4 + 1 + 1 + 4 + 1], 0x9C);
}

TEST(PackageWriter, WritesOutputAtomically) {
    TTempFile saver(Bytes{'M', 'Z', 1, 2, 3}, "ZembraSaver.scr");
    const std::string dir = saver.Dir();
    const std::string output = dir + "/My.scr";
    const Bytes package = EncodePackage({{"GUID", {'g'}, false}}, 0x5A);

    // Replaces an existing file completely.
    TTempFile::Write(output, Bytes(10000, 'o'));
    EXPECT_FALSE(WritePackagedSaver(saver.Path(), package, output).SignatureRemoved);
    // The saver unchanged, zeros up to a length that is a multiple of 8
    // (signing then adds no padding), the package.
    Bytes expected = {'M', 'Z', 1, 2, 3};
    expected.resize((8 - (5 + package.size()) % 8) % 8 + 5, 0);
    expected.insert(expected.end(), package.begin(), package.end());
    EXPECT_EQ(ReadBack(output), expected);
    EXPECT_EQ(expected.size() % 8, 0u);
    EXPECT_EQ(FolderEntries(dir), (std::vector<std::string>{"My.scr", "ZembraSaver.scr"}));
    TItemTypes items;
    ReadItems(output, items);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].Name, "GUID");
    FreeItems(items);

    // A saver that already carries a package is refused; the output stays.
    try {
        WritePackagedSaver(output, package, dir + "/Twice.scr");
        ADD_FAILURE();
    } catch (const TPackError& e) {
        EXPECT_EQ(e.Code(), ecInput);
    }
    // Output in a folder that does not exist: an I/O error, nothing written.
    try {
        WritePackagedSaver(saver.Path(), package, dir + "/missing/My.scr");
        ADD_FAILURE();
    } catch (const TPackError& e) {
        EXPECT_EQ(e.Code(), ecIo);
    }
    // Output that is a folder: the rename fails and the temporary goes.
    std::filesystem::create_directories(dir + "/Folder.scr/inside");
    EXPECT_THROW(WritePackagedSaver(saver.Path(), package, dir + "/Folder.scr"), TPackError);
    try {
        WritePackagedSaver(dir + "/nope.scr", package, output);
        ADD_FAILURE();
    } catch (const TPackError& e) {
        EXPECT_EQ(e.Code(), ecInput);
    }
    EXPECT_EQ(ReadBack(output), expected);
    EXPECT_EQ(FolderEntries(dir),
              (std::vector<std::string>{"Folder.scr", "My.scr", "ZembraSaver.scr"}));
}

TEST(PackageInspector, DiagnosesDamageAndDescribesValues) {
    Bytes bad = test::Deflate(Bytes(100, 'a'));
    bad[bad.size() - 1] ^= 1;
    const std::vector<TPackageItem> items = {
        {"BackgroundColor", {0x10, 0x20, 0x30, 0x00}, false},
        {"Quality", {3, 0, 0, 0}, false},
        {"Layout", {2, 1, 0, 0}, false}, // 258: the low byte counts
        {"Loop", {2}, false},
        {"FlashVars", {'a', '"', '\n'}, true},
        {"Movie", Bytes(500, 'm'), true},
    };
    Bytes file = EncodePackage(items, 3);
    {
        TMemoryStream s(file.data(), file.size());
        const TInspection ok = InspectPackage(s);
        ASSERT_EQ(ok.State, TPackageState::Ok);
        EXPECT_EQ(DescribeValue(ok.Items[0]), "0x00302010 (#102030)");
        EXPECT_EQ(DescribeValue(ok.Items[1]), "3 (autohigh)");
        EXPECT_EQ(DescribeValue(ok.Items[2]), "258 (per-monitor)");
        EXPECT_EQ(DescribeValue(ok.Items[3]), "true");
        EXPECT_EQ(DescribeValue(ok.Items[4]), "\"a\\\"\\x0A\"");
        EXPECT_EQ(DescribeValue(ok.Items[5]), "");
        EXPECT_EQ(ok.Items[5].InflatedSize, 500);
    }
    auto problemOf = [](const Bytes& b) {
        TMemoryStream s(b.data(), b.size());
        const TInspection r = InspectPackage(s);
        EXPECT_EQ(r.State, TPackageState::Damaged);
        return r.Problem;
    };
    // Slack before the trailer, which the saver's reader would tolerate.
    Bytes slack(file.begin(), file.end() - 12);
    slack.push_back(0);
    test::TLayout t;
    t.Raw(slack).Trailer(0);
    EXPECT_EQ(problemOf(t.Get()), "1 bytes after the last record, before the trailer");

    // A record whose zlib stream is damaged.
    test::TLayout l;
    l.I32(0).I32(1).Record("Movie", 0, 1, bad);
    const Bytes body = l.Get();
    test::TLayout whole;
    whole.Raw(body).Trailer(0);
    EXPECT_EQ(problemOf(whole.Get()), "item 'Movie' does not inflate: data error");

    Bytes tooFar = file;
    tooFar[file.size() - 12] = 0xFF;
    tooFar[file.size() - 11] = 0xFF;
    EXPECT_NE(problemOf(tooFar).find("points outside the file"), std::string::npos);

    const Bytes none = {'M', 'Z'};
    TMemoryStream s(none.data(), none.size());
    EXPECT_EQ(InspectPackage(s).State, TPackageState::NoPackage);
}

TEST(FileIo, PathHelpers) {
    EXPECT_EQ(FileNameOf("a/b\\c.txt"), "c.txt");
    EXPECT_EQ(FileNameOf("c.txt"), "c.txt");
    EXPECT_EQ(FolderOf("dir/s.ini"), "dir/");
    EXPECT_EQ(FolderOf("s.ini"), "");
    EXPECT_EQ(ResolveRelative("dir/", "m.swf"), "dir/m.swf");
    EXPECT_EQ(ResolveRelative("dir/", "/abs/m.swf"), "/abs/m.swf");
    EXPECT_EQ(ResolveRelative("", "m.swf"), "m.swf");
}

} // namespace
} // namespace zembra
