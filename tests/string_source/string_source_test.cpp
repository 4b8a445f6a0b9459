// The string source, tested in the test program's own process: the static
// library is linked in, so the program's own imports are the ones to patch
// (the user's UI language, resource calls to count or to fail).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/handles.h"
#include "common/resourcestrings.h"
#include "import_patch.h"
#include "dll_monitor.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = 1033;
constexpr LANGID kSpanish = 1034;
constexpr LANGID kSpanishModern = 3082;
constexpr LANGID kSpanishMexican = 2058;
constexpr LANGID kGerman = 1031;
constexpr LANGID kFrench = 1036;
constexpr LANGID kArabic = 1025;
constexpr LANGID kHebrew = 1037;

constexpr DWORD kImageResource = LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;
constexpr wchar_t kSentinel = 0xBEEF;

HMODULE Self() { return GetModuleHandleW(nullptr); }

// The 300-unit entry of strings-english and strings-languages.
std::wstring LongEntry()
{
    std::wstring text;
    for (int i = 0; i < 30; ++i) {
        text += L"0123456789";
    }
    return text;
}

// One lookup into a sentinel-filled buffer larger than the capacity passed.
struct Lookup {
    uint32_t length = 0;
    std::wstring text;          // up to the first NUL within capacity
    bool untouched = true;      // no unit of the buffer was written
    bool beyondCapacity = true; // nothing was written at or past capacity
};

Lookup Find(HMODULE module, uint32_t id, size_t capacity = kTextBufferUnits)
{
    std::vector<wchar_t> buffer(capacity + 16, kSentinel);
    Lookup result;
    result.length = FindStringInTable(module, id, buffer.data(), capacity);
    for (size_t i = 0; i < buffer.size(); ++i) {
        if (buffer[i] != kSentinel) {
            result.untouched = false;
            if (i >= capacity) {
                result.beyondCapacity = false;
            }
        }
    }
    result.text.assign(buffer.data(), wcsnlen(buffer.data(), capacity));
    return result;
}

// A library loaded for the length of a test.
class Library {
public:
    Library(const wchar_t* file, DWORD flags = kImageResource)
        : module_(LoadLibraryExW(BinPath(file).c_str(), nullptr, flags))
    {
    }
    HMODULE get() const { return module_.get(); }

private:
    UniqueModule module_;
};

// Counts the program's FindResourceExW calls; optionally makes every one
// fail as if the block existed only in other languages.
std::atomic<int> g_findCalls{0};
std::atomic<bool> g_findReportsOtherLanguage{false};
using FindResourceExFunction = HRSRC(WINAPI*)(HMODULE, LPCWSTR, LPCWSTR, WORD);
FindResourceExFunction g_realFindResourceEx = nullptr;

HRSRC WINAPI CountingFindResourceEx(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language)
{
    ++g_findCalls;
    if (g_findReportsOtherLanguage.load()) {
        SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
        return nullptr;
    }
    return g_realFindResourceEx(module, type, name, language);
}

class FindResourceCounter {
public:
    explicit FindResourceCounter(bool reportOtherLanguage = false)
        : patch_(Self(), nullptr, "FindResourceExW", reinterpret_cast<const void*>(&CountingFindResourceEx))
    {
        g_realFindResourceEx = patch_.original<FindResourceExFunction>();
        g_findCalls = 0;
        g_findReportsOtherLanguage = reportOtherLanguage;
    }
    ~FindResourceCounter() { g_findReportsOtherLanguage = false; }
    bool active() const { return patch_.active(); }
    int calls() const { return g_findCalls.load(); }

private:
    ImportPatch patch_;
};

// Records the program's FreeLibrary calls while the guard lives.
std::atomic<int> g_freeCalls{0};
std::atomic<HMODULE> g_lastFreed{nullptr};
using FreeLibraryFunction = BOOL(WINAPI*)(HMODULE);
FreeLibraryFunction g_realFreeLibrary = nullptr;

BOOL WINAPI RecordingFreeLibrary(HMODULE module)
{
    ++g_freeCalls;
    g_lastFreed = module;
    return g_realFreeLibrary(module);
}

class StringSourceTest : public ::testing::Test {
protected:
    void SetUp() override { g_stringLanguage.store(kEnglish); }
    void TearDown() override { g_stringLanguage.store(kEnglish); }
};

// --- Block numbering and the walk -----------------------------------------

