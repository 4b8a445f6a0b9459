// The per-dialog string source: the caller's localized resource library, the
// language its strings are looked up in, and the right-to-left decision.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "handles.h"

constexpr size_t kTextBufferUnits = 256;
constexpr LANGID kEnglishUnitedStates = 0x0409;

using TextBuffer = wchar_t[kTextBufferUnits];

// The one language all lookups of the process are made in. Every construction
// of a ResourceStrings resets it, the language fallback changes it; each access
// is one whole load or store.
extern std::atomic<uint16_t> g_stringLanguage;

// Looks id up in module's string tables (module null: no library, nothing is
// found and the language is left alone).
// Returns the stored length (the text may have been cut to capacity - 1 units)
// or 0 when the string is not found, leaving buffer alone.
uint32_t FindStringInTable(HMODULE module, uint32_t id, wchar_t* buffer, size_t capacity);

// The language fallback's enumeration callbacks; the requested language
// travels as the caller's value.
BOOL CALLBACK EnumStringTypeProc(HMODULE module, LPWSTR type, LONG_PTR requested);
BOOL CALLBACK EnumStringBlockProc(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR requested);
BOOL CALLBACK EnumStringLanguageProc(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language,
                                     LONG_PTR requested);

// True for the primary languages whose users get mirrored dialogs.
bool IsRightToLeftLanguage(LANGID language);

class ResourceStrings {
public:
    ResourceStrings();
    ResourceStrings(const ResourceStrings&) = delete;
    ResourceStrings& operator=(const ResourceStrings&) = delete;

    // Loads the library at path for its resources only; a held library stays.
    void LoadResourceLibrary(const wchar_t* path);

    // True when id was found; the buffer is written only then.
    bool LoadResourceString(uint32_t id, TextBuffer& buffer) const;

    // Sets window's text to string id, or to fallback (cut to 255 units) when
    // the string is not found. Returns the platform's result.
    BOOL SetLocalizedText(uint32_t id, HWND window, const wchar_t* fallback) const;

    UniqueModule resourceLibrary;  // freed with the object
    int32_t rightToLeft = 0;
};
