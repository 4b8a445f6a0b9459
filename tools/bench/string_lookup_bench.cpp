// Looks the same string IDs up in the same library with FindStringInTable and
// with the platform's LoadStringW, in alternating batches, and compares the
// median time of one lookup (ours / platform; at most 1.0 is the aim). The
// library is the fixture strings-english.dll beside the program; our lookups
// are made in the language of its first string block, so a library whose
// strings are all in one language compares like with like.
#include <cstdio>

#include "bench_sections.h"
#include "common/resourcestrings.h"

namespace {

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

// Nanoseconds a lookup over one batch of rounds through all IDs.
template <class Lookup>
double BatchNanoseconds(long rounds, const std::vector<UINT>& ids, Lookup lookup, unsigned long long& checksum)
{
    wchar_t buffer[kTextBufferUnits];
    const LONGLONG start = Now();
    for (long round = 0; round < rounds; ++round) {
        for (const UINT id : ids) {
            checksum += static_cast<unsigned>(lookup(id, buffer));
        }
    }
    const LONGLONG end = Now();
    return Microseconds(start, end) * 1000.0 / (static_cast<double>(rounds) * static_cast<double>(ids.size()));
}

}  // namespace

bool RunStringLookupBench(const BenchSettings& settings, std::vector<Figure>& figures)
{
    std::printf("== String lookups: FindStringInTable against LoadStringW\n");
    const std::wstring path = ProgramFolder() + L"strings-english.dll";
    const HMODULE library =
        LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (library == nullptr) {
        std::printf("cannot load %ls (error %lu)\n", path.c_str(), GetLastError());
        return false;
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
    // Both methods must find the same strings, or the times compare unlike work.
    size_t oursFound = 0;
    for (const UINT id : ids) {
        oursFound += FindStringInTable(library, id, buffer, kTextBufferUnits) != 0 ? 1 : 0;
    }
    if (ids.empty() || oursFound != ids.size()) {
        std::printf("FindStringInTable finds %zu of the %zu strings in language %u\n", oursFound, ids.size(),
                    language);
        FreeLibrary(library);
        return false;
    }

    const auto ours = [library](UINT id, wchar_t* text) {
        return FindStringInTable(library, id, text, kTextBufferUnits);
    };
    const auto platform = [library](UINT id, wchar_t* text) {
        return LoadStringW(library, id, text, kTextBufferUnits);
    };
    std::vector<double> oursTimes;
    std::vector<double> platformTimes;
    unsigned long long checksum = 0;
    for (int batch = 0; batch < settings.lookupBatches; ++batch) {
        oursTimes.push_back(BatchNanoseconds(settings.lookupRounds, ids, ours, checksum));
        platformTimes.push_back(BatchNanoseconds(settings.lookupRounds, ids, platform, checksum));
    }
    FreeLibrary(library);

    const Spread oursSpread = Summarize(oursTimes);
    const Spread platformSpread = Summarize(platformTimes);
    std::printf("library            %ls (language %u, %zu strings)\n", path.c_str(), language, ids.size());
    std::printf("batches            %d of %.0f lookups per method, alternating\n", settings.lookupBatches,
                static_cast<double>(settings.lookupRounds) * static_cast<double>(ids.size()));
    std::printf("FindStringInTable  median %.1f ns/lookup (min %.1f, max %.1f), %.0f lookups/s\n", oursSpread.median,
                oursSpread.least, oursSpread.greatest, 1e9 / oursSpread.median);
    std::printf("LoadStringW        median %.1f ns/lookup (min %.1f, max %.1f), %.0f lookups/s\n",
                platformSpread.median, platformSpread.least, platformSpread.greatest, 1e9 / platformSpread.median);
    std::printf("ratio (ours/platform time) %.3f (aim <= 1.0)\n", oursSpread.median / platformSpread.median);
    std::printf("checksum           %llu\n\n", checksum);

    figures.push_back(
        ComparedFigure("string lookup", "ns", oursSpread.median, "LoadStringW", platformSpread.median, 1.0));
    return true;
}
