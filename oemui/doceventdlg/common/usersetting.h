// The library's one persistent output: per-user values under
// HKEY_CURRENT_USER\Software\Velmoracrestwyn\.
#pragma once

#include <windows.h>

// The key every setting lives under, with its trailing backslash.
constexpr wchar_t kUserSettingsKeyPrefix[] = L"Software\\Velmoracrestwyn\\";
constexpr size_t kUserSettingsKeyUnits = 260;

// Writes valueName as REG_BINARY under the prefix followed by subKeySuffix,
// creating the key when missing. A suffix that would not fit the 260-unit key
// path (234 characters or more) is left off. TRUE when written.
BOOL WriteUserSetting(const wchar_t* subKeySuffix, const wchar_t* valueName, const BYTE* data, DWORD length);
