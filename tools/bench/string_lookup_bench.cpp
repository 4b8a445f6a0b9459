// Looks the same string IDs up in the same library with FindStringInTable and
// with the platform's LoadStringW, many times each, and prints both rates and
// the ratio of their times (ours / platform; at most 1.0 is the aim).
//   wine string_lookup_bench.exe [library] [rounds]
// The library defaults to strings-english.dll beside the program; our lookups
// are made in the language of its first string block, so a library whose
// strings are all in one language compares like with like.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/resourcestrings.h"

namespace {

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end, LARGE_INTEGER frequency)
{
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The language the library's first string block is in, for our lookups.
BOOL CALLBACK FirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found)
{
    *reinterpret_cast<WORD*>(found) = language;
    return FALSE;
}

BOOL CALLBACK FirstBlock(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR found)
{
    EnumResourceLanguagesW(module, type, name, FirstLanguage, found);
    return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring path = argc > 1 ? std::wstring(argv[1]) : ProgramFolder() + L"strings-english.dll";
    const long rounds = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 200000;
    const HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (library == nullptr || rounds <= 0) {
        std::fwprintf(stderr, L"cannot load %ls (error %lu)\n", path.c_str(), GetLastError());
        return 1;
    }
    WORD language = kEnglishUnitedStates;
    EnumResourceNamesW(library, RT_STRING, FirstBlock, reinterpret_cast<LONG_PTR>(&language));
    g_stringLanguage.store(language);

    // The IDs the library defines, found by the platform's loader.
    std::vector<UINT> ids;
    wchar_t buffer[kTextBufferUnits];
    for (UINT id = 0; id <= 0xFFFF; ++id) {
        if (LoadStringW(library, id, buffer, kTextBufferUnits) != 0) {
            ids.push_back(id);
        }
    }
    if (ids.empty()) {
        std::fwprintf(stderr, L"no strings in %ls\n", path.c_str());
        return 1;
    }

    // Both methods must find the same strings, or the rates compare unlike work.
    size_t oursFound = 0;
    for (const UINT id : ids) {
        oursFound += FindStringInTable(library, id, buffer, kTextBufferUnits) != 0 ? 1 : 0;
    }
    if (oursFound != ids.size()) {
        std::fwprintf(stderr, L"FindStringInTable finds %zu of the %zu strings in language %u\n", oursFound,
                      ids.size(), language);
        return 1;
    }

    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    unsigned long long checksum = 0;

    QueryPerformanceCounter(&start);
    for (long round = 0; round < rounds; ++round) {
        for (const UINT id : ids) {
            checksum += FindStringInTable(library, id, buffer, kTextBufferUnits);
        }
    }
    QueryPerformanceCounter(&end);
    const double ours = Seconds(start, end, frequency);

    QueryPerformanceCounter(&start);
    for (long round = 0; round < rounds; ++round) {
        for (const UINT id : ids) {
            checksum += static_cast<unsigned>(LoadStringW(library, id, buffer, kTextBufferUnits));
        }
    }
    QueryPerformanceCounter(&end);
    const double platform = Seconds(start, end, frequency);

    const double lookups = static_cast<double>(rounds) * static_cast<double>(ids.size());
    std::wprintf(L"library            %ls (language %u, %zu strings)\n", path.c_str(), language, ids.size());
    std::wprintf(L"lookups per method %.0f\n", lookups);
    std::wprintf(L"FindStringInTable  %12.0f lookups/s\n", lookups / ours);
    std::wprintf(L"LoadStringW        %12.0f lookups/s\n", lookups / platform);
    std::wprintf(L"ratio (ours/platform time) %.3f\n", ours / platform);
    std::wprintf(L"checksum           %llu\n", checksum);
    FreeLibrary(library);
    return 0;
}
