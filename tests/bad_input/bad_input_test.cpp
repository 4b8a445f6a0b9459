// Input that breaks the contract, through the library's exports: records
// whose text fields have no NUL and that end where readable memory ends, null
// records, random records, and resource libraries that are no libraries.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "dialog_probe.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "fault_support.h"
#include "requests.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kGerman = 0x0407;
const wchar_t kVendorKey[] = L"Software\\Velmoracrestwyn";

// The intact strings of bad-string-blocks.dll (tests/fixtures/bad-string-blocks.rc).
constexpr uint32_t kIntactTitle = 5000;
constexpr uint32_t kIntactStep = 5001;
constexpr uint32_t kIntactCancel = 5002;

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

    // A copy of record whose last byte is the last readable one.
    template <class Record>
    Record* Place(const Record& record)
    {
        static_assert(sizeof(Record) <= 4096, "a record fits one page");
        BYTE* at = base_ + page_ - sizeof(Record);
        std::memcpy(at, &record, sizeof(Record));
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
    auto* request = memory.Place<WarningDialogRequest>(WarningRequest());
    const std::wstring message = FillWithoutNul(request->messageText, L'a');
    FillWithoutNul(request->resourceLibraryPath, L'A');  // the last field: no such library

    DllMonitor monitor(DocEventDlgModule());
    WarningCall warning(request, WarningExport::Plain);
    ASSERT_NE(warning.dialog(), nullptr);
    const std::wstring shown = warning.Text(IDC_WARNING_MESSAGE);
    EXPECT_EQ(shown.size(), 1023u);
    EXPECT_EQ(shown, message);
    EXPECT_EQ(warning.Text(IDC_WARNING_DONT_SHOW), L"In the future, do not show this information.");
    warning.Command(IDOK, 0);
    EXPECT_EQ(warning.Result(), IDOK);
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
    auto* request = memory.Place<JobStorageRequest>(NoticeRequest().RangeSuffix(1, 1));
    const std::wstring userName = FillWithoutNul(request->userName, L'a');
    const std::wstring jobName = FillWithoutNul(request->jobName, L'A');
    const std::wstring line1 = FillWithoutNul(request->locationLine1, L'b');
    const std::wstring line2 = FillWithoutNul(request->locationLine2, L'c');
    const std::wstring line3 = FillWithoutNul(request->locationLine3, L'd');
    subKey.copy(request->settingsSubKey, 38);
    FillWithoutNul(request->resourceLibraryPath, L'E');
    const std::wstring helpFile = FillWithoutNul(request->helpFilePath, L'F');  // ends at the guard page

    {
        DllMonitor monitor(DocEventDlgModule());
        NoticeCall notice(request, CallOptions{});
        ASSERT_NE(notice.returned(), nullptr);
        ASSERT_NE(notice.dialog(), nullptr);
        EXPECT_EQ(notice.Text(IDC_JOB_USER_NAME), userName);
        EXPECT_EQ(userName.size(), 16u);
        EXPECT_EQ(notice.Text(IDC_JOB_JOB_NAME), jobName + L"(1-99)");
        EXPECT_EQ(notice.Text(IDC_JOB_LOCATION_LINE1), line1);
        EXPECT_EQ(notice.Text(IDC_JOB_LOCATION_LINE2), line2);
        EXPECT_EQ(notice.Text(IDC_JOB_LOCATION_LINE3), line3);
        EXPECT_EQ(line3.size(), 255u);
        EXPECT_EQ(notice.Text(), L"Job Storage Identification");

        notice.Command(IDC_JOB_HELP, 0);
        ASSERT_TRUE(notice.StillOpenAfterPosting());
        const std::vector<HelpCall> help = monitor.HelpCalls();
        ASSERT_EQ(help.size(), 1u);
        EXPECT_EQ(help[0].helpFile, helpFile);

        notice.Command(IDOK, 0);
        EXPECT_TRUE(notice.WaitEnded());
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
        // The last field, at the guard page, says which pages come first.
        auto* request = memory.Place<DuplexInstructionsRequest>(
            InstructionsRequest()
                .Pictures(IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_106, IDB_ILLUSTRATION_107)
                .Waiting(waiting ? 1 : 0)
                .EvenPagesFirst(0xFFFFFFFF));
        FillWithoutNul(request->resourceLibraryPath, L'G');
        const std::wstring helpFile = FillWithoutNul(request->helpFilePath, L'H');

        DllMonitor monitor(DocEventDlgModule());
        InstructionsCall instructions(request, CallOptions{});
        ASSERT_NE(instructions.dialog(), nullptr);
        EXPECT_EQ(instructions.Text(), L"Print on Both Sides Instructions");
        EXPECT_EQ(instructions.Text(IDC_DUPLEX_INTRODUCTION).substr(0, 30), L"After the even-numbered pages ");
        instructions.Command(IDC_DUPLEX_HELP, 0);
        ASSERT_TRUE(instructions.StillOpenAfterPosting());
        const std::vector<HelpCall> help = monitor.HelpCalls();
        ASSERT_EQ(help.size(), 1u);
        EXPECT_EQ(help[0].helpFile, helpFile);
        EXPECT_EQ(help[0].helpFile.size(), 255u);
        instructions.Post(WM_CLOSE);
        EXPECT_TRUE(instructions.WaitEnded());
        EXPECT_EQ(WaitForNoLeaks(monitor), "");
    }
}

