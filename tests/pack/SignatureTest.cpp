#include "package/uExeAdder.h"
#include "tests/package/uTestSupport.h"
#include "tools/pack/uPackError.h"
#include "tools/pack/uPackageInspector.h"
#include "tools/pack/uPackageWriter.h"
#include "tools/pack/uSignature.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace zembra {
namespace {

using test::Bytes;
using test::TPeImage;
using test::TTempFile;

Bytes ReadBack(const std::string& Path) {
    std::ifstream f(Path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

uint32_t ReferenceChecksum(Bytes Data, std::size_t Field) {
    for (int i = 0; i < 4; ++i)
        Data.at(Field + i) = 0;
    const std::size_t length = Data.size();
    if (Data.size() % 2)
        Data.push_back(0);
    uint64_t sum = 0;
    for (std::size_t i = 0; i < Data.size(); i += 2) {
        sum += Data[i] | Data[i + 1] << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<uint32_t>(sum + length);
}

std::string GuidOf(const std::string& Path) {
    TItemTypes items;
    ReadItems(Path, items);
    std::string r = "(none)";
    if (!items.empty() && items[0].Name == "GUID")
        r.assign(items[0].Data, items[0].Data + items[0].Size);
    FreeItems(items);
    return r;
}

TEST(Signature, PackingASignedSaverRemovesItsSignature) {
    const Bytes package = EncodePackage({{"GUID", {'s', 'i', 'g'}, false}}, 0x5A);
    for (bool plus : {false, true}) {
        // An image whose own data ends in zeros: removing the padding that
        // signing added must not eat into it.
        for (std::size_t size : {std::size_t(0x400), std::size_t(0x405)}) {
            TPeImage img(plus, size);
            for (std::size_t i = size - 3; i < size; ++i)
                img.Data[i] = 0;
            TTempFile saver(img.Signed(img.Data), "Signed.scr");
            const std::string output = saver.Dir() + "/My.scr";
            EXPECT_TRUE(WritePackagedSaver(saver.Path(), package, output).SignatureRemoved);

            const Bytes out = ReadBack(output);
            ASSERT_GT(out.size(), size);
            EXPECT_EQ(out.size() % 8, 0u);
            // The image as it was before signing, but for the emptied
            // security entry and the new checksum.
            Bytes expectedImage = img.Data;
            Bytes gotImage(out.begin(), out.begin() + size);
            for (std::size_t i = 0; i < 4; ++i)
                expectedImage[img.ChecksumField() + i] = gotImage[img.ChecksumField() + i];
            EXPECT_EQ(gotImage, expectedImage) << plus << " " << size;
            TPeImage outImage(plus);
            outImage.Data = out;
            EXPECT_EQ(outImage.Get32(img.SecurityEntry()), 0u);
            EXPECT_EQ(outImage.Get32(img.SecurityEntry() + 4), 0u);
            EXPECT_EQ(outImage.Get32(img.ChecksumField()),
                      ReferenceChecksum(out, img.ChecksumField()));
            EXPECT_EQ(GuidOf(output), "sig");

            // Signed again, it still reads, and the listing says so.
            TTempFile resigned(img.Signed(out, 2048), "Resigned.scr");
            EXPECT_EQ(GuidOf(resigned.Path()), "sig");
            TFileReadStream stream(resigned.Path());
            const TInspection inspection = InspectPackage(stream);
            EXPECT_EQ(inspection.State, TPackageState::Ok) << inspection.Problem;
            EXPECT_EQ(inspection.SignatureSize, 2048);
            EXPECT_EQ(inspection.SignatureOffset, int64_t(out.size()));
            EXPECT_NE(FormatInspection(inspection, "R.scr").find("signed: certificate table"),
                      std::string::npos);
        }
    }
}

TEST(Signature, WhatCannotBeUnsignedSafelyIsRefused) {
    const Bytes package = EncodePackage({{"GUID", {'g'}, false}}, 0x5A);
    const TPeImage img(true);
    auto errorOf = [&](const Bytes& Saver) -> std::string {
        TTempFile saver(Saver, "In.scr");
        try {
            WritePackagedSaver(saver.Path(), package, saver.Dir() + "/Out.scr");
        } catch (const TPackError& e) {
            EXPECT_EQ(e.Code(), ecInput);
            return e.what();
        }
        return "no error";
    };
    // A table with something after it.
    Bytes trailing = img.Signed(img.Data);
    trailing.push_back(1);
    EXPECT_NE(errorOf(trailing).find("not where signing puts it"), std::string::npos)
        << errorOf(trailing);
    // A table that ends the file but starts inside the image's sections.
    TPeImage inside(false);
    inside.Put32(inside.SecurityEntry(), 0x300);
    inside.Put32(inside.SecurityEntry() + 4, 0x100);
    EXPECT_NE(errorOf(inside.Data).find("not where signing puts it"), std::string::npos);
    // A packaged saver that was signed: its package is found under the
    // signature, and a second one is refused as for an unsigned one.
    Bytes packed = img.Data;
    packed.insert(packed.end(), package.begin(), package.end());
    EXPECT_NE(errorOf(img.Signed(packed)).find("already carries a package"), std::string::npos);

    // Not a PE image, or one without a signature: taken as it is.
    for (const Bytes& plain : {Bytes{'M', 'Z', 1}, img.Data}) {
        Bytes copy = plain;
        const TRemovedSignature r = RemoveSignature(copy, "x");
        EXPECT_FALSE(r.Removed);
        EXPECT_EQ(copy, plain);
    }
}

} // namespace
} // namespace zembra
