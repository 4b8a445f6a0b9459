// Input that breaks the contract, through the library's exports: records
// whose text fields have no NUL and that end where readable memory ends, null
// records, random records, and resource libraries that are no libraries.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "dialog_probe.h"
#include "dll_monitor.h"
#include "fault_support.h"
#include "resource.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kGerman = 0x0407;
const wchar_t kVendorKey[] = L"Software\\Velmoracrestwyn";

// The units a field shows: the pattern it was filled with, cut to width - 1.
template <size_t Width>
std::wstring FillWithoutNul(wchar_t (&field)[Width], wchar_t first)
{
    for (size_t i = 0; i < Width; ++i) {
        field[i] = static_cast<wchar_t>(first + i % 26);
    }
    return std::wstring(field, Width - 1);
}

// Two pages, the second without access: a record placed at the end of the
// first has its last byte on the last readable byte.
class GuardedRecord {
public:
    GuardedRecord()
    {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        guarded_ = base_ != nullptr && VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old);
    }
    ~GuardedRecord() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedRecord(const GuardedRecord&) = delete;
    GuardedRecord& operator=(const GuardedRecord&) = delete;

    bool guarded() const { return guarded_; }

    template <class Record>
    Record* Place()
    {
        static_assert(sizeof(Record) <= 4096, "a record fits one page");
        BYTE* at = base_ + page_ - sizeof(Record);
        std::memset(at, 0, sizeof(Record));
        return reinterpret_cast<Record*>(at);
    }

private:
    DWORD page_ = 0;
    BYTE* base_ = nullptr;
    bool guarded_ = false;
};

// The case running now, named in the report of a crash.
char g_currentCase[160] = "";

void SetCurrentCase(const std::string& name)
{
    std::snprintf(g_currentCase, sizeof(g_currentCase), "%s", name.c_str());
}

// A crash ends the program at once with the faulting module and the case,
// instead of waiting for a debugger.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception)
{
    const void* address = exception->ExceptionRecord->ExceptionAddress;
    HMODULE module = nullptr;
    char name[MAX_PATH] = "?";
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<const char*>(address), &module)) {
        GetModuleFileNameA(module, name, MAX_PATH);
    }
    std::fprintf(stderr, "CRASH: exception 0x%08lx at %p (%s + 0x%llx), reading %p, during %s\n",
                 exception->ExceptionRecord->ExceptionCode, address, name,
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address) -
                                                 reinterpret_cast<uintptr_t>(module)),
                 exception->ExceptionRecord->NumberParameters > 1
                     ? reinterpret_cast<void*>(exception->ExceptionRecord->ExceptionInformation[1])
                     : nullptr,
                 g_currentCase);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_CONTINUE_SEARCH;
}

class BadInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetUnhandledExceptionFilter(ReportCrash); }
    void SetUp() override
    {
        SetCurrentCase(::testing::UnitTest::GetInstance()->current_test_info()->name());
        CloseAllDialogs();
    }
    void TearDown() override { CloseAllDialogs(); }
};

// ---- Records whose fields are full to their width, ending at a guard page.

TEST_F(BadInput, WarningWithFullFieldsAtTheEndOfMemory)
{
    GuardedRecord memory;
    ASSERT_TRUE(memory.guarded());
    auto* request = memory.Place<WarningDialogRequest>();
    request->showDialog = 1;
    request->okStringId = IDS_OK_BUTTON;
    request->showCheckBox = 1;
    const std::wstring message = FillWithoutNul(request->messageText, L'a');
    FillWithoutNul(request->resourceLibraryPath, L'A');  // the last field: no such library

    DllMonitor monitor(DocEventDlgModule());
    BackgroundCall call([request] { return ShowWarningDialogExport()(request); });
    const HWND dialog = WaitForDialog(call.threadId(), 30000);
    ASSERT_NE(dialog, nullptr);
    const std::wstring shown = ControlText(dialog, IDC_WARNING_MESSAGE);
    EXPECT_EQ(shown.size(), 1023u);
    EXPECT_EQ(shown, message);
    EXPECT_EQ(ControlText(dialog, IDC_WARNING_DONT_SHOW), L"In the future, do not show this information.");
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    ASSERT_TRUE(call.Wait(30000));
    EXPECT_EQ(call.result(), IDOK);
    EXPECT_EQ(WaitForNoLeaks(monitor), "");
}

