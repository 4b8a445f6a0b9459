// Themed controls whatever the host: the library's manifest, the version of
// the buttons and check boxes of every dialog in a host without a manifest
// (this program has none), a host that activated version 6 itself, and the
// activation context released on every path, failures included.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dialog_probe.h"
#include "dll_monitor.h"
#include "fault_support.h"
#include "language_override.h"
#include "resource.h"
#include "test_paths.h"

namespace {

// The atom of the Button class the host itself gets: the version 5 control
// of user32 when no activation context says otherwise.
ATOM HostButtonAtom()
{
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    return static_cast<ATOM>(GetClassInfoExW(nullptr, L"Button", &info));
}

// A button, check box or group box of common controls version 6: another
// class than the host's Button, and it answers BCM_GETIDEALSIZE, which the
// version 5 button does not know.
bool IsVersion6Button(HWND control)
{
    if (GetClassLongW(control, GCW_ATOM) == HostButtonAtom()) {
        return false;
    }
    SIZE ideal{};
    return SendMessageW(control, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) != FALSE && ideal.cx > 0;
}

bool IsButtonClass(HWND window)
{
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    return _wcsicmp(name, L"Button") == 0;
}

// The IDs of the dialog's Button-class children (push buttons, check boxes and
// group boxes), sorted, with whether each is a version 6 control.
struct ButtonSurvey {
    std::vector<int> ids;
    std::vector<int> version6;
    std::vector<int> older;
};

ButtonSurvey SurveyButtons(HWND dialog)
{
    ButtonSurvey survey;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsButtonClass(child)) {
            continue;
        }
        const int id = GetDlgCtrlID(child);
        survey.ids.push_back(id);
        (IsVersion6Button(child) ? survey.version6 : survey.older).push_back(id);
    }
    for (auto* list : {&survey.ids, &survey.version6, &survey.older}) {
        std::sort(list->begin(), list->end());
    }
    return survey;
}

enum class Entry { Warning, JobStorage, DuplexInformational, DuplexWaiting };

struct EntryCase {
    const char* name;
    Entry entry;
    bool callersThread;     // the export returns only after the dialog
    std::vector<int> buttons;  // every Button-class control, sorted
};

constexpr int kUnnamed = 0xFFFF;  // the group boxes with ID -1, as a control ID reads back

const EntryCase kEntries[] = {
    {"warning", Entry::Warning, true, {IDOK, IDCANCEL, IDC_WARNING_THIRD_BUTTON, IDC_WARNING_DONT_SHOW}},
    {"job storage notice", Entry::JobStorage, false, {IDOK, IDC_JOB_DONT_SHOW, IDC_JOB_HELP, kUnnamed, kUnnamed}},
    {"two-sided instructions, informational", Entry::DuplexInformational, false,
     {IDOK, IDC_DUPLEX_STEP2_GROUP, IDC_DUPLEX_STEP3_GROUP, IDC_DUPLEX_STEP1_GROUP, IDC_DUPLEX_HELP}},
    {"two-sided instructions, waiting", Entry::DuplexWaiting, true,
     {IDOK, IDC_DUPLEX_STEP2_GROUP, IDC_DUPLEX_STEP3_GROUP, IDC_DUPLEX_STEP1_GROUP, IDC_DUPLEX_HELP}},
};

// The requests, with every optional control shown.
struct Requests {
    WarningDialogRequest warning{};
    JobStorageRequest jobStorage{};
    DuplexInstructionsRequest duplex{};

    Requests()
    {
        const std::wstring library = BinPath(L"doceventdlg-strings.dll");
        warning.showDialog = 1;
        warning.titleStringId = 3000;
        warning.okStringId = 849;
        warning.cancelStringId = 3001;
        warning.thirdButtonStringId = 3002;
        warning.showCheckBox = 1;
        SetField(warning.messageText, L"The printer needs attention.");
        SetField(warning.resourceLibraryPath, library);

        SetField(jobStorage.userName, L"alice");
        SetField(jobStorage.jobName, L"Scan");
        SetField(jobStorage.locationLine1, L"Printer: Office 3");
        SetField(jobStorage.settingsSubKey, L"DocEventDlgTest\\unused");  // closing writes nothing
        SetField(jobStorage.resourceLibraryPath, library);

        SetField(duplex.resourceLibraryPath, library);
        duplex.step1BitmapId = 105;
        duplex.step1StringId = 3150;
        duplex.step2BitmapId = 147;
        duplex.step2StringId = 3151;
        duplex.step3BitmapId = 154;
        duplex.step3StringId = 3152;
    }
};

