// The illustrations of the two-sided printing instructions, as the library
// carries them: which bitmaps exist, in which language, and their format,
// read both through the platform's bitmap loader and from the raw resource.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/handles.h"
#include "pixels.h"
#include "resource.h"
#include "test_paths.h"

namespace {

// Most pictures are 155 by 100 pixels at 8 bits per pixel and show the red
// asterisk that marks an edge or corner; a row says what differs.
struct Expected {
    WORD id;
    LONG width = 155;
    LONG height = 100;
    WORD bitsPerPixel = 8;
    bool marked = true;

    Expected Size(LONG w, LONG h) const
    {
        Expected row = *this;
        row.width = w;
        row.height = h;
        return row;
    }
    Expected Depth(WORD bits) const
    {
        Expected row = *this;
        row.bitsPerPixel = bits;
        return row;
    }
    Expected Unmarked() const
    {
        Expected row = *this;
        row.marked = false;
        return row;
    }
};

// Every bitmap but the finger on the button (109), the on-screen button (122)
// and the keypad (153) marks the edge of the pages the steps refer to.
const Expected kBitmaps[] = {
    {IDB_ILLUSTRATION_105},
    {IDB_ILLUSTRATION_106},
    {IDB_ILLUSTRATION_107},
    {IDB_ILLUSTRATION_108},
    Expected{IDB_ILLUSTRATION_109}.Unmarked(),
    {IDB_ILLUSTRATION_110},
    {IDB_ILLUSTRATION_111},
    {IDB_ILLUSTRATION_112},
    {IDB_ILLUSTRATION_113},
    {IDB_ILLUSTRATION_114},
    {IDB_ILLUSTRATION_115},
    {IDB_ILLUSTRATION_116},
    {IDB_ILLUSTRATION_117},
    {IDB_ILLUSTRATION_118},
    {IDB_ILLUSTRATION_119},
    {IDB_ILLUSTRATION_120},
    {IDB_ILLUSTRATION_121},
    Expected{IDB_ILLUSTRATION_122}.Unmarked(),
    {IDB_ILLUSTRATION_123},
    {IDB_ILLUSTRATION_133},
    {IDB_ILLUSTRATION_134},
    {IDB_ILLUSTRATION_146},
    Expected{IDB_ILLUSTRATION_147}.Depth(4),
    {IDB_ILLUSTRATION_149},
    {IDB_ILLUSTRATION_151},
    {IDB_ILLUSTRATION_152},
    Expected{IDB_ILLUSTRATION_153}.Depth(4).Unmarked(),
    Expected{IDB_ILLUSTRATION_154}.Size(152, 98).Depth(24),
    Expected{IDB_ILLUSTRATION_155}.Depth(4),
};

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context)
{
    auto* names = reinterpret_cast<std::vector<std::wstring>*>(context);
    names->push_back(IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : std::wstring(name));
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context)
{
    reinterpret_cast<std::vector<WORD>*>(context)->push_back(language);
    return TRUE;
}

// Each picture of the table is also drawn at twice its size, for screens
// scaled to 150 % and more, under its ID plus IDB_ILLUSTRATION_2X_OFFSET.
constexpr WORD kLargerOffset = IDB_ILLUSTRATION_2X_OFFSET;
constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

TEST(Illustrations, ExactlyTheTwentyNineBitmapsAndTheirLargerOnesInUsEnglish)
{
    const HMODULE module = DocEventDlgModule();
    ASSERT_NE(module, nullptr);
    std::vector<std::wstring> names;
    EnumResourceNamesW(module, RT_BITMAP, CollectName, reinterpret_cast<LONG_PTR>(&names));
    std::vector<std::wstring> expected;
    for (const Expected& bitmap : kBitmaps) {
        expected.push_back(std::to_wstring(bitmap.id));
        expected.push_back(std::to_wstring(bitmap.id + kLargerOffset));
    }
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    for (const Expected& bitmap : kBitmaps) {
        for (const WORD id : {bitmap.id, static_cast<WORD>(bitmap.id + kLargerOffset)}) {
            SCOPED_TRACE("bitmap " + std::to_string(id));
            std::vector<WORD> languages;
            EnumResourceLanguagesW(module, RT_BITMAP, MAKEINTRESOURCEW(id), CollectLanguage,
                                   reinterpret_cast<LONG_PTR>(&languages));
            EXPECT_EQ(languages, std::vector<WORD>{kEnglish});
        }
    }
}

TEST(Illustrations, EachBitmapHasTheSizeDepthAndPaletteOfItsRow)
{
    const HMODULE module = DocEventDlgModule();
    ASSERT_NE(module, nullptr);
    for (const Expected& bitmap : kBitmaps) {
        SCOPED_TRACE("bitmap " + std::to_string(bitmap.id));

        // The raw resource: an uncompressed bottom-up DIB with its palette.
        const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(bitmap.id), RT_BITMAP);
        ASSERT_NE(resource, nullptr);
        const HGLOBAL loaded = LoadResource(module, resource);
        ASSERT_NE(loaded, nullptr);
        const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(loaded));
        ASSERT_NE(header, nullptr);
        const DWORD size = SizeofResource(module, resource);
        ASSERT_GE(size, sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(header->biSize, sizeof(BITMAPINFOHEADER));
        EXPECT_EQ(header->biWidth, bitmap.width);
        EXPECT_EQ(header->biHeight, bitmap.height) << "a positive height: bottom-up";
        EXPECT_EQ(header->biPlanes, 1);
        EXPECT_EQ(header->biBitCount, bitmap.bitsPerPixel);
        EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
        const DWORD paletteEntries =
            bitmap.bitsPerPixel <= 8 ? (header->biClrUsed != 0 ? header->biClrUsed : 1u << header->biBitCount) : 0;
        const DWORD fullPalette = bitmap.bitsPerPixel <= 8 ? 1u << bitmap.bitsPerPixel : 0;
        EXPECT_EQ(paletteEntries, fullPalette);
        if (bitmap.bitsPerPixel > 8) {
            EXPECT_EQ(header->biClrUsed, 0u) << "no palette";
        }
        const DWORD stride = ((static_cast<DWORD>(bitmap.width) * bitmap.bitsPerPixel + 31) / 32) * 4;
        EXPECT_GE(size, header->biSize + paletteEntries * sizeof(RGBQUAD) + stride * bitmap.height)
            << "the resource holds the palette and every row";

        // Through the platform's loader.
        const UniqueBitmap handle(LoadBitmapW(module, MAKEINTRESOURCEW(bitmap.id)));
        ASSERT_TRUE(handle);
        BITMAP object{};
        ASSERT_EQ(GetObjectW(handle.get(), sizeof(object), &object), static_cast<int>(sizeof(object)));
        EXPECT_EQ(object.bmWidth, bitmap.width);
        EXPECT_EQ(object.bmHeight, bitmap.height);

        // Each picture is a drawing, not an empty or single-colour area, and
        // shows its red mark where it has one.
        const Pixels pixels = BitmapPixels(handle.get());
        ASSERT_FALSE(pixels.empty());
        std::set<uint32_t> colours;
        size_t red = 0;
        for (uint32_t pixel : pixels.data) {
            colours.insert(pixel & 0xFFFFFF);
            const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
            if (r >= 160 && g <= 90 && b <= 90) {
                ++red;
            }
        }
        EXPECT_GE(colours.size(), 4u);
        if (bitmap.marked) {
            EXPECT_GE(red, 8u) << "no red mark";
        }
    }
}

}  // namespace
