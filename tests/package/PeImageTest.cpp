#include "package/uExeAdder.h"
#include "package/uPeImage.h"
#include "uTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace zembra {
namespace {

using test::Bytes;
using test::TLayout;
using test::TPeImage;

bool Layout(const Bytes& Data, TPeLayout& Out) {
    TMemoryStream stream(Data.data(), Data.size());
    return ReadPeLayout(stream, Out);
}

Bytes WithPackage(const Bytes& Image, const std::string& Value) {
    TLayout l;
    l.Raw(Image);
    const std::size_t start = l.Size();
    l.I32(0x5A).I32(1).Record("GUID", 0x5A, 0, Bytes(Value.begin(), Value.end()));
    l.Trailer(start);
    return l.Get();
}

// The GUID value read from Data, or "(none)".
std::string ReadGuid(const Bytes& Data) {
    TMemoryStream stream(Data.data(), Data.size());
    TItemTypes items;
    ReadItemsFromStream(stream, items);
    std::string r = "(none)";
    if (items.size() == 1 && items[0].Name == "GUID")
        r.assign(items[0].Data, items[0].Data + items[0].Size);
    FreeItems(items);
    return r;
}

// The straightforward whole-file form of the PE checksum.
uint32_t ReferenceChecksum(Bytes Data, std::size_t Field) {
    for (int i = 0; i < 4; ++i)
        Data.at(Field + i) = 0;
    if (Data.size() % 2)
        Data.push_back(0);
    uint64_t sum = 0;
    for (std::size_t i = 0; i < Data.size(); i += 2) {
        sum += Data[i] | Data[i + 1] << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<uint32_t>(sum + (Data.size() - (Data.size() % 2)));
}

TEST(PeImage, ReadsTheLayoutOfPe32AndPe32Plus) {
    for (bool plus : {false, true}) {
        const TPeImage img(plus);
        TPeLayout pe;
        ASSERT_TRUE(Layout(img.Data, pe)) << plus;
        EXPECT_EQ(pe.Pe32Plus, plus);
        EXPECT_EQ(pe.ChecksumOffset, int64_t(img.ChecksumField()));
        EXPECT_EQ(pe.SecurityEntryOffset, int64_t(img.SecurityEntry()));
        EXPECT_EQ(pe.ImageEnd, 0x400);
        EXPECT_FALSE(pe.HasCertificateTable());

        const Bytes signedImage = img.Signed(img.Data, 777);
        ASSERT_TRUE(Layout(signedImage, pe));
        EXPECT_EQ(pe.CertificateOffset, 0x400u);
        EXPECT_EQ(pe.CertificateSize, 777u);
        EXPECT_TRUE(pe.TableEndsAt(int64_t(signedImage.size())));
        EXPECT_FALSE(pe.TableEndsAt(int64_t(signedImage.size()) + 1));
    }
}

TEST(PeImage, HostileHeadersAreRefusedOrIgnored) {
    for (bool plus : {false, true}) {
        const TPeImage good(plus);
        const std::size_t coff = TPeImage::kPe + 4;
        struct TCase {
            const char* What;
            std::function<void(TPeImage&)> Change;
            bool Readable; // ReadPeLayout still succeeds (but sees no table)
        };
        const TCase cases[] = {
            {"no MZ", [](TPeImage& i) { i.Data[0] = 'X'; }, false},
            {"e_lfanew far outside", [](TPeImage& i) { i.Put32(0x3C, 0xFFFFFFFC); }, false},
            {"e_lfanew at the end", [](TPeImage& i) { i.Put32(0x3C, i.Data.size() - 2); }, false},
            {"COFF header cut by the end", [](TPeImage& i) { i.Put32(0x3C, i.Data.size() - 20); },
             false},
            {"no PE signature", [](TPeImage& i) { i.Data[TPeImage::kPe + 2] = 1; }, false},
            {"unknown optional header", [](TPeImage& i) { i.Put16(TPeImage::kOptional, 0x107); },
             false},
            {"optional header of 0 bytes", [&](TPeImage& i) { i.Put16(coff + 16, 0); }, false},
            {"optional header without directories",
             [&](TPeImage& i) { i.Put16(coff + 16, uint32_t(i.Directories() - 1)); }, false},
            {"security entry cut from the optional header",
             [&](TPeImage& i) { i.Put16(coff + 16, uint32_t(i.Directories() + 4 * 8 + 7)); }, true},
            {"four directories only",
             [](TPeImage& i) { i.Put32(TPeImage::kOptional + i.Directories() - 4, 4); }, true},
            {"65535 sections past the end", [&](TPeImage& i) { i.Put16(coff + 2, 0xFFFF); }, false},
            {"optional header size past the end", [&](TPeImage& i) { i.Put16(coff + 16, 0xFFFF); },
             false},
        };
        for (const TCase& c : cases) {
            TPeImage img(plus);
            c.Change(img);
            // A would-be signature behind the image, so that a parser that
            // took a bad entry for good would find it.
            Bytes data = img.Signed(WithPackage(img.Data, "hostile"));
            if (!c.Readable) {
                // The entry written by Signed may have landed anywhere; the
                // header must still be refused.
                data = WithPackage(img.Data, "hostile");
                data.resize((data.size() + 7) / 8 * 8, 0);
                data.insert(data.end(), 64, 0x30);
            }
            TPeLayout pe;
            EXPECT_EQ(Layout(data, pe), c.Readable) << c.What << " plus=" << plus;
            EXPECT_FALSE(pe.HasCertificateTable()) << c.What;
            EXPECT_EQ(ReadGuid(data), "(none)") << c.What;
        }
        // Truncated anywhere inside the headers.
        for (std::size_t cut : {std::size_t(0x3F), TPeImage::kPe + 10, TPeImage::kOptional + 50,
                                good.SecurityEntry() + 4}) {
            TPeLayout pe;
            EXPECT_FALSE(Layout(Bytes(good.Data.begin(), good.Data.begin() + cut), pe)) << cut;
        }
    }
}

TEST(ExeAdder, FindsThePackageBeforeTheSignature) {
    for (bool plus : {false, true}) {
        // Image sizes that make signing add 0 to 7 bytes of padding.
        for (std::size_t extra = 0; extra < 8; ++extra) {
            const TPeImage img(plus, 0x400 + extra);
            const Bytes packed = WithPackage(img.Data, "signed");
            const Bytes signedFile = img.Signed(packed, 1000 + extra);
            EXPECT_EQ(ReadGuid(signedFile), "signed") << plus << " " << extra;
            TMemoryStream stream(signedFile.data(), signedFile.size());
            EXPECT_EQ(FindPackageEnd(stream, int64_t(signedFile.size())), int64_t(packed.size()));
        }
        // The trailer at the very end wins: a package appended to a saver
        // after it was signed.
        const TPeImage img(plus);
        EXPECT_EQ(ReadGuid(WithPackage(img.Signed(img.Data), "after")), "after");
    }
}

TEST(ExeAdder, SignedFilesWithoutAPackageRightBeforeTheTableHaveNone) {
    for (bool plus : {false, true}) {
        const TPeImage img(plus);
        const Bytes packed = WithPackage(img.Data, "x");
        EXPECT_EQ(ReadGuid(img.Signed(img.Data)), "(none)");

        // A table that does not end the file.
        Bytes longer = img.Signed(packed);
        longer.push_back(0);
        EXPECT_EQ(ReadGuid(longer), "(none)");

        // More than signing's padding, or anything but zeros, in between.
        Bytes gap = packed;
        gap.resize((gap.size() + 7) / 8 * 8 + 8, 0);
        EXPECT_EQ(ReadGuid(img.Signed(gap)), "(none)");
        Bytes junk = packed;
        junk.push_back(0x01);
        EXPECT_EQ(ReadGuid(img.Signed(junk)), "(none)");

        // Entries that end the file but start inside the image or before
        // any trailer could fit.
        for (uint32_t at : {0u, 4u, 0x100u, 0x3FFu}) {
            TPeImage bad(plus);
            Bytes data = packed;
            data.resize((data.size() + 7) / 8 * 8, 0);
            data.insert(data.end(), 40, 0x30);
            bad.Data = data;
            bad.Put32(bad.SecurityEntry(), at);
            bad.Put32(bad.SecurityEntry() + 4, uint32_t(data.size() - at));
            EXPECT_EQ(ReadGuid(bad.Data), "(none)") << at;
        }
        // Offset and size whose sum overflows 32 bits.
        TPeImage wrap(plus);
        Bytes data = img.Signed(packed);
        wrap.Data = data;
        wrap.Put32(wrap.SecurityEntry(), 0xFFFFFFF0u);
        wrap.Put32(wrap.SecurityEntry() + 4, uint32_t(data.size() + 0x10));
        EXPECT_EQ(ReadGuid(wrap.Data), "(none)");
    }
}

TEST(PeImage, ChecksumSkipsItsFieldAndAddsTheLength) {
    {
        TPeChecksum sum(100);
        const unsigned char b[] = {0x01, 0x02, 0x03};
        sum.Add(b, 3);
        EXPECT_EQ(sum.Value(), 0x0201u + 0x0003u + 3u);
    }
    {
        // The carry folds back in.
        TPeChecksum sum(100);
        const unsigned char b[] = {0xFF, 0xFF, 0xFF, 0xFF};
        sum.Add(b, 4);
        EXPECT_EQ(sum.Value(), 0xFFFFu + 4u);
    }
    const TPeImage img(true, 0x1235);
    const Bytes data = WithPackage(img.Data, "checksum");
    const uint32_t whole = ReferenceChecksum(data, img.ChecksumField());
    // Fed in pieces of every parity, the field's bytes counting as zero
    // whatever they hold, also where a piece boundary cuts the field.
    for (std::size_t split : {std::size_t(1), std::size_t(0x17), img.ChecksumField() + 1,
                              img.ChecksumField() + 3, data.size() - 1}) {
        Bytes changed = data;
        changed[img.ChecksumField() + 1] = 0xEE;
        TPeChecksum sum(int64_t(img.ChecksumField()));
        sum.Add(changed.data(), split);
        sum.Add(changed.data() + split, changed.size() - split);
        EXPECT_EQ(sum.Value(), whole) << split;
    }
}

} // namespace
} // namespace zembra