struct IdCase {
    const char* name;
    uint32_t id;
    uint32_t length;  // 0: not found
    const wchar_t* text;
};

// Looks one case up: a found string gives its text, a missing one leaves the
// buffer unwritten.
void ExpectLookup(HMODULE library, const IdCase& c)
{
    SCOPED_TRACE(c.name);
    const Lookup found = Find(library, c.id);
    EXPECT_EQ(found.length, c.length);
    if (c.length == 0) {
        EXPECT_TRUE(found.untouched);
    } else {
        EXPECT_EQ(found.text, c.text);
    }
}

TEST_F(StringSourceTest, IdsFindTheirBlockAndEntry)
{
    const Library library(L"strings-languages.dll");
    ASSERT_NE(library.get(), nullptr);
    const IdCase cases[] = {
        {"ID 0: block 1, index 0", 0, 4, L"Zero"},
        {"ID 15: block 1, last index, after empty entries", 15, 7, L"Fifteen"},
        {"ID 16: block 2, index 0", 16, 7, L"Sixteen"},
        {"ID 65535: block 4096, index 15", 65535, 4, L"Last"},
        {"ID 65536: block 4097, index 0", 65536, 6, L"65536!"},
        {"ID 65537: past the short block 4097", 65537, 0, L""},
        {"ID 1048576: block number wraps to 1, index 0", 1048576, 4, L"Zero"},
        {"ID 1048591: block number wraps to 1, index 15", 1048591, 7, L"Fifteen"},
        {"ID 4: empty entry between defined ones", 4, 0, L""},
        {"ID 17: empty entry after a defined one", 17, 0, L""},
        {"ID 5000: no such block", 5000, 0, L""},
    };
    for (const IdCase& c : cases) {
        ExpectLookup(library.get(), c);
        EXPECT_EQ(g_stringLanguage.load(), kEnglish);
    }
}

