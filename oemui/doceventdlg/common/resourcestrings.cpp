#include "resourcestrings.h"

#include "fieldtext.h"
#include "stringblock.h"

std::atomic<uint16_t> g_stringLanguage{kEnglishUnitedStates};

namespace {

constexpr DWORD kPrimaryLanguageMask = 0x3FF;

// Finds the block in the language the process looks strings up in now.
HRSRC FindStringBlock(HMODULE module, uint16_t blockNumber)
{
    return FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(blockNumber), g_stringLanguage.load());
}

// Picks the language for later lookups from the first string block the
// platform reports: the first of its languages that shares the requested
// primary language, else English (United States).
void RunLanguageFallback(HMODULE module)
{
    const LONG_PTR requested = g_stringLanguage.load();
    EnumResourceTypesW(module, EnumStringTypeProc, requested);
}

}  // namespace

BOOL CALLBACK EnumStringTypeProc(HMODULE module, LPWSTR type, LONG_PTR requested)
{
    const bool isStringType = IS_INTRESOURCE(type) ? type == RT_STRING : _wcsicmp(type, L"RT_STRING") == 0;
    if (!isStringType) {
        return TRUE;
    }
    EnumResourceNamesW(module, type, EnumStringBlockProc, requested);
    return FALSE;
}

BOOL CALLBACK EnumStringBlockProc(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR requested)
{
    EnumResourceLanguagesW(module, type, name, EnumStringLanguageProc, requested);
    return FALSE;
}

BOOL CALLBACK EnumStringLanguageProc(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR requested)
{
    if (((language ^ static_cast<DWORD>(requested)) & kPrimaryLanguageMask) != 0) {
        g_stringLanguage.store(kEnglishUnitedStates);
        return TRUE;
    }
    g_stringLanguage.store(language);
    return FALSE;
}

uint32_t FindStringInTable(HMODULE module, uint32_t id, wchar_t* buffer, size_t capacity)
{
    if (buffer == nullptr || capacity == 0) {
        return 0;
    }
    if (module == nullptr) {
        // No library loaded. To the resource functions a null module is the
        // host program's own image, whose strings are not ours to show and
        // whose string blocks must not steer the language of later lookups.
        return 0;
    }
    const StringBlockAddress address = StringBlockAddressOf(id);
    if (address.blockNumber == 0) {
        return 0;  // block names run from 1; the 16-bit wrap reaches 0 only past every block
    }
    HRSRC block = FindStringBlock(module, address.blockNumber);
    if (block == nullptr) {
        if (GetLastError() != ERROR_RESOURCE_LANG_NOT_FOUND) {
            return 0;
        }
        RunLanguageFallback(module);
        block = FindStringBlock(module, address.blockNumber);
        if (block == nullptr) {
            return 0;
        }
    }
    const HGLOBAL loaded = LoadResource(module, block);
    if (loaded == nullptr) {
        return 0;
    }
    // The walk is bounded by the resource's size, so a malformed library
    // cannot make it read past the block.
    const auto* units = static_cast<const uint16_t*>(static_cast<const void*>(loaded));
    const size_t blockUnits = SizeofResource(module, block) / sizeof(uint16_t);
    const StringEntry entry = FindStringEntry(units, blockUnits, address.index);
    return CopyStringEntry(units, entry, buffer, capacity);
}

bool IsRightToLeftLanguage(LANGID language)
{
    const LANGID primary = PRIMARYLANGID(language);
    return primary == LANG_ARABIC || primary == LANG_HEBREW;
}

ResourceStrings::ResourceStrings()
{
    const LANGID userLanguage = GetUserDefaultUILanguage();
    g_stringLanguage.store(userLanguage);
    rightToLeft = IsRightToLeftLanguage(userLanguage) ? 1 : 0;
}

void ResourceStrings::LoadResourceLibrary(const wchar_t* path)
{
    if (resourceLibrary || path == nullptr) {
        return;
    }
    // Mapped as an image resource: its code never runs and its imports are
    // never resolved, and a later normal load of the same file is unaffected.
    resourceLibrary.reset(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

bool ResourceStrings::LoadResourceString(uint32_t id, TextBuffer& buffer) const
{
    return FindStringInTable(resourceLibrary.get(), id, buffer, kTextBufferUnits) != 0;
}

BOOL ResourceStrings::SetLocalizedText(uint32_t id, HWND window, const wchar_t* fallback) const
{
    TextBuffer text;
    if (!LoadResourceString(id, text)) {
        CopyBoundedText(text, kTextBufferUnits, fallback != nullptr ? fallback : L"", kTextBufferUnits);
    }
    return SetWindowTextW(window, text);
}