// One call of an export. On the caller's thread the export runs on a thread of
// the test's own, which can also activate a context of the host's first.
class DialogCall {
public:
    DialogCall(const EntryCase& entry, const Requests& requests, HANDLE hostContext = INVALID_HANDLE_VALUE)
        : known_(Known())
    {
        const auto run = [&entry, &requests]() -> intptr_t {
            switch (entry.entry) {
            case Entry::Warning:
                return ShowWarningDialogExport()(&requests.warning);
            case Entry::JobStorage:
                JobStorageDialogExport()(&requests.jobStorage);
                return 0;
            case Entry::DuplexInformational:
            case Entry::DuplexWaiting: {
                DuplexInstructionsRequest duplex = requests.duplex;
                duplex.waitForContinue = entry.entry == Entry::DuplexWaiting ? 1 : 0;
                DisplayDialogExport()(&duplex);
                return 0;
            }
            }
            return 0;
        };
        if (!entry.callersThread) {
            run();
            return;
        }
        call_.emplace([run, hostContext]() -> intptr_t {
            ULONG_PTR cookie = 0;
            if (hostContext != INVALID_HANDLE_VALUE && !ActivateActCtx(hostContext, &cookie)) {
                return -1;
            }
            run();
            if (hostContext == INVALID_HANDLE_VALUE) {
                return 0;
            }
            // The library's context is gone again: the host's is the current one.
            HANDLE current = nullptr;
            const bool hostsAgain = GetCurrentActCtx(&current) && current == hostContext;
            if (current != nullptr) {
                ReleaseActCtx(current);
            }
            DeactivateActCtx(0, cookie);
            return hostsAgain ? 1 : 0;
        });
    }

    // The dialog the call opened, or null when none appears in time.
    HWND WaitDialog(DWORD timeoutMs = 10000)
    {
        dialog_ = WaitForDialog(call_ ? call_->threadId() : 0, timeoutMs, known_);
        if (dialog_ != nullptr && !call_) {
            thread_ = OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(dialog_, nullptr));
        }
        return dialog_;
    }

    // Ends the dialog through its close box and waits for the thread that ran it.
    bool End()
    {
        bool ok = true;
        if (dialog_ != nullptr) {
            PostMessageW(dialog_, WM_CLOSE, 0, 0);
            ok = WaitForWindowGone(dialog_);
        }
        if (thread_ != nullptr) {
            ok = WaitForSingleObject(thread_, 10000) == WAIT_OBJECT_0 && ok;
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        return call_ ? call_->Wait(10000) && ok : ok;
    }

    intptr_t result() const { return call_ ? call_->result() : 0; }

    ~DialogCall()
    {
        if (thread_ != nullptr) {
            CloseHandle(thread_);
        }
    }

private:
    static std::set<HWND> Known()
    {
        const std::vector<HWND> open = ProcessDialogs();
        return std::set<HWND>(open.begin(), open.end());
    }
    std::set<HWND> known_;
    std::optional<BackgroundCall> call_;
    HWND dialog_ = nullptr;
    HANDLE thread_ = nullptr;
};

std::string Ids(const std::vector<int>& ids)
{
    std::string text;
    for (int id : ids) {
        text += (text.empty() ? "" : " ") + std::to_string(id);
    }
    return text;
}

class ThemedControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(DocEventDlgModule(), nullptr);
        language_.emplace(DocEventDlgModule(), LANGID{0x0409});
        ASSERT_TRUE(language_->active());
    }
    void TearDown() override
    {
        CloseAllDialogs();
        language_.reset();
    }

private:
    std::optional<UserLanguageOverride> language_;
};

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context)
{
    reinterpret_cast<std::vector<ULONG_PTR>*>(context)->push_back(
        IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context)
{
    reinterpret_cast<std::vector<WORD>*>(context)->push_back(language);
    return TRUE;
}

TEST_F(ThemedControlsTest, TheLibraryCarriesOneIsolationAwareManifestForCommonControls6)
{
    const HMODULE module = DocEventDlgModule();
    std::vector<ULONG_PTR> names;
    EnumResourceNamesW(module, RT_MANIFEST, CollectName, reinterpret_cast<LONG_PTR>(&names));
    ASSERT_EQ(names, std::vector<ULONG_PTR>{2}) << "only the isolation-aware manifest, not a process one (1)";
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, RT_MANIFEST, MAKEINTRESOURCEW(2), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{0}) << "found whatever the user's language";

    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(2), RT_MANIFEST);
    ASSERT_NE(resource, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, resource))),
                               SizeofResource(module, resource));
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
}