TEST_F(BadInput, JobStorageWithFullFieldsAtTheEndOfMemory)
{
    // 38 units without a NUL: the key takes the first 37.
    const std::wstring subKey = L"DocEventDlgBadInput0123456789abcdefghi";
    ASSERT_EQ(subKey.size(), 38u);
    const std::wstring writtenKey = std::wstring(kVendorKey) + L"\\" + subKey.substr(0, 37);
    const std::wstring fullKey = std::wstring(kVendorKey) + L"\\" + subKey;
    DeleteUserKey(writtenKey);
    DeleteUserKey(fullKey);

    GuardedRecord memory;
    ASSERT_TRUE(memory.guarded());
    auto* request = memory.Place<JobStorageRequest>();
    const std::wstring userName = FillWithoutNul(request->userName, L'a');
    const std::wstring jobName = FillWithoutNul(request->jobName, L'A');
    const std::wstring line1 = FillWithoutNul(request->locationLine1, L'b');
    const std::wstring line2 = FillWithoutNul(request->locationLine2, L'c');
    const std::wstring line3 = FillWithoutNul(request->locationLine3, L'd');
    subKey.copy(request->settingsSubKey, 38);
    request->rangeSuffixFlag1 = 1;
    request->rangeSuffixFlag2 = 1;
    FillWithoutNul(request->resourceLibraryPath, L'E');
    const std::wstring helpFile = FillWithoutNul(request->helpFilePath, L'F');  // ends at the guard page

    {
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_NE(JobStorageDialogExport()(request), nullptr);
        const HWND dialog = WaitForDialog(0, 30000);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ControlText(dialog, IDC_JOB_USER_NAME), userName);
        EXPECT_EQ(userName.size(), 16u);
        EXPECT_EQ(ControlText(dialog, IDC_JOB_JOB_NAME), jobName + L"(1-99)");
        EXPECT_EQ(ControlText(dialog, IDC_JOB_LOCATION_LINE1), line1);
        EXPECT_EQ(ControlText(dialog, IDC_JOB_LOCATION_LINE2), line2);
        EXPECT_EQ(ControlText(dialog, IDC_JOB_LOCATION_LINE3), line3);
        EXPECT_EQ(line3.size(), 255u);
        EXPECT_EQ(WindowText(dialog), L"Job Storage Identification");

        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_JOB_HELP, 0), 0);
        const std::vector<HelpCall> help = monitor.HelpCalls();
        ASSERT_EQ(help.size(), 1u);
        EXPECT_EQ(help[0].helpFile, helpFile);

        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
        EXPECT_TRUE(WaitForWindowGone(dialog, 30000));
        EXPECT_EQ(WaitForNoLeaks(monitor), "");
    }
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_TRUE(ReadUserValue(writtenKey, L"ShowJobStorageDlg", type, data));
    EXPECT_EQ(data, std::vector<BYTE>{0x01});
    EXPECT_FALSE(UserKeyExists(fullKey));
    DeleteUserKey(writtenKey);
    DeleteUserKey(fullKey);
}

