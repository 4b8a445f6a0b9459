// The host loads the library, opens the job storage notice and the
// informational instructions, and frees the library again while both dialogs
// are still open. This program loads the library itself (never through
// DocEventDlgModule, which keeps it for the whole program), so each case can
// watch it go.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>

#include "dialog_probe.h"
#include "import_patch.h"
#include "test_paths.h"

namespace {

constexpr wchar_t kLibraryName[] = L"doceventdlg.dll";

bool LibraryLoaded() { return GetModuleHandleW(kLibraryName) != nullptr; }

template <class Function>
Function ExportOf(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// A dialog the library runs on a thread of its own, with a handle of the
// test's own to that thread: the handle the export returns belongs to the
// library, which may close it at any thread detach.
struct DialogThread {
    HWND dialog = nullptr;
    HANDLE thread = nullptr;
};

DialogThread WaitForNewDialog(std::set<HWND>& known)
{
    DialogThread opened;
    opened.dialog = WaitForDialog(0, 10000, known);
    if (opened.dialog != nullptr) {
        known.insert(opened.dialog);
        opened.thread = OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(opened.dialog, nullptr));
    }
    return opened;
}

bool CloseAndWait(const DialogThread& opened)
{
    // WM_CLOSE ends the notice without writing its preference.
    PostMessageW(opened.dialog, WM_CLOSE, 0, 0);
    return WaitForSingleObject(opened.thread, 10000) == WAIT_OBJECT_0;
}

TEST(HostProcess, LibraryStaysLoadedUntilTheLastDialogThreadEnds)
{
    const struct {
        const char* name;
        bool noticeFirst;  // which dialog is closed first
        int hostReferences;
    } cases[] = {
        {"notice closed first", true, 1},
        {"instructions closed first", false, 1},
        {"host loaded it twice", true, 2},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        ASSERT_FALSE(LibraryLoaded());
        HMODULE module = nullptr;
        for (int i = 0; i < test.hostReferences; ++i) {
            module = LoadLibraryW(BinPath(kLibraryName).c_str());
        }
        ASSERT_NE(module, nullptr);
        std::set<HWND> known;
        const JobStorageRequest notice{};
        ASSERT_NE(ExportOf<JobStorageDialogFunction>(module, "VJobStorageDialog")(&notice), nullptr);
        // The first dialog is on the screen before the second one lays out
        // any text (Wine's text layout caches are not safe for two threads
        // that fill them at once).
        const DialogThread noticeThread = WaitForNewDialog(known);
        const DuplexInstructionsRequest instructions{};  // informational
        ExportOf<DisplayDialogFunction>(module, "VDisplayDialog")(&instructions);
        const DialogThread instructionsThread = WaitForNewDialog(known);
        ASSERT_NE(noticeThread.thread, nullptr);
        ASSERT_NE(instructionsThread.thread, nullptr);

        for (int i = 0; i < test.hostReferences; ++i) {
            FreeLibrary(module);
        }
        EXPECT_TRUE(LibraryLoaded()) << "the dialog threads keep it";

        const DialogThread& first = test.noticeFirst ? noticeThread : instructionsThread;
        const DialogThread& last = test.noticeFirst ? instructionsThread : noticeThread;
        EXPECT_TRUE(CloseAndWait(first));
        EXPECT_TRUE(LibraryLoaded()) << "one dialog thread still runs";
        EXPECT_TRUE(CloseAndWait(last));
        EXPECT_FALSE(LibraryLoaded()) << "the last dialog thread gave it back";
        CloseHandle(noticeThread.thread);
        CloseHandle(instructionsThread.thread);
    }
}

HANDLE g_closedByLibrary[16];
LONG g_closedCount = 0;

BOOL WINAPI RecordingCloseHandle(HANDLE handle)
{
    const LONG index = InterlockedIncrement(&g_closedCount) - 1;
    if (index < 16) {
        g_closedByLibrary[index] = handle;
    }
    return CloseHandle(handle);
}

// A notice alone: no other thread ends while it is open, so its handle is
// still in the library's slot when its thread gives the library back and the
// library unloads. The unload closes it; nothing else could any more.
TEST(HostProcess, UnloadClosesTheHandleStillInItsSlot)
{
    ASSERT_FALSE(LibraryLoaded());
    const HMODULE module = LoadLibraryW(BinPath(kLibraryName).c_str());
    ASSERT_NE(module, nullptr);
    // Never restored: the library's import table is gone with the library.
    const auto* recording = new ImportPatch(module, "KERNEL32.dll", "CloseHandle",
                                            reinterpret_cast<const void*>(&RecordingCloseHandle));
    ASSERT_TRUE(recording->active());
    std::set<HWND> known;
    const JobStorageRequest notice{};
    const HANDLE returned = ExportOf<JobStorageDialogFunction>(module, "VJobStorageDialog")(&notice);
    ASSERT_NE(returned, nullptr);
    const DialogThread noticeThread = WaitForNewDialog(known);
    ASSERT_NE(noticeThread.thread, nullptr);
    FreeLibrary(module);
    EXPECT_TRUE(CloseAndWait(noticeThread));
    EXPECT_FALSE(LibraryLoaded());
    CloseHandle(noticeThread.thread);
    HANDLE* const closedEnd = g_closedByLibrary + std::min<LONG>(g_closedCount, 16);
    EXPECT_NE(std::find(g_closedByLibrary, closedEnd, returned), closedEnd)
        << "the returned handle was never closed by the library";
}

// The library's CreateThread, failing.
HANDLE WINAPI FailingCreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD)
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

BOOL WINAPI FailingGetModuleHandleEx(DWORD, LPCWSTR, HMODULE* module)
{
    *module = nullptr;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
}

TEST(HostProcess, NoReferenceLeftWhenNoDialogThreadStarts)
{
    const struct {
        const char* name;
        const char* function;
        const void* replacement;
    } cases[] = {
        {"thread not created", "CreateThread", reinterpret_cast<const void*>(&FailingCreateThread)},
        {"no reference to the library", "GetModuleHandleExW",
         reinterpret_cast<const void*>(&FailingGetModuleHandleEx)},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        ASSERT_FALSE(LibraryLoaded());
        const HMODULE module = LoadLibraryW(BinPath(kLibraryName).c_str());
        ASSERT_NE(module, nullptr);
        {
            const ImportPatch failing(module, "KERNEL32.dll", test.function, test.replacement);
            ASSERT_TRUE(failing.active());
            const JobStorageRequest notice{};
            EXPECT_EQ(ExportOf<JobStorageDialogFunction>(module, "VJobStorageDialog")(&notice), nullptr);
            const DuplexInstructionsRequest instructions{};
            ExportOf<DisplayDialogFunction>(module, "VDisplayDialog")(&instructions);
            EXPECT_TRUE(ProcessDialogs().empty());
        }
        FreeLibrary(module);
        EXPECT_FALSE(LibraryLoaded());
    }
}

}  // namespace
