// Keys and values under HKEY_CURRENT_USER, for the throwaway keys that tests
// write: shared because several programs check what the library stored.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// HKEY_CURRENT_USER\path and everything below it, removed.
void DeleteUserKey(const std::wstring& path);
bool UserKeyExists(const std::wstring& path);
// Reads a value under HKEY_CURRENT_USER\path; false when it is not there.
bool ReadUserValue(const std::wstring& path, const wchar_t* name, DWORD& type, std::vector<BYTE>& data);
// The names of the sub-keys of HKEY_CURRENT_USER\path.
std::vector<std::wstring> UserSubKeys(const std::wstring& path);