TEST_F(BadInput, DuplexWithFullPathsAtTheEndOfMemory)
{
    for (const bool waiting : {false, true}) {
        SCOPED_TRACE(waiting ? "waiting" : "informational");
        GuardedRecord memory;
        ASSERT_TRUE(memory.guarded());
        auto* request = memory.Place<DuplexInstructionsRequest>();
        FillWithoutNul(request->resourceLibraryPath, L'G');
        const std::wstring helpFile = FillWithoutNul(request->helpFilePath, L'H');
        request->step1BitmapId = 105;
        request->step2BitmapId = 106;
        request->step3BitmapId = 107;
        request->waitForContinue = waiting ? 1 : 0;
        request->evenPagesFirst = 0xFFFFFFFF;  // the last field, at the guard page

        DllMonitor monitor(DocEventDlgModule());
        std::unique_ptr<BackgroundCall> call;
        if (waiting) {
            call = std::make_unique<BackgroundCall>([request] {
                DisplayDialogExport()(request);
                return intptr_t{0};
            });
        } else {
            DisplayDialogExport()(request);
        }
        const HWND dialog = WaitForDialog(call ? call->threadId() : 0, 30000);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(WindowText(dialog), L"Print on Both Sides Instructions");
        EXPECT_EQ(ControlText(dialog, IDC_DUPLEX_INTRODUCTION).substr(0, 30), L"After the even-numbered pages ");
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DUPLEX_HELP, 0), 0);
        const std::vector<HelpCall> help = monitor.HelpCalls();
        ASSERT_EQ(help.size(), 1u);
        EXPECT_EQ(help[0].helpFile, helpFile);
        EXPECT_EQ(help[0].helpFile.size(), 255u);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitForWindowGone(dialog, 30000));
        if (call) {
            EXPECT_TRUE(call->Wait(30000));
        }
        EXPECT_EQ(WaitForNoLeaks(monitor), "");
    }
}

// ---- Null records.

TEST_F(BadInput, NullRecordsShowNothing)
{
    DllMonitor monitor(DocEventDlgModule());
    EXPECT_EQ(ShowWarningDialogExport()(nullptr), 0);
    EXPECT_EQ(JobStorageDialogExport()(nullptr), nullptr);
    DisplayDialogExport()(nullptr);
    // No thread was started (below), so no dialog can come up later.
    EXPECT_TRUE(ProcessDialogs().empty());
    EXPECT_EQ(monitor.Calls(Api::LocalAlloc), 0);
    EXPECT_EQ(monitor.Calls(Api::CreateThread), 0);
    EXPECT_EQ(monitor.Calls(Api::DialogBoxParamW), 0);
    EXPECT_EQ(WaitForNoLeaks(monitor), "");
}

// ---- Resource libraries that are not libraries.

std::wstring TempFolder()
{
    wchar_t path[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, path);
    std::wstring folder = std::wstring(path) + L"doceventdlg-badinput\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::vector<char> ReadWholeFile(const std::wstring& path)
{
    std::vector<char> data;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return data;
    }
    data.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &read, nullptr);
    data.resize(read);
    CloseHandle(file);
    return data;
}

void WriteWholeFile(const std::wstring& path, const char* data, size_t size)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, size);
}

struct TextCheck {
    int control;  // 0: the caption
    const wchar_t* text;
};

std::wstring Shown(HWND dialog, int control) { return control == 0 ? WindowText(dialog) : ControlText(dialog, control); }

