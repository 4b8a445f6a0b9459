// A printing program whose own image holds strings under the numbers the
// dialogs use. Without a resource library every dialog shows its built-in
// texts, never the program's, and a lookup without a library leaves the
// language of later lookups alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "common/resourcestrings.h"
#include "dialog_probe.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "import_patch.h"
#include "requests.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = 1033;
constexpr LANGID kSpanish = 1034;
constexpr LANGID kSpanishModern = 3082;
const wchar_t kHostMarker[] = L"host image";  // every string of the program's own table

// Step texts only the program's own table holds (host_strings.rc).
constexpr uint32_t kHostOnlyStep1 = 3320;
constexpr uint32_t kHostOnlyStep2 = 3321;
constexpr uint32_t kHostOnlyStep3 = 3322;

HMODULE Self() { return GetModuleHandleW(nullptr); }

BOOL CALLBACK CollectText(HWND window, LPARAM texts)
{
    reinterpret_cast<std::vector<std::wstring>*>(texts)->push_back(WindowText(window));
    return TRUE;
}

// The caption and every control text of the driver's dialog, which is then
// closed without a choice; empty when no dialog came up or it did not end.
template <class Driver>
std::vector<std::wstring> ReadAndClose(Driver& call)
{
    if (call.dialog() == nullptr) {
        return {};
    }
    std::vector<std::wstring> texts = {call.Text()};
    EnumChildWindows(call.dialog(), CollectText, reinterpret_cast<LPARAM>(&texts));
    call.Post(WM_CLOSE);
    return call.WaitEnded() ? texts : std::vector<std::wstring>{};
}

std::vector<std::wstring> ShowWarning(const std::wstring& library)
{
    WarningCall warning(WarningRequest().Library(library));
    return ReadAndClose(warning);
}

std::vector<std::wstring> ShowNotice(const std::wstring& library)
{
    NoticeCall notice(NoticeRequest().Library(library));
    return ReadAndClose(notice);
}

std::vector<std::wstring> ShowInstructions(const std::wstring& library, bool waiting)
{
    // Step 3 of the informational dialog is the composed two-line text.
    InstructionsCall instructions(InstructionsRequest()
                                      .Library(library)
                                      .Waiting(waiting ? 1 : 0)
                                      .StepText(1, kHostOnlyStep1)
                                      .StepText(2, kHostOnlyStep2)
                                      .StepText(3, waiting ? kHostOnlyStep3 : IDS_DUPLEX_STEP3_IN_TRAY));
    return ReadAndClose(instructions);
}

TEST(HostStrings, DialogsWithoutALibraryShowOnlyTheirBuiltInTexts)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    // The program's strings are in the language the lookups start in.
    const UserLanguageOverride language(DocEventDlgModule(), kEnglish);
    ASSERT_TRUE(language.active());
    const struct {
        const char* name;
        std::function<std::vector<std::wstring>(const std::wstring&)> show;
        const wchar_t* caption;
    } dialogs[] = {
        {"warning", ShowWarning, L""},  // its caption has no built-in text
        {"job storage notice", ShowNotice, L"Job Storage Identification"},
        {"informational instructions", [](const std::wstring& path) { return ShowInstructions(path, false); },
         L"Print on Both Sides Instructions"},
        {"waiting instructions", [](const std::wstring& path) { return ShowInstructions(path, true); },
         L"Print on Both Sides Instructions"},
    };
    const struct {
        const char* name;
        std::wstring path;
    } libraries[] = {
        {"empty path", L""},
        {"missing file", L"C:\\nowhere\\missing-strings.dll"},
        {"a folder", ProgramFolder()},
    };
    for (const auto& library : libraries) {
        for (const auto& dialog : dialogs) {
            SCOPED_TRACE(std::string(dialog.name) + ", " + library.name);
            const std::vector<std::wstring> texts = dialog.show(library.path);
            ASSERT_FALSE(texts.empty());
            EXPECT_EQ(texts.front(), dialog.caption);
            for (const std::wstring& text : texts) {
                EXPECT_EQ(text.find(kHostMarker), std::wstring::npos);
            }
        }
    }
}

// The program's own FindResourceExW calls: the string source is linked in.
using FindResourceExFunction = HRSRC(WINAPI*)(HMODULE, LPCWSTR, LPCWSTR, WORD);
std::atomic<int> g_findCalls{0};
FindResourceExFunction g_realFindResourceEx = nullptr;

HRSRC WINAPI CountingFindResourceEx(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language)
{
    ++g_findCalls;
    return g_realFindResourceEx(module, type, name, language);
}

TEST(HostStrings, LookupWithoutALibraryFindsNothingAndKeepsTheLanguage)
{
    const UserLanguageOverride language(Self(), kSpanishModern);
    ASSERT_TRUE(language.active());
    const ImportPatch find(Self(), nullptr, "FindResourceExW", reinterpret_cast<const void*>(&CountingFindResourceEx));
    ASSERT_TRUE(find.active());
    g_realFindResourceEx = find.original<FindResourceExFunction>();
    g_findCalls = 0;

    ResourceStrings strings;  // no library loaded
    ASSERT_EQ(g_stringLanguage.load(), kSpanishModern);
    // The program holds these in English only: a lookup there would have
    // switched the process to English.
    for (const uint32_t id : {5u, 849u, 3064u, 3140u}) {
        SCOPED_TRACE(id);
        TextBuffer buffer = L"untouched";
        EXPECT_FALSE(strings.LoadResourceString(id, buffer));
        EXPECT_STREQ(buffer, L"untouched");
    }
    EXPECT_EQ(g_findCalls.load(), 0);
    EXPECT_EQ(g_stringLanguage.load(), kSpanishModern);

    // The next lookup through a real library starts from the user's language:
    // modern Spanish finds the library's traditional Spanish.
    strings.LoadResourceLibrary(BinPath(L"strings-spanish.dll").c_str());
    ASSERT_NE(strings.resourceLibrary.get(), nullptr);
    TextBuffer buffer = L"";
    EXPECT_TRUE(strings.LoadResourceString(5, buffer));
    EXPECT_STREQ(buffer, L"Cinco");
    EXPECT_EQ(g_stringLanguage.load(), kSpanish);
}

}  // namespace
