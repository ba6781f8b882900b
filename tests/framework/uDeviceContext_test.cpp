#include <gtest/gtest.h>
#include <windows.h>

#include "framework/uDeviceContext.h"

namespace zembra {
namespace {

TEST(MemoryDC, OwnBitmapIsDrawableAndGoesWithTheScope) {
    HGDIOBJ made = nullptr;
    {
        TMemoryDC mem(nullptr, 8, 6);
        ASSERT_TRUE(mem.Valid());
        EXPECT_EQ(mem.Width(), 8);
        EXPECT_EQ(mem.Height(), 6);
        // Colour, not the monochrome bitmap of a bare memory DC.
        SetPixel(mem.Handle(), 3, 2, RGB(0x20, 0x80, 0xC0));
        EXPECT_EQ(GetPixel(mem.Handle(), 3, 2), RGB(0x20, 0x80, 0xC0));
        made = GetCurrentObject(mem.Handle(), OBJ_BITMAP);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(GetObjectType(made), static_cast<DWORD>(OBJ_BITMAP));
    }
    EXPECT_EQ(GetObjectType(made), 0u) << "own bitmap not deleted";

    // Nothing to make: invalid, and harmless to destroy.
    for (const SIZE size : {SIZE{0, 5}, SIZE{5, 0}, SIZE{-1, 4}}) {
        TMemoryDC none(nullptr, size.cx, size.cy);
        EXPECT_FALSE(none.Valid());
        EXPECT_EQ(none.Handle(), nullptr);
    }
}

TEST(MemoryDC, BorrowedBitmapIsGivenBackIntact) {
    TWindowDC screen(nullptr);
    ASSERT_TRUE(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen.Handle(), 4, 3);
    ASSERT_NE(bitmap, nullptr);
    {
        TMemoryDC mem(screen.Handle(), bitmap);
        ASSERT_TRUE(mem.Valid());
        EXPECT_EQ(mem.Width(), 4);
        EXPECT_EQ(mem.Height(), 3);
        SetPixel(mem.Handle(), 1, 1, RGB(0xFF, 0, 0));
    }
    ASSERT_EQ(GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP)) << "borrowed bitmap deleted";
    // Deselected: it can go into another DC, and kept what was drawn.
    {
        TMemoryDC again(screen.Handle(), bitmap);
        ASSERT_TRUE(again.Valid());
        EXPECT_EQ(GetPixel(again.Handle(), 1, 1), RGB(0xFF, 0, 0));
    }
    DeleteObject(bitmap);

    TMemoryDC none(screen.Handle(), static_cast<HBITMAP>(nullptr));
    EXPECT_FALSE(none.Valid());
}

TEST(MemoryDC, RepeatedUseLeaksNoGdiObject) {
    // Warm up whatever GDI caches on first use.
    { TMemoryDC warm(nullptr, 16, 16); }
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    HDC screen = GetDC(nullptr);
    HBITMAP shared = CreateCompatibleBitmap(screen, 16, 16);
    for (int i = 0; i < 500; ++i) {
        TMemoryDC own(nullptr, 32 + i % 7, 16);
        TMemoryDC borrowed(screen, shared);
        ASSERT_TRUE(own.Valid() && borrowed.Valid()) << i;
    }
    DeleteObject(shared);
    ReleaseDC(nullptr, screen);
    // Wine may not count GDI objects (then both read 0); Windows does.
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before + 2);
}

} // namespace
} // namespace zembra
