// Calls every export of the installed library, linked at load time through
// its import library, and closes each dialog it opens. Exits 0 when every
// check holds; prints each one that does not.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <set>
#include <string>
#include <thread>

#include "doceventdlg.h"
#include "sample_string_ids.h"

namespace {

int g_failures = 0;

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::printf("FAILED: %s\n", what);
        ++g_failures;
    }
}

std::wstring BesideProgram(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

// The English text of a string in the sample library, read the way a
// resource editor would, to compare with what a dialog shows.
std::wstring SampleString(UINT id)
{
    const HMODULE strings = LoadLibraryExW(BesideProgram(L"doceventdlg-strings.dll").c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (strings == nullptr) {
        return L"<no sample library>";
    }
    const wchar_t* text = nullptr;
    const int length = LoadStringW(strings, id, reinterpret_cast<LPWSTR>(&text), 0);
    std::wstring result = length > 0 ? std::wstring(text, static_cast<size_t>(length)) : L"<missing>";
    FreeLibrary(strings);
    return result;
}

BOOL CALLBACK CollectOwnDialog(HWND window, LPARAM context)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    if (process == GetCurrentProcessId() && std::wcscmp(className, L"#32770") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<std::set<HWND>*>(context)->insert(window);
    }
    return TRUE;
}

// Waits for a dialog of this process to come up, reads its caption, ticks the
// check box tickId when it is not 0, closes it as the close box would and
// waits for it to go. A dialog that never comes up, or never goes, ends the
// program: a modal call would otherwise wait forever.
std::wstring CloseNextDialog(int tickId = 0)
{
    HWND dialog = nullptr;
    for (ULONGLONG deadline = GetTickCount64() + 20000; dialog == nullptr; Sleep(10)) {
        std::set<HWND> dialogs;
        EnumWindows(CollectOwnDialog, reinterpret_cast<LPARAM>(&dialogs));
        if (!dialogs.empty()) {
            dialog = *dialogs.begin();
        } else if (GetTickCount64() > deadline) {
            std::printf("FAILED: no dialog came up\n");
            ExitProcess(2);
        }
    }
    wchar_t caption[256] = L"";
    GetWindowTextW(dialog, caption, 256);
    if (tickId != 0) {
        SendDlgItemMessageW(dialog, tickId, BM_SETCHECK, BST_CHECKED, 0);
    }
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    for (ULONGLONG deadline = GetTickCount64() + 20000; IsWindow(dialog); Sleep(10)) {
        if (GetTickCount64() > deadline) {
            std::printf("FAILED: a dialog did not close\n");
            ExitProcess(3);
        }
    }
    return caption;
}

// The names in the loaded library's export table.
std::set<std::string> ExportedNames(HMODULE module)
{
    std::set<std::string> names;
    auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* nameOffsets = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
        names.insert(reinterpret_cast<const char*>(base + nameOffsets[i]));
    }
    return names;
}

}  // namespace

int main()
{
    // Linked at load time: the library is in the process before any call.
    const HMODULE library = GetModuleHandleW(L"doceventdlg.dll");
    Check(library != nullptr, "doceventdlg.dll is loaded with the program");
    if (library == nullptr) {
        return 1;
    }
    const std::wstring strings = BesideProgram(L"doceventdlg-strings.dll");
    std::set<std::string> called;

    {
        WarningDialogRequest request = {};
        request.showDialog = 1;
        request.titleStringId = IDS_WARNING_TITLE;
        request.okStringId = IDS_OK;
        request.cancelStringId = IDS_WARNING_CANCEL;
        std::wcscpy(request.messageText, L"Consumer check: the warning dialog.");
        std::wcscpy(request.resourceLibraryPath, strings.c_str());
        std::wstring caption;
        std::thread closer([&caption] { caption = CloseNextDialog(); });
        const int32_t button = IShowWarningDialog(&request);
        closer.join();
        called.insert("IShowWarningDialog");
        Check(button == IDCANCEL, "IShowWarningDialog returns 2 for the close box");
        Check(caption == SampleString(IDS_WARNING_TITLE), "the warning dialog's caption comes from the sample library");
    }
    {
        WarningDialogRequest request = {};
        request.showDialog = 1;
        request.showCheckBox = 1;
        request.titleStringId = IDS_WARNING_TITLE;
        request.okStringId = IDS_OK;
        std::wcscpy(request.messageText, L"Consumer check: the warning dialog with its check box.");
        std::wcscpy(request.resourceLibraryPath, strings.c_str());
        constexpr int kDontShowAgainBox = 475;
        std::thread closer([] { CloseNextDialog(kDontShowAgainBox); });
        int32_t ticked = -1;
        const int32_t button = IShowWarningDialogEx(&request, &ticked);
        closer.join();
        called.insert("IShowWarningDialogEx");
        Check(button == IDCANCEL, "IShowWarningDialogEx returns 2 for the close box");
        Check(ticked == 1, "IShowWarningDialogEx answers the ticked check box");
    }
    {
        DuplexInstructionsRequest request = {};
        std::wcscpy(request.resourceLibraryPath, strings.c_str());
        request.step1BitmapId = 105;
        request.step1StringId = IDS_DUPLEX_STEP1_OUTPUT_BIN;
        request.step2BitmapId = 107;
        request.step2StringId = IDS_DUPLEX_STEP2_TRAY1;
        request.step3BitmapId = 122;
        request.step3StringId = IDS_DUPLEX_STEP3_CLICK_CONTINUE;
        request.waitForContinue = 1;
        std::wstring caption;
        std::thread closer([&caption] { caption = CloseNextDialog(); });
        VDisplayDialog(&request);
        closer.join();
        called.insert("VDisplayDialog");
        Check(caption == SampleString(IDS_DUPLEX_TITLE), "the two-sided dialog's caption comes from the sample library");
    }
    {
        JobStorageRequest request = {};
        std::wcscpy(request.userName, L"consumer");
        std::wcscpy(request.jobName, L"check");
        std::wcscpy(request.locationLine1, L"Printer hard disk");
        std::wcscpy(request.settingsSubKey, L"doceventdlg-consumer");
        std::wcscpy(request.resourceLibraryPath, strings.c_str());
        // The handle belongs to the library; the close box stores nothing.
        const HANDLE thread = VJobStorageDialog(&request);
        called.insert("VJobStorageDialog");
        Check(thread != nullptr, "VJobStorageDialog starts its thread");
        if (thread != nullptr) {
            Check(CloseNextDialog() == SampleString(IDS_JOBSTORE_TITLE),
                  "the job storage notice's caption comes from the sample library");
        }
    }

    for (const std::string& name : ExportedNames(library)) {
        if (called.count(name) == 0) {
            std::printf("FAILED: the export %s is not called here\n", name.c_str());
            ++g_failures;
        }
    }
    std::printf("%s\n", g_failures == 0 ? "every export called, every dialog closed" : "consumer check failed");
    return g_failures == 0 ? 0 : 1;
}