TEST_F(StringSourceTest, IdsWhoseBlockWrapsToZeroNeverReachThePlatform)
{
    const Library library(L"strings-languages.dll");
    ASSERT_NE(library.get(), nullptr);
    const FindResourceCounter counter;
    ASSERT_TRUE(counter.active());
    ASSERT_EQ(Find(library.get(), 0).length, 4u);  // the counter sees ordinary lookups
    ASSERT_EQ(counter.calls(), 1);
    for (const uint32_t id : {0xFFFF0u, 0xFFFF5u, 0xFFFFFu, 0x1FFFF0u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(id);
        const Lookup found = Find(library.get(), id);
        EXPECT_EQ(found.length, 0u);
        EXPECT_TRUE(found.untouched);
    }
    EXPECT_EQ(counter.calls(), 1);
}

// --- Copying an entry -------------------------------------------------------

TEST_F(StringSourceTest, EntryTextIsCopiedUpToNulOrCapacity)
{
    const Library library(L"strings-english.dll");
    ASSERT_NE(library.get(), nullptr);
    const std::wstring longEntry = LongEntry();
    struct CopyCase {
        const char* name;
        uint32_t id;
        size_t capacity;
        uint32_t length;
        std::wstring text;
    };
    const CopyCase cases[] = {
        {"first unit NUL: found, empty text", 1, 256, 7, L""},
        {"NUL in the middle: text up to it", 2, 256, 5, L"ab"},
        {"300 units into 256: first 255, stored length", 3, 256, 300, longEntry.substr(0, 255)},
        {"300 units into 301: whole", 3, 301, 300, longEntry},
        {"300 units into 10: first 9", 3, 10, 300, longEntry.substr(0, 9)},
        {"capacity 1: only the NUL", 0, 1, 4, L""},
        {"capacity 4 for 4 units: first 3", 0, 4, 4, L"Zer"},
        {"capacity 5 for 4 units: whole", 0, 5, 4, L"Zero"},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Lookup found = Find(library.get(), c.id, c.capacity);
        EXPECT_EQ(found.length, c.length);
        EXPECT_EQ(found.text, c.text);
        EXPECT_TRUE(found.beyondCapacity) << "wrote past the capacity";
    }
}

TEST_F(StringSourceTest, LongEntryLeavesA255UnitTerminatedText)
{
    const Library library(L"strings-english.dll");
    ASSERT_NE(library.get(), nullptr);
    TextBuffer buffer;
    std::fill(std::begin(buffer), std::end(buffer), kSentinel);
    EXPECT_EQ(FindStringInTable(library.get(), 3, buffer, kTextBufferUnits), 300u);
    EXPECT_EQ(buffer[254], L'4');
    EXPECT_EQ(buffer[255], L'\0');
}

TEST_F(StringSourceTest, MalformedBlocksFindOnlyWholeEntries)
{
    const Library library(L"strings-malformed.dll");
    ASSERT_NE(library.get(), nullptr);
    const IdCase cases[] = {
        {"short block: first entry is whole", 0, 1, L"a"},
        {"short block: empty entry", 1, 0, L""},
        {"short block: last whole entry", 2, 2, L"bc"},
        {"short block: entry past its end", 3, 0, L""},
        {"short block: last index", 15, 0, L""},
        {"overrunning count: entry before it", 16, 0, L""},
        {"overrunning count: the entry itself", 18, 0, L""},
        {"overrunning count: entry after it", 19, 0, L""},
        {"odd size: entry whose text is half a unit", 32, 0, L""},
        {"odd size: next entry", 33, 0, L""},
        {"intact block of the same library", 48, 6, L"Intact"},
    };
    for (const IdCase& c : cases) {
        ExpectLookup(library.get(), c);
    }
}

// --- The language fallback -------------------------------------------------

TEST_F(StringSourceTest, ModernSpanishUserGetsTraditionalSpanishForEveryLaterLookup)
{
    const UserLanguageOverride user(Self(), kSpanishModern);
    ASSERT_TRUE(user.active());
    ResourceStrings strings;
    EXPECT_EQ(g_stringLanguage.load(), kSpanishModern);
    strings.LoadResourceLibrary(BinPath(L"strings-spanish.dll").c_str());
    ASSERT_NE(strings.resourceLibrary.get(), nullptr);

    TextBuffer buffer;
    ASSERT_TRUE(strings.LoadResourceString(16, buffer));
    EXPECT_STREQ(buffer, L"Dieciséis");
    EXPECT_EQ(g_stringLanguage.load(), kSpanish);

    // Later lookups, here and in another dialog's library, start from 1034.
    const Library other(L"strings-languages.dll");
    const FindResourceCounter counter;
    EXPECT_EQ(Find(other.get(), 0).text, L"Cero");
    EXPECT_EQ(Find(strings.resourceLibrary.get(), 0).text, L"Cero");
    EXPECT_EQ(counter.calls(), 2) << "a later lookup ran the fallback again";
    EXPECT_EQ(g_stringLanguage.load(), kSpanish);
}

TEST_F(StringSourceTest, UnmatchedUserLanguageFallsToEnglishAndStaysThere)
{
    const UserLanguageOverride user(Self(), kFrench);
    ResourceStrings strings;
    strings.LoadResourceLibrary(BinPath(L"strings-german.dll").c_str());
    ASSERT_NE(strings.resourceLibrary.get(), nullptr);

    TextBuffer buffer;
    std::fill(std::begin(buffer), std::end(buffer), kSentinel);
    EXPECT_FALSE(strings.LoadResourceString(0, buffer));
    EXPECT_EQ(buffer[0], kSentinel);
    EXPECT_EQ(g_stringLanguage.load(), kEnglish);

    const Library other(L"strings-languages.dll");
    EXPECT_EQ(Find(other.get(), 16).text, L"Sixteen");
    EXPECT_EQ(g_stringLanguage.load(), kEnglish);
}

TEST_F(StringSourceTest, FallbackTakesTheLanguageFromTheFirstBlock)
{
    const Library library(L"strings-first-block-other.dll");
    ASSERT_NE(library.get(), nullptr);
    struct FirstBlockCase {
        const char* name;
        LANGID requested;
        LANGID picked;
    };
    // Block 2 holds ID 16 in 1034 only; block 1 is in 1031 and 2058.
    const FirstBlockCase cases[] = {
        {"Spanish: block 1 offers 2058 after 1031", kSpanishModern, kSpanishMexican},
        {"French: nothing in block 1 matches", kFrench, kEnglish},
        {"German: block 1 offers 1031 itself", 3079 /* German, Austria */, kGerman},
    };
    for (const FirstBlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_stringLanguage.store(c.requested);
        const Lookup found = Find(library.get(), 16);
        EXPECT_EQ(found.length, 0u);
        EXPECT_TRUE(found.untouched);
        EXPECT_EQ(g_stringLanguage.load(), c.picked);
    }
    g_stringLanguage.store(kSpanishModern);
    ASSERT_EQ(Find(library.get(), 16).length, 0u);
    EXPECT_EQ(Find(library.get(), 0).text, L"Cero (México)");
}

TEST_F(StringSourceTest, MissingBlockDoesNotRunTheFallback)
{
    const Library library(L"strings-spanish.dll");
    ASSERT_NE(library.get(), nullptr);
    g_stringLanguage.store(kFrench);
    const Lookup found = Find(library.get(), 5000);  // block 313 does not exist in any language
    EXPECT_EQ(found.length, 0u);
    EXPECT_TRUE(found.untouched);
    EXPECT_EQ(g_stringLanguage.load(), kFrench);
}

TEST_F(StringSourceTest, FallbackThatEnumeratesNothingKeepsTheRequestedLanguage)
{
    // Every block is reported as present in other languages only, so the
    // fallback runs; the program itself has no string tables to enumerate.
    const FindResourceCounter otherLanguagesOnly(true);
    ASSERT_TRUE(otherLanguagesOnly.active());
    const Library german(L"strings-german.dll");
    struct EnumerationCase {
        const char* name;
        HMODULE module;
        LANGID picked;
    };
    const EnumerationCase cases[] = {
        {"program without string tables, by its handle", Self(), kFrench},
        {"library with German blocks", german.get(), kEnglish},
    };
    for (const EnumerationCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_stringLanguage.store(kFrench);
        g_findCalls = 0;
        EXPECT_EQ(Find(c.module, 0).length, 0u);
        EXPECT_EQ(g_findCalls.load(), 2) << "one attempt and one retry";
        EXPECT_EQ(g_stringLanguage.load(), c.picked);
    }
}

TEST_F(StringSourceTest, EnumerationCallbacksAcceptOnlyStringTypesAndMatchingLanguages)
{
    const Library library(L"strings-first-block-other.dll");
    struct TypeCase {
        const char* name;
        LPWSTR type;
        BOOL continues;
    };
    const TypeCase types[] = {
        {"integer 6", MAKEINTRESOURCEW(6), FALSE},
        {"named, any case", const_cast<LPWSTR>(L"Rt_String"), FALSE},
        {"integer 10", MAKEINTRESOURCEW(10), TRUE},
        {"other name", const_cast<LPWSTR>(L"NOTES"), TRUE},
        {"name that only starts alike", const_cast<LPWSTR>(L"RT_STRINGS"), TRUE},
    };
    for (const TypeCase& c : types) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EnumStringTypeProc(library.get(), c.type, kFrench), c.continues);
    }

    struct LanguageCase {
        const char* name;
        WORD language;
        LANGID requested;
        BOOL continues;
        LANGID result;
    };
    const LanguageCase languages[] = {
        {"United Kingdom finds United States", kEnglish, 2057, FALSE, kEnglish},
        {"modern Spanish finds traditional", kSpanish, kSpanishModern, FALSE, kSpanish},
        {"same language", kGerman, kGerman, FALSE, kGerman},
        {"other primary language", kGerman, kSpanishModern, TRUE, kEnglish},
        {"same sublanguage, other primary language", 0x0C01 /* Arabic, Egypt */, 0x0C0A, TRUE, kEnglish},
        {"primary languages alike only in their low byte", kGerman, 0x0507, TRUE, kEnglish},
    };
    for (const LanguageCase& c : languages) {
        SCOPED_TRACE(c.name);
        g_stringLanguage.store(0);
        EXPECT_EQ(EnumStringLanguageProc(library.get(), RT_STRING, MAKEINTRESOURCEW(1), c.language, c.requested),
                  c.continues);
        EXPECT_EQ(g_stringLanguage.load(), c.result);
    }
}