// Runs each dialog once with library as its string library and checks the texts.
void ExpectTextsWithLibrary(const std::wstring& library, uint32_t warningTitleId, uint32_t step1StringId,
                            const std::vector<TextCheck>& warningTexts, const std::vector<TextCheck>& jobTexts,
                            const std::vector<TextCheck>& duplexTexts)
{
    DllMonitor monitor(DocEventDlgModule());
    {
        SCOPED_TRACE("warning");
        WarningDialogRequest request{};
        request.showDialog = 1;
        request.titleStringId = warningTitleId;
        request.okStringId = IDS_OK_BUTTON;
        request.cancelStringId = 5002;
        request.showCheckBox = 1;
        SetField(request.messageText, L"Bad library");
        SetField(request.resourceLibraryPath, library);
        BackgroundCall call([&request] { return ShowWarningDialogExport()(&request); });
        const HWND dialog = WaitForDialog(call.threadId(), 30000);
        ASSERT_NE(dialog, nullptr);
        for (const TextCheck& check : warningTexts) {
            EXPECT_EQ(Shown(dialog, check.control), check.text) << "control " << check.control;
        }
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        ASSERT_TRUE(call.Wait(30000));
        EXPECT_EQ(call.result(), IDCANCEL);
    }
    {
        SCOPED_TRACE("job storage");
        JobStorageRequest request{};
        SetField(request.userName, L"anna");
        SetField(request.resourceLibraryPath, library);
        ASSERT_NE(JobStorageDialogExport()(&request), nullptr);
        const HWND dialog = WaitForDialog(0, 30000);
        ASSERT_NE(dialog, nullptr);
        for (const TextCheck& check : jobTexts) {
            EXPECT_EQ(Shown(dialog, check.control), check.text) << "control " << check.control;
        }
        PostMessageW(dialog, WM_CLOSE, 0, 0);  // closing writes nothing
        EXPECT_TRUE(WaitForWindowGone(dialog, 30000));
    }
    {
        SCOPED_TRACE("duplex");
        DuplexInstructionsRequest request{};
        SetField(request.resourceLibraryPath, library);
        request.step1BitmapId = 105;
        request.step1StringId = step1StringId;
        request.step3StringId = IDS_DUPLEX_INSERT_IN_TRAY;
        DisplayDialogExport()(&request);
        const HWND dialog = WaitForDialog(0, 30000);
        ASSERT_NE(dialog, nullptr);
        for (const TextCheck& check : duplexTexts) {
            EXPECT_EQ(Shown(dialog, check.control), check.text) << "control " << check.control;
        }
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitForWindowGone(dialog, 30000));
    }
    EXPECT_EQ(WaitForNoLeaks(monitor), "");
}

const wchar_t kDontShowFallback[] = L"In the future, do not show this information.";
const wchar_t kStep1Fallback[] =
    L"Without changing the orientation, remove the  paper stack from the Output Bin.  Do not discard blank sheets.";
const wchar_t kComposedFallback[] =
    L"Insert the stack into the IN tray with the top of the pages toward the device, as shown.\n"
    L"Press the Go or Select button to continue printing.";

TEST_F(BadInput, LibrariesThatAreNoImagesGiveTheBuiltInTexts)
{
    const std::wstring folder = TempFolder();
    const std::vector<char> image = ReadWholeFile(BinPath(L"doceventdlg-strings.dll"));
    ASSERT_GT(image.size(), 4096u);
    const std::string text(3000, 'x');

    struct File {
        const wchar_t* name;
        const char* data;
        size_t size;
    };
    const File files[] = {
        {L"text.dll", text.data(), text.size()},
        {L"empty.dll", text.data(), 0},
        {L"dos-header.dll", image.data(), 64},
        {L"headers.dll", image.data(), 1024},
        {L"half.dll", image.data(), image.size() / 2},
    };
    // Under a German user a library that loaded would show German texts.
    UserLanguageOverride german(DocEventDlgModule(), kGerman);
    ASSERT_TRUE(german.active());
    for (const File& file : files) {
        SCOPED_TRACE(std::string(file.name, file.name + wcslen(file.name)));
        const std::wstring path = folder + file.name;
        WriteWholeFile(path, file.data, file.size);
        ExpectTextsWithLibrary(path, 3000, 3150,
                               {{0, L""}, {IDCANCEL, L""}, {IDC_WARNING_DONT_SHOW, kDontShowFallback}},
                               {{0, L"Job Storage Identification"},
                                {IDC_JOB_USER_NAME_LABEL, L"User Name:"},
                                {IDC_JOB_HELP, L"&Help"}},
                               {{0, L"Print on Both Sides Instructions"},
                                {IDC_DUPLEX_STEP1_TEXT, kStep1Fallback},
                                {IDC_DUPLEX_STEP3_TEXT, kComposedFallback},
                                {IDC_DUPLEX_HELP, L"&Help"}});
        DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(folder.c_str());
}

TEST_F(BadInput, MalformedStringBlocksGiveTheBuiltInTexts)
{
    UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    ASSERT_TRUE(english.active());
    ExpectTextsWithLibrary(BinPath(L"bad-string-blocks.dll"), 5000, 5001,
                           {{0, L"Intact title"}, {IDCANCEL, L"Intact cancel"}, {IDOK, L""},
                            {IDC_WARNING_DONT_SHOW, kDontShowFallback}},
                           {{0, L"Job Storage Identification"},
                            {IDC_JOB_HEADING, L"This print Job will be stored at:"},
                            {IDC_JOB_USER_NAME_LABEL, L"User Name:"},
                            {IDC_JOB_JOB_NAME_LABEL, L"Job Name:"},
                            {IDC_JOB_DONT_SHOW, kDontShowFallback},
                            {IDOK, L"&OK"},
                            {IDC_JOB_HELP, L"&Help"}},
                           {{0, L"Print on Both Sides Instructions"},
                            {IDC_DUPLEX_INTRODUCTION,
                             L"The odd-numbered pages of your document are printing.  Remove the printed pages from "
                             L"the OUT tray when printing is complete.  Follow the instructions below to print the "
                             L"second side of your pages."},
                            {IDC_DUPLEX_STEP1_NUMBER, L"1."},
                            {IDC_DUPLEX_STEP1_TEXT, L"Intact step"},
                            {IDC_DUPLEX_STEP3_TEXT, kComposedFallback},
                            {IDC_DUPLEX_HELP, L"&Help"}});
}

// ---- Random records.

uint32_t RandomSeed()
{
    const char* text = std::getenv("DOCEVENTDLG_RANDOM_SEED");
    return text != nullptr && *text != '\0' ? static_cast<uint32_t>(std::strtoul(text, nullptr, 0)) : 20240611u;
}

void FillRandom(void* record, size_t size, std::mt19937& random)
{
    auto* bytes = static_cast<BYTE*>(record);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<BYTE>(random());
    }
}