TEST_F(ThemedControlsTest, ThisHostHasNoManifestAndItsOwnButtonsAreVersion5)
{
    // Without this the checks below could not tell the library's doing from the host's.
    EXPECT_EQ(FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
    const HWND button = CreateWindowExW(0, L"Button", L"host", WS_POPUP | BS_PUSHBUTTON, 0, 0, 60, 20, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(IsVersion6Button(button));
    DestroyWindow(button);
}

TEST_F(ThemedControlsTest, EveryButtonOfEveryDialogIsVersion6InAHostWithoutManifest)
{
    const Requests requests;
    for (const EntryCase& entry : kEntries) {
        SCOPED_TRACE(entry.name);
        DialogCall call(entry, requests);
        const HWND dialog = call.WaitDialog();
        ASSERT_NE(dialog, nullptr);
        const ButtonSurvey survey = SurveyButtons(dialog);
        EXPECT_EQ(Ids(survey.ids), Ids(entry.buttons));
        EXPECT_EQ(Ids(survey.older), "") << "version 5 controls";
        EXPECT_TRUE(call.End());
    }
    // The host's own buttons stay what they were.
    const HWND button = CreateWindowExW(0, L"Button", L"host", WS_POPUP | BS_PUSHBUTTON, 0, 0, 60, 20, nullptr,
                                        nullptr, nullptr, nullptr);
    EXPECT_FALSE(IsVersion6Button(button));
    DestroyWindow(button);
}

TEST_F(ThemedControlsTest, AHostThatActivatedVersion6ItselfKeepsItsContext)
{
    // The host's context, made from the same kind of manifest as the library's.
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.hModule = DocEventDlgModule();
    request.lpResourceName = MAKEINTRESOURCEW(2);
    const HANDLE hostContext = CreateActCtxW(&request);
    ASSERT_NE(hostContext, INVALID_HANDLE_VALUE);
    const Requests requests;
    for (const EntryCase& entry : kEntries) {
        if (!entry.callersThread) {
            continue;
        }
        SCOPED_TRACE(entry.name);
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        DialogCall call(entry, requests, hostContext);
        const HWND dialog = call.WaitDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(Ids(SurveyButtons(dialog).older), "");
        EXPECT_TRUE(call.End());
        EXPECT_EQ(call.result(), 1) << "the host's context is not the current one after the call";
        EXPECT_EQ(monitor.Leaks(), "");
    }
    ReleaseActCtx(hostContext);
}

TEST_F(ThemedControlsTest, TheContextIsReleasedOnEveryPath)
{
    constexpr int kNotShown = -1;
    const struct {
        const char* name;
        Api fail;          // Api::Count: nothing fails
        int themed;        // 1: version 6 controls, 0: the host's, kNotShown: no dialog
        int creations;     // CreateActCtxW calls
        int activations;   // activations made (and undone)
    } failures[] = {
        {"nothing fails", Api::Count, 1, 1, 1},
        {"the context cannot be made: shown as before", Api::CreateActCtxW, 0, 1, 0},
        {"the context cannot be activated: shown as before", Api::ActivateActCtx, 0, 1, 0},
        {"the dialog cannot be made", Api::DialogBoxParamW, kNotShown, 1, 1},
        {"no memory for the dialog's state", Api::Malloc, kNotShown, 0, 0},
    };
    const Requests requests;
    for (const EntryCase& entry : kEntries) {
        for (const auto& failure : failures) {
            SCOPED_TRACE(std::string(entry.name) + ": " + failure.name);
            DllMonitor monitor(DocEventDlgModule());
            ASSERT_TRUE(monitor.complete());
            if (failure.fail != Api::Count) {
                monitor.Fail(failure.fail, 0, 1);
            }
            DialogCall call(entry, requests);
            if (failure.themed == kNotShown) {
                EXPECT_TRUE(call.End());
                EXPECT_EQ(WaitForNoLeaks(monitor), "");
                EXPECT_TRUE(ProcessDialogs().empty());
            } else {
                const HWND dialog = call.WaitDialog();
                ASSERT_NE(dialog, nullptr);
                const ButtonSurvey survey = SurveyButtons(dialog);
                EXPECT_EQ(Ids(failure.themed == 1 ? survey.version6 : survey.older), Ids(entry.buttons));
                EXPECT_TRUE(call.End());
                EXPECT_EQ(WaitForNoLeaks(monitor), "");
            }
            EXPECT_EQ(monitor.Calls(Api::CreateActCtxW), failure.creations);
            EXPECT_EQ(monitor.Created(Owned::ActivationCookie), failure.activations);
        }
    }
}

}  // namespace