// The null records are rows of the faults program's table.

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
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::wstring& path, const char* data, size_t size)
{
    std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(file.is_open());
    file.write(data, static_cast<std::streamsize>(size));
    file.close();
    ASSERT_TRUE(file.good());
}

struct TextCheck {
    int control;  // 0: the caption
    const wchar_t* text;
};

void ExpectTexts(const DialogDriver& dialog, const std::vector<TextCheck>& texts)
{
    for (const TextCheck& check : texts) {
        EXPECT_EQ(dialog.Text(check.control), check.text) << "control " << check.control;
    }
}

// Runs each dialog once with library as its string library and checks the texts.
void ExpectTextsWithLibrary(const std::wstring& library, uint32_t warningTitleId, uint32_t step1StringId,
                            const std::vector<TextCheck>& warningTexts, const std::vector<TextCheck>& jobTexts,
                            const std::vector<TextCheck>& duplexTexts)
{
    DllMonitor monitor(DocEventDlgModule());
    {
        SCOPED_TRACE("warning");
        WarningCall warning(WarningRequest()
                                .Title(warningTitleId)
                                .Cancel(kIntactCancel)
                                .Third(0)
                                .Message(L"Bad library")
                                .Library(library));
        ASSERT_NE(warning.dialog(), nullptr);
        ExpectTexts(warning, warningTexts);
        warning.Post(WM_CLOSE);
        EXPECT_EQ(warning.Result(), IDCANCEL);
    }
    {
        SCOPED_TRACE("job storage");
        NoticeCall notice(NoticeRequest().Library(library));
        ASSERT_NE(notice.returned(), nullptr);
        ASSERT_NE(notice.dialog(), nullptr);
        ExpectTexts(notice, jobTexts);
        notice.Post(WM_CLOSE);  // closing writes nothing
        EXPECT_TRUE(notice.WaitEnded());
    }
    {
        SCOPED_TRACE("duplex");
        InstructionsCall instructions(InstructionsRequest()
                                          .Library(library)
                                          .Step(1, IDB_ILLUSTRATION_105, step1StringId)
                                          .Step(2, 0, 0)
                                          .Step(3, 0, IDS_DUPLEX_INSERT_IN_TRAY));
        ASSERT_NE(instructions.dialog(), nullptr);
        ExpectTexts(instructions, duplexTexts);
        instructions.Post(WM_CLOSE);
        EXPECT_TRUE(instructions.WaitEnded());
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
        ExpectTextsWithLibrary(path, IDS_WARNING_TITLE, IDS_DUPLEX_STEP1_OUTPUT_BIN,
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
    ExpectTextsWithLibrary(BinPath(L"bad-string-blocks.dll"), kIntactTitle, kIntactStep,
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

// One of the library's step pictures a third of the time, any number else.
uint32_t RandomBitmap(std::mt19937& random)
{
    return random() % 3 == 0 ? IDB_ILLUSTRATION_105 + random() % 51 : static_cast<uint32_t>(random());
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
            WarningRequest request;
            WarningDialogRequest& record = request.record();
            FillRandom(&record, sizeof(record), random);
            RandomPath(record.resourceLibraryPath, random, libraries);
            TameText(record.messageText);
            if (i >= kWarnings) {
                record.showDialog = 1;
            }
            CallOptions options;
            options.waitForDialog = record.showDialog == 1;
            WarningCall warning(request, WarningExport::Plain, options);
            if (record.showDialog == 1) {
                ASSERT_NE(warning.dialog(), nullptr) << "no dialog";
                ++shown;
                warning.Post(WM_CLOSE);
                const intptr_t result = warning.Result();
                ASSERT_NE(result, kStillOpen) << "hangs";
                EXPECT_EQ(result, IDCANCEL);
            } else {
                const intptr_t result = warning.Result();
                ASSERT_NE(result, kStillOpen) << "hangs";
                EXPECT_EQ(result, 0);
            }
        }
        for (int i = 0; i < kJobStorage; ++i) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", job storage " + std::to_string(i));
            SetCurrentCase("seed " + std::to_string(seed) + ", job storage " + std::to_string(i));
            NoticeRequest request;
            JobStorageRequest& record = request.record();
            FillRandom(&record, sizeof(record), random);
            RandomPath(record.resourceLibraryPath, random, libraries);
            TameText(record.userName);
            TameText(record.jobName);
            TameText(record.locationLine1);
            TameText(record.locationLine2);
            TameText(record.locationLine3);
            NoticeCall notice(request);
            ASSERT_NE(notice.returned(), nullptr);
            ASSERT_NE(notice.dialog(), nullptr) << "no dialog";
            ++shown;
            notice.Post(WM_CLOSE);  // never OK: a random key would be written
            ASSERT_TRUE(notice.WaitEnded()) << "hangs";
        }
        for (int i = 0; i < kDuplex; ++i) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", duplex " + std::to_string(i));
            SetCurrentCase("seed " + std::to_string(seed) + ", duplex " + std::to_string(i));
            InstructionsRequest request;
            DuplexInstructionsRequest& record = request.record();
            FillRandom(&record, sizeof(record), random);
            RandomPath(record.resourceLibraryPath, random, libraries);
            record.step1BitmapId = RandomBitmap(random);
            record.step2BitmapId = RandomBitmap(random);
            record.step3BitmapId = RandomBitmap(random);
            if (random() % 2 == 0) {
                record.waitForContinue = 0;
            }
            InstructionsCall instructions(request);
            ASSERT_NE(instructions.dialog(), nullptr) << "no dialog";
            ++shown;
            instructions.Post(WM_CLOSE);
            ASSERT_TRUE(instructions.WaitEnded()) << "hangs";
        }
        EXPECT_EQ(WaitForNoLeaks(monitor), "");
        EXPECT_TRUE(monitor.HelpCalls().empty());
    }
    EXPECT_EQ(UserSubKeys(kVendorKey), vendorKeys) << "a random record wrote to the registry";
    std::printf("random records: %d calls, %d dialogs, %llu ms\n", kWarnings + kShownWarnings + kJobStorage + kDuplex,
                shown, GetTickCount64() - start);
}

}  // namespace
