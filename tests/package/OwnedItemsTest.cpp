#include "package/ZLibEx.h"
#include "package/uExeAdder.h"
#include "uTestSupport.h"

#include <gtest/gtest.h>

#include <utility>

namespace zembra {
namespace {

using test::Bytes;
using test::TLayout;

// A package of two stored items and, when Broken, a third whose zlib stream
// does not inflate.
Bytes PackageOf(bool broken) {
    TLayout l;
    l.Raw(Bytes{'M', 'Z', 0, 0});
    const std::size_t start = l.Size();
    l.I32(0x21).I32(broken ? 3 : 2);
    l.Record("One", 0x21, 0, Bytes{1, 2, 3});
    l.Record("Two", 0x21, 0, Bytes{4});
    if (broken)
        l.Record("Bad", 0x21, 1, Bytes{0x78, 0x9C, 0xFF, 0xFF});
    l.Trailer(start);
    return l.Get();
}

TEST(OwnedItems, HoldsReadItemsAndHandsThemOnOnce) {
    const Bytes package = PackageOf(false);
    TMemoryStream stream(package.data(), package.size());
    TOwnedItems first;
    ReadItemsFromStream(stream, first.Items);
    ASSERT_EQ(first.Items.size(), 2u);
    unsigned char* data = first.Items[0].Data;
    ASSERT_NE(data, nullptr);

    TOwnedItems second(std::move(first));
    EXPECT_TRUE(first.Items.empty()) << "the source would free the buffers again";
    ASSERT_EQ(second.Items.size(), 2u);
    EXPECT_EQ(second.Items[0].Data, data);

    TOwnedItems third;
    third = std::move(second);
    EXPECT_TRUE(second.Items.empty());
    EXPECT_EQ(third.Items[0].Data, data);
    EXPECT_EQ(third.Items[1].Data[0], 4);
}

TEST(OwnedItems, KeepsWhatWasReadBeforeADamagedItem) {
    // The items before the bad one stay in the holder, which frees them
    // when the exception has left the scope.
    const Bytes package = PackageOf(true);
    TMemoryStream stream(package.data(), package.size());
    TOwnedItems items;
    EXPECT_THROW(ReadItemsFromStream(stream, items.Items), EZDecompressionError);
    EXPECT_GE(items.Items.size(), 2u);
    EXPECT_EQ(items.Items[0].Name, "One");
}

} // namespace
} // namespace zembra