// --- ResourceStrings ---------------------------------------------------------

TEST_F(StringSourceTest, RightToLeftFollowsTheUserLanguageOnly)
{
    struct DirectionCase {
        const char* name;
        LANGID user;
        int32_t rightToLeft;
    };
    const DirectionCase cases[] = {
        {"Arabic, Saudi Arabia", kArabic, 1},
        {"Arabic, Egypt", 0x0C01, 1},
        {"Hebrew", kHebrew, 1},
        {"Persian", 1065, 0},
        {"Urdu", 1056, 0},
        {"English", kEnglish, 0},
        {"modern Spanish", kSpanishModern, 0},
        {"primary language 257: only its low byte is 1", 0x0101, 0},
        {"primary language 269: only its low byte is 13", 0x010D, 0},
    };
    for (const DirectionCase& c : cases) {
        SCOPED_TRACE(c.name);
        const UserLanguageOverride user(Self(), c.user);
        ResourceStrings strings;
        EXPECT_EQ(strings.rightToLeft, c.rightToLeft);
        EXPECT_EQ(g_stringLanguage.load(), c.user);
        EXPECT_EQ(strings.resourceLibrary.get(), nullptr);
        // The library's languages do not change the decision.
        strings.LoadResourceLibrary(BinPath(L"strings-languages.dll").c_str());
        TextBuffer buffer;
        strings.LoadResourceString(0, buffer);
        EXPECT_EQ(strings.rightToLeft, c.rightToLeft);
    }
}