// A path the platform cannot take for a device or a network share: empty, a
// real string library, or a file in a folder that does not exist (with or
// without a NUL inside the field).
void RandomPath(wchar_t (&field)[256], std::mt19937& random, const std::vector<std::wstring>& libraries)
{
    const unsigned choice = random() % 4;
    if (choice == 0) {
        field[0] = L'\0';
        return;
    }
    if (choice == 1) {
        SetField(field, libraries[random() % libraries.size()]);
        return;
    }
    std::wstring path = TempFolder() + L"nowhere\\";
    const size_t length = path.size() + random() % (256 - path.size() + 1);
    while (path.size() < length) {
        path += static_cast<wchar_t>(L'a' + random() % 26);
    }
    for (size_t i = 0; i < 256; ++i) {
        field[i] = i < path.size() ? path[i] : L'\0';
    }
}

// Wine's own text drawing (gdi32) crashes on some sequences of complex-script
// units in any edit control, the library's or not: the random texts shown on
// the dialogs are therefore kept to printable Latin-1 units (U+0020 to
// U+00FF), with their lengths, NULs and missing NULs as random as before.
template <size_t Width>
void TameText(wchar_t (&field)[Width])
{
    for (wchar_t& unit : field) {
        if (unit != L'\0') {
            unit = static_cast<wchar_t>(0x20 + unit % 0xE0);
        }
    }
}

uint32_t RandomBitmap(std::mt19937& random)
{
    return random() % 3 == 0 ? 105 + random() % 51 : static_cast<uint32_t>(random());
}

