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

#include "pixels.h"
#include "test_paths.h"

namespace {

struct Expected {
    WORD id;
    LONG width;
    LONG height;
    WORD bitsPerPixel;
    bool marked;  // shows the red asterisk that marks an edge or corner
};

// Every bitmap but the finger on the button (109), the on-screen button (122)
// and the keypad (153) marks the edge of the pages the steps refer to.
const Expected kBitmaps[] = {
    {105, 155, 100, 8, true},  {106, 155, 100, 8, true},  {107, 155, 100, 8, true},  {108, 155, 100, 8, true},
    {109, 155, 100, 8, false}, {110, 155, 100, 8, true},  {111, 155, 100, 8, true},  {112, 155, 100, 8, true},
    {113, 155, 100, 8, true},  {114, 155, 100, 8, true},  {115, 155, 100, 8, true},  {116, 155, 100, 8, true},
    {117, 155, 100, 8, true},  {118, 155, 100, 8, true},  {119, 155, 100, 8, true},  {120, 155, 100, 8, true},
    {121, 155, 100, 8, true},  {122, 155, 100, 8, false}, {123, 155, 100, 8, true},  {133, 155, 100, 8, true},
    {134, 155, 100, 8, true},  {146, 155, 100, 8, true},  {147, 155, 100, 4, true},  {149, 155, 100, 8, true},
    {151, 155, 100, 8, true},  {152, 155, 100, 8, true},  {153, 155, 100, 4, false}, {154, 152, 98, 24, true},
    {155, 155, 100, 4, true},
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
// scaled to 150 % and more, under its ID plus 1000.
constexpr WORD kLargerOffset = 1000;

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
            EXPECT_EQ(languages, std::vector<WORD>{0x0409});
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
        const HBITMAP handle = LoadBitmapW(module, MAKEINTRESOURCEW(bitmap.id));
        ASSERT_NE(handle, nullptr);
        BITMAP object{};
        ASSERT_EQ(GetObjectW(handle, sizeof(object), &object), static_cast<int>(sizeof(object)));
        EXPECT_EQ(object.bmWidth, bitmap.width);
        EXPECT_EQ(object.bmHeight, bitmap.height);

        // Each picture is a drawing, not an empty or single-colour area, and
        // shows its red mark where it has one.
        const Pixels pixels = BitmapPixels(handle);
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
        DeleteObject(handle);
    }
}

}  // namespace
