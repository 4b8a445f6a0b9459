// A printing program whose own image holds strings under the numbers the
// dialogs use. Without a resource library every dialog shows its built-in
// texts, never the program's, and a lookup without a library leaves the
// language of later lookups alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cwchar>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/resourcestrings.h"
#include "dialog_probe.h"
#include "import_patch.h"
#include "dll_monitor.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = 1033;
constexpr LANGID kSpanish = 1034;
constexpr LANGID kSpanishModern = 3082;
const wchar_t kHostMarker[] = L"host image";  // every string of the program's own table

HMODULE Self() { return GetModuleHandleW(nullptr); }

BOOL CALLBACK CollectText(HWND window, LPARAM texts)
{
    reinterpret_cast<std::vector<std::wstring>*>(texts)->push_back(WindowText(window));
    return TRUE;
}

// Calls an export on a thread of the test's own (the warning and the waiting
// instructions run there; the others start their own), reads the caption
// and every control text of the dialog that comes up, and closes it.
bool ShowAndRead(const std::function<void()>& call, std::vector<std::wstring>& texts)
{
    std::set<HWND> known;
    for (HWND dialog : ProcessDialogs()) {
        known.insert(dialog);
    }
    BackgroundCall caller([&call] {
        call();
        return intptr_t{0};
    });
    const HWND dialog = WaitForDialog(0, 10000, known);
    if (dialog == nullptr) {
        return false;
    }
    const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(dialog, nullptr));
    texts = {WindowText(dialog)};
    EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&texts));
    PostMessageW(dialog, WM_CLOSE, 0, 0);  // ends each dialog without a choice
    const bool ended = thread != nullptr && WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
    if (thread != nullptr) {
        CloseHandle(thread);
    }
    return caller.Wait() && ended;
}

void OpenWarning(const std::wstring& library)
{
    WarningDialogRequest request{};
    request.showDialog = 1;
    request.titleStringId = 3000;
    request.okStringId = 849;
    request.cancelStringId = 3001;
    request.thirdButtonStringId = 3002;
    request.showCheckBox = 1;
    SetField(request.messageText, L"The printer is out of paper.");
    SetField(request.resourceLibraryPath, library);
    ShowWarningDialogExport()(&request);
}

void OpenNotice(const std::wstring& library)
{
    JobStorageRequest request{};
    SetField(request.userName, L"alice");
    SetField(request.jobName, L"Scan");
    SetField(request.settingsSubKey, L"DocEventDlgTest\\unused");
    SetField(request.resourceLibraryPath, library);
    JobStorageDialogExport()(&request);
}

void OpenInstructions(const std::wstring& library, bool waiting)
{
    DuplexInstructionsRequest request{};
    request.step1StringId = 3320;
    request.step2StringId = 3321;
    request.step3StringId = waiting ? 3322 : 3140;  // 3140: the composed two-line text
    request.waitForContinue = waiting ? 1 : 0;
    SetField(request.resourceLibraryPath, library);
    DisplayDialogExport()(&request);
}

TEST(HostStrings, DialogsWithoutALibraryShowOnlyTheirBuiltInTexts)
{
    ASSERT_NE(DocEventDlgModule(), nullptr);
    // The program's strings are in the language the lookups start in.
    const UserLanguageOverride language(DocEventDlgModule(), kEnglish);
    ASSERT_TRUE(language.active());
    const struct {
        const char* name;
        std::function<void(const std::wstring&)> open;
        const wchar_t* caption;
    } dialogs[] = {
        {"warning", OpenWarning, L""},  // its caption has no built-in text
        {"job storage notice", OpenNotice, L"Job Storage Identification"},
        {"informational instructions", [](const std::wstring& path) { OpenInstructions(path, false); },
         L"Print on Both Sides Instructions"},
        {"waiting instructions", [](const std::wstring& path) { OpenInstructions(path, true); },
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
            std::vector<std::wstring> texts;
            ASSERT_TRUE(ShowAndRead([&] { dialog.open(library.path); }, texts));
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