TEST_F(BadInput, RandomRecords)
{
    const uint32_t seed = RandomSeed();
    std::printf("random records: seed %u (set DOCEVENTDLG_RANDOM_SEED to repeat another)\n", seed);
    std::mt19937 random(seed);
    const std::vector<std::wstring> libraries = {BinPath(L"doceventdlg-strings.dll"),
                                                 BinPath(L"bad-string-blocks.dll")};
    const std::vector<std::wstring> vendorKeys = UserSubKeys(kVendorKey);
    const ULONGLONG start = GetTickCount64();

    constexpr int kWarnings = 3000;       // showDialog random: almost never shown
    constexpr int kShownWarnings = 150;   // showDialog 1
    constexpr int kJobStorage = 350;
    constexpr int kDuplex = 350;          // waitForContinue random
    int shown = 0;
    {
        DllMonitor monitor(DocEventDlgModule());
        for (int i = 0; i < kWarnings + kShownWarnings; ++i) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", warning " + std::to_string(i));
            SetCurrentCase("seed " + std::to_string(seed) + ", warning " + std::to_string(i));
            WarningDialogRequest request;
            FillRandom(&request, sizeof(request), random);
            RandomPath(request.resourceLibraryPath, random, libraries);
            TameText(request.messageText);
            const bool forced = i >= kWarnings;
            if (forced) {
                request.showDialog = 1;
            }
            BackgroundCall call([&request] { return ShowWarningDialogExport()(&request); });
            if (request.showDialog == 1) {
                const HWND dialog = WaitForDialog(call.threadId(), 30000);
                ASSERT_NE(dialog, nullptr) << "no dialog";
                ++shown;
                PostMessageW(dialog, WM_CLOSE, 0, 0);
                ASSERT_TRUE(call.Wait(30000)) << "hangs";
                EXPECT_EQ(call.result(), IDCANCEL);
            } else {
                ASSERT_TRUE(call.Wait(30000)) << "hangs";
                EXPECT_EQ(call.result(), 0);
            }
        }
        for (int i = 0; i < kJobStorage; ++i) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", job storage " + std::to_string(i));
            SetCurrentCase("seed " + std::to_string(seed) + ", job storage " + std::to_string(i));
            JobStorageRequest request;
            FillRandom(&request, sizeof(request), random);
            RandomPath(request.resourceLibraryPath, random, libraries);
            TameText(request.userName);
            TameText(request.jobName);
            TameText(request.locationLine1);
            TameText(request.locationLine2);
            TameText(request.locationLine3);
            ASSERT_NE(JobStorageDialogExport()(&request), nullptr);
            const HWND dialog = WaitForDialog(0, 30000);
            ASSERT_NE(dialog, nullptr) << "no dialog";
            ++shown;
            PostMessageW(dialog, WM_CLOSE, 0, 0);  // never OK: a random key would be written
            ASSERT_TRUE(WaitForWindowGone(dialog, 30000)) << "hangs";
        }
        for (int i = 0; i < kDuplex; ++i) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", duplex " + std::to_string(i));
            SetCurrentCase("seed " + std::to_string(seed) + ", duplex " + std::to_string(i));
            DuplexInstructionsRequest request;
            FillRandom(&request, sizeof(request), random);
            RandomPath(request.resourceLibraryPath, random, libraries);
            request.step1BitmapId = RandomBitmap(random);
            request.step2BitmapId = RandomBitmap(random);
            request.step3BitmapId = RandomBitmap(random);
            if (random() % 2 == 0) {
                request.waitForContinue = 0;
            }
            std::unique_ptr<BackgroundCall> call;
            if (request.waitForContinue != 0) {
                call = std::make_unique<BackgroundCall>([&request] {
                    DisplayDialogExport()(&request);
                    return intptr_t{0};
                });
            } else {
                DisplayDialogExport()(&request);
            }
            const HWND dialog = WaitForDialog(call ? call->threadId() : 0, 30000);
            ASSERT_NE(dialog, nullptr) << "no dialog";
            ++shown;
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            ASSERT_TRUE(WaitForWindowGone(dialog, 30000)) << "hangs";
            if (call) {
                ASSERT_TRUE(call->Wait(30000)) << "hangs";
            }
        }
        EXPECT_EQ(WaitForNoLeaks(monitor), "");
        EXPECT_TRUE(monitor.HelpCalls().empty());
    }
    EXPECT_EQ(UserSubKeys(kVendorKey), vendorKeys) << "a random record wrote to the registry";
    std::printf("random records: %d calls, %d dialogs, %llu ms\n", kWarnings + kShownWarnings + kJobStorage + kDuplex,
                shown, GetTickCount64() - start);
}

}  // namespace