TEST_F(StringSourceTest, SecondLoadKeepsTheFirstLibrary)
{
    const UserLanguageOverride user(Self(), kEnglish);
    ResourceStrings strings;
    strings.LoadResourceLibrary(BinPath(L"strings-english.dll").c_str());
    const HMODULE first = strings.resourceLibrary.get();
    ASSERT_NE(first, nullptr);
    strings.LoadResourceLibrary(BinPath(L"strings-languages.dll").c_str());
    EXPECT_EQ(strings.resourceLibrary.get(), first);
    strings.LoadResourceLibrary(L"no-such-library.dll");
    EXPECT_EQ(strings.resourceLibrary.get(), first);
    TextBuffer buffer;
    ASSERT_TRUE(strings.LoadResourceString(7, buffer));  // only strings-english has ID 7
    EXPECT_STREQ(buffer, L"Seven");
}

using UniqueFile = UniqueHandle<HANDLE, &CloseHandle>;
using UniqueWindow = UniqueHandle<HWND, &DestroyWindow>;

// A text file that is not a loadable image, removed at the end of the test.
class TextFile {
public:
    TextFile()
    {
        wchar_t folder[MAX_PATH];
        wchar_t path[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"str", 0, path);
        path_ = path;
        const HANDLE created = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const UniqueFile file(created != INVALID_HANDLE_VALUE ? created : nullptr);
        const char text[] = "not a module\r\n";
        DWORD written = 0;
        WriteFile(file.get(), text, sizeof text - 1, &written, nullptr);
    }
    ~TextFile() { DeleteFileW(path_.c_str()); }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

TEST_F(StringSourceTest, UnloadableLibraryLeavesLookupsToTheFallbacks)
{
    const TextFile textFile;
    const std::wstring missing = BinPath(L"no-such-library.dll");
    const std::wstring folder = ProgramFolder();
    struct PathCase {
        const char* name;
        const wchar_t* path;
    };
    const PathCase cases[] = {
        {"missing file", missing.c_str()},
        {"text file", textFile.path().c_str()},
        {"folder", folder.c_str()},
        {"empty path", L""},
    };
    const UniqueWindow owned(CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    const HWND window = owned.get();
    ASSERT_NE(window, nullptr);
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        const UserLanguageOverride user(Self(), kEnglish);
        ResourceStrings strings;
        strings.LoadResourceLibrary(c.path);
        EXPECT_EQ(strings.resourceLibrary.get(), nullptr);
        TextBuffer buffer;
        buffer[0] = kSentinel;
        EXPECT_FALSE(strings.LoadResourceString(0, buffer));
        EXPECT_EQ(buffer[0], kSentinel);
        EXPECT_NE(strings.SetLocalizedText(0, window, L"Built-in"), 0);
        wchar_t shown[64] = L"";
        GetWindowTextW(window, shown, 64);
        EXPECT_STREQ(shown, L"Built-in");
        // A failed load is not final: the next call tries again.
        strings.LoadResourceLibrary(BinPath(L"strings-english.dll").c_str());
        EXPECT_NE(strings.resourceLibrary.get(), nullptr);
    }
}

TEST_F(StringSourceTest, DestructionReleasesOnlyALoadedLibrary)
{
    const ImportPatch freeLibrary(Self(), nullptr, "FreeLibrary", reinterpret_cast<const void*>(&RecordingFreeLibrary));
    ASSERT_TRUE(freeLibrary.active());
    g_realFreeLibrary = freeLibrary.original<FreeLibraryFunction>();
    {
        g_freeCalls = 0;
        ResourceStrings strings;
        strings.LoadResourceLibrary(L"no-such-library.dll");
    }
    EXPECT_EQ(g_freeCalls.load(), 0);
    HMODULE loaded = nullptr;
    {
        ResourceStrings strings;
        strings.LoadResourceLibrary(BinPath(L"strings-english.dll").c_str());
        loaded = strings.resourceLibrary.get();
        ASSERT_NE(loaded, nullptr);
        g_freeCalls = 0;
    }
    EXPECT_EQ(g_freeCalls.load(), 1);
    EXPECT_EQ(g_lastFreed.load(), loaded);
}

TEST_F(StringSourceTest, SetLocalizedTextShowsTheStringOrTheCutFallback)
{
    const UserLanguageOverride user(Self(), kEnglish);
    ResourceStrings strings;
    strings.LoadResourceLibrary(BinPath(L"strings-english.dll").c_str());
    ASSERT_NE(strings.resourceLibrary.get(), nullptr);
    const UniqueWindow owned(CreateWindowW(L"STATIC", L"before", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    const HWND window = owned.get();
    ASSERT_NE(window, nullptr);

    const std::wstring fallback255(255, L'f');
    const std::wstring fallback256 = fallback255 + L"g";
    const std::wstring fallback400(400, L'h');
    struct TextCase {
        const char* name;
        uint32_t id;
        std::wstring fallback;
        std::wstring shown;
    };
    const TextCase cases[] = {
        {"found string wins", 0, L"Fallback", L"Zero"},
        {"found empty string wins over the fallback", 1, L"Fallback", L""},
        {"NUL in the middle", 2, L"Fallback", L"ab"},
        {"300-unit string cut to 255", 3, L"Fallback", LongEntry().substr(0, 255)},
        {"empty entry shows the fallback", 4, L"Fallback", L"Fallback"},
        {"missing block shows the fallback", 5000, L"Fallback", L"Fallback"},
        {"255-unit fallback whole", 4, fallback255, fallback255},
        {"256-unit fallback cut", 4, fallback256, fallback255},
        {"400-unit fallback cut", 4, fallback400, std::wstring(255, L'h')},
        {"empty fallback", 4, L"", L""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetWindowTextW(window, L"before");
        EXPECT_NE(strings.SetLocalizedText(c.id, window, c.fallback.c_str()), 0);
        wchar_t shown[512] = L"";
        const int length = GetWindowTextW(window, shown, 512);
        EXPECT_EQ(std::wstring(shown, static_cast<size_t>(length)), c.shown);
    }
}

// --- Against the platform's own string loader --------------------------------

struct LoadFlagsCase {
    const char* name;
    DWORD flags;
};
const LoadFlagsCase kLoadFlags[] = {
    {"image resource", kImageResource},
    {"unresolved references", DONT_RESOLVE_DLL_REFERENCES},
};

TEST_F(StringSourceTest, EveryStringMatchesThePlatformLoader)
{
    struct LibraryCase {
        const wchar_t* file;
        LANGID language;
        int defined;
    };
    const LibraryCase libraries[] = {
        {L"strings-english.dll", kEnglish, 11},
        {L"strings-spanish.dll", kSpanish, 6},
        {L"strings-german.dll", kGerman, 6},
    };
    for (const LoadFlagsCase& flags : kLoadFlags) {
        for (const LibraryCase& c : libraries) {
            SCOPED_TRACE(std::string(flags.name) + " " + std::to_string(c.language));
            const Library library(c.file, flags.flags);
            ASSERT_NE(library.get(), nullptr);
            g_stringLanguage.store(c.language);
            int found = 0;
            int mismatches = 0;
            for (uint32_t id = 0; id <= 0xFFFF && mismatches < 5; ++id) {
                wchar_t theirs[kTextBufferUnits];
                const int theirLength = LoadStringW(library.get(), id, theirs, kTextBufferUnits);
                const Lookup ours = Find(library.get(), id);
                const bool same = theirLength == 0
                                      ? ours.length == 0 && ours.untouched
                                      : ours.length != 0 && ours.text == theirs &&
                                            (ours.length == static_cast<uint32_t>(theirLength) ||
                                             (ours.length > 255 && theirLength == 255));
                if (!same) {
                    ++mismatches;
                    ADD_FAILURE() << "ID " << id << ": ours " << ours.length << " \"" << testing::PrintToString(ours.text)
                                  << "\", platform " << theirLength;
                }
                found += ours.length != 0 ? 1 : 0;
            }
            EXPECT_EQ(found, c.defined);
            EXPECT_EQ(g_stringLanguage.load(), c.language);
        }
    }
}

TEST_F(StringSourceTest, BothLoadFlagsGiveTheSameLookups)
{
    const Library image(L"strings-languages.dll", kImageResource);
    const Library unresolved(L"strings-languages.dll", DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(image.get(), nullptr);
    ASSERT_NE(unresolved.get(), nullptr);
    int found = 0;
    for (const LANGID language : {kEnglish, kSpanish, kGerman, kArabic, kHebrew}) {
        for (uint32_t id = 0; id <= 0x10010; ++id) {
            g_stringLanguage.store(language);
            const Lookup viaImage = Find(image.get(), id);
            g_stringLanguage.store(language);
            const Lookup viaUnresolved = Find(unresolved.get(), id);
            if (viaImage.length != viaUnresolved.length || viaImage.text != viaUnresolved.text) {
                ADD_FAILURE() << "language " << language << ", ID " << id;
                break;
            }
            found += viaImage.length != 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(found, 7 + 4 * 4 + 1);
}

TEST_F(StringSourceTest, BothLoadFlagsGiveTheSameFallback)
{
    struct FallbackCase {
        const char* name;
        const wchar_t* file;
        LANGID requested;
        uint32_t id;
        LANGID picked;
        const wchar_t* text;  // null: not found
    };
    const FallbackCase cases[] = {
        {"3082 against 1034", L"strings-spanish.dll", kSpanishModern, 16, kSpanish, L"Dieciséis"},
        {"1036 against 1031", L"strings-german.dll", kFrench, 16, kEnglish, nullptr},
        {"first block decides", L"strings-first-block-other.dll", kSpanishModern, 16, kSpanishMexican, nullptr},
        {"2057 against five languages", L"strings-languages.dll", 2057, 16, kEnglish, L"Sixteen"},
    };
    for (const LoadFlagsCase& flags : kLoadFlags) {
        for (const FallbackCase& c : cases) {
            SCOPED_TRACE(std::string(flags.name) + ": " + c.name);
            const Library library(c.file, flags.flags);
            ASSERT_NE(library.get(), nullptr);
            g_stringLanguage.store(c.requested);
            const Lookup found = Find(library.get(), c.id);
            EXPECT_EQ(g_stringLanguage.load(), c.picked);
            if (c.text == nullptr) {
                EXPECT_EQ(found.length, 0u);
            } else {
                EXPECT_EQ(found.text, c.text);
            }
        }
    }
}

// --- Threads -------------------------------------------------------------

TEST_F(StringSourceTest, ConstructionOnAnotherThreadResetsTheLanguageForTheFirst)
{
    std::mutex mutex;
    std::condition_variable changed;
    int step = 0;
    auto advanceTo = [&](int next) {
        std::lock_guard<std::mutex> lock(mutex);
        step = next;
        changed.notify_all();
    };
    auto waitFor = [&](int wanted) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return step >= wanted; });
    };

    std::wstring before;
    std::wstring after;
    std::optional<UserLanguageOverride> user;
    user.emplace(Self(), kFrench);
    std::thread first([&] {
        // A French user's dialog: the fallback settles on English.
        ResourceStrings strings;
        strings.LoadResourceLibrary(BinPath(L"strings-languages.dll").c_str());
        TextBuffer buffer;
        if (strings.LoadResourceString(0, buffer)) {
            before = buffer;
        }
        advanceTo(1);
        waitFor(2);
        if (strings.LoadResourceString(0, buffer)) {
            after = buffer;
        }
    });
    waitFor(1);
    user.reset();
    // A second dialog, constructed for a German user on a thread of its own.
    user.emplace(Self(), kGerman);
    std::thread second([] { ResourceStrings strings; });
    second.join();
    user.reset();
    advanceTo(2);
    first.join();
    EXPECT_EQ(before, L"Zero");
    EXPECT_EQ(after, L"Null");
    EXPECT_EQ(g_stringLanguage.load(), kGerman);
}

}  // namespace
