// The host loads the library, opens the job storage notice and the
// informational instructions, and frees the library again while both dialogs
// are still open. This program loads the library itself (never through
// DocEventDlgModule, which keeps it for the whole program), so each case can
// watch it go.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "dialog_probe.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "requests.h"
#include "test_paths.h"

namespace {

// The exports of the copy of the library the test loaded itself.
CallOptions OnTheCopy(HMODULE module, bool waitForDialog = true)
{
    CallOptions options;
    options.library = module;
    options.waitForDialog = waitForDialog;
    return options;
}

constexpr wchar_t kLibraryName[] = L"doceventdlg.dll";

// More calls than any case makes: every one fails.
constexpr int kEveryCall = 1000;

bool LibraryLoaded() { return GetModuleHandleW(kLibraryName) != nullptr; }

HMODULE LoadTheLibrary() { return LoadLibraryW(BinPath(kLibraryName).c_str()); }

// WM_CLOSE ends the notice without writing its preference, and the
// instructions as their close box does.
template <class Driver>
bool CloseAndWait(Driver& call)
{
    call.Post(WM_CLOSE);
    return call.WaitEnded();
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
            module = LoadTheLibrary();
        }
        ASSERT_NE(module, nullptr);
        // The first dialog is on the screen before the second one lays out
        // any text (Wine's text layout caches are not safe for two threads
        // that fill them at once).
        NoticeCall notice(NoticeRequest(), OnTheCopy(module));
        ASSERT_NE(notice.returned(), nullptr);
        ASSERT_NE(notice.dialog(), nullptr);
        InstructionsCall instructions(InstructionsRequest(), OnTheCopy(module));  // informational
        ASSERT_NE(instructions.dialog(), nullptr);

        for (int i = 0; i < test.hostReferences; ++i) {
            FreeLibrary(module);
        }
        EXPECT_TRUE(LibraryLoaded()) << "the dialog threads keep it";

        EXPECT_TRUE(test.noticeFirst ? CloseAndWait(notice) : CloseAndWait(instructions));
        EXPECT_TRUE(LibraryLoaded()) << "one dialog thread still runs";
        EXPECT_TRUE(test.noticeFirst ? CloseAndWait(instructions) : CloseAndWait(notice));
        EXPECT_FALSE(LibraryLoaded()) << "the last dialog thread gave it back";
    }
}

// A notice alone: no other thread ends while it is open, so its handle is
// still in the library's slot when its thread gives the library back and the
// library unloads. The unload closes it; nothing else could any more.
TEST(HostProcess, UnloadClosesTheHandleStillInItsSlot)
{
    ASSERT_FALSE(LibraryLoaded());
    const HMODULE module = LoadTheLibrary();
    ASSERT_NE(module, nullptr);
    DllMonitor monitor(module);
    ASSERT_TRUE(monitor.complete());
    NoticeCall notice(NoticeRequest(), OnTheCopy(module));
    ASSERT_NE(notice.returned(), nullptr);
    ASSERT_NE(notice.dialog(), nullptr);
    FreeLibrary(module);
    EXPECT_TRUE(CloseAndWait(notice));
    EXPECT_FALSE(LibraryLoaded());
    // The library's import table is gone with it: nothing to restore.
    monitor.Abandon();
    const std::vector<HANDLE> closed = monitor.ClosedHandles();
    EXPECT_NE(std::find(closed.begin(), closed.end(), notice.returned()), closed.end())
        << "the returned handle was never closed by the library";
}

TEST(HostProcess, NoReferenceLeftWhenNoDialogThreadStarts)
{
    const struct {
        const char* name;
        Api failing;
    } cases[] = {
        {"thread not created", Api::CreateThread},
        {"no reference to the library", Api::GetModuleHandleExW},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        ASSERT_FALSE(LibraryLoaded());
        const HMODULE module = LoadTheLibrary();
        ASSERT_NE(module, nullptr);
        {
            DllMonitor monitor(module);
            ASSERT_TRUE(monitor.complete());
            monitor.Fail(test.failing, 0, kEveryCall);
            const NoticeCall notice(NoticeRequest(), OnTheCopy(module, false));
            EXPECT_EQ(notice.returned(), nullptr);
            const InstructionsCall instructions(InstructionsRequest(), OnTheCopy(module, false));  // informational
            EXPECT_TRUE(ProcessDialogs().empty());
            EXPECT_EQ(monitor.Leaks(), "");
        }
        FreeLibrary(module);
        EXPECT_FALSE(LibraryLoaded());
    }
}

}  // namespace
