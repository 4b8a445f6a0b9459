// The one interceptor of the library's imports. While anything of this header
// watches a module (a monitor, a language answer, an override), every import
// listed in dll_monitor.cpp goes through a replacement, installed once for
// all of them:
// - DllMonitor counts calls, keeps the objects the library created and has
//   not released, makes chosen calls fail, records the threads it started and
//   the handles it closed, and records help requests instead of starting the
//   help engine (which must never run in a test). HTML Help is never loaded:
//   a load of hhctrl.ocx gets a stand-in module whose HtmlHelpW records the
//   request. One monitor at a time.
// - UserLanguageOverride answers the library's question for the user's UI
//   language.
// - ImportOverride puts a function of the test's own in place of one import.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

enum class Api {
    LocalAlloc,
    Malloc,  // the C runtime's allocator (malloc, calloc, realloc of nothing), behind operator new
    CreateThread,
    CreateFontW,
    LoadBitmapW,
    CreateCompatibleDC,
    BeginPaint,
    LoadLibraryExW,
    FindResourceExW,
    LoadResource,
    RegCreateKeyExW,
    RegSetValueExW,
    GetWindowRect,
    DialogBoxParamW,
    WinHelpW,
    // HTML Help: loads of hhctrl.ocx (by any load function), the look-up of
    // an export in it, and HtmlHelpW itself. Failing the load stands for a
    // system without HTML Help.
    LoadHtmlHelp,
    HtmlHelpExport,
    HtmlHelpW,
    CreateActCtxW,
    ActivateActCtx,
    GetModuleHandleExW,  // the reference a dialog thread holds to the library
    Count,
};

// Kinds of objects the library creates and must release.
enum class Owned {
    LocalMemory,
    HeapMemory,
    ThreadHandle,
    Font,
    Bitmap,
    MemoryDc,
    PaintDc,
    WindowDc,  // GetDC until ReleaseDC
    Library,
    RegistryKey,
    HtmlHelpModule,  // the stand-in for hhctrl.ocx
    ActivationContext,
    ActivationCookie,  // an activation not yet deactivated
    // A reference to the library itself (GetModuleHandleExW without
    // GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT), until FreeLibrary or
    // FreeLibraryAndExitThread gives it back.
    LibraryReference,
    Count,
};

const char* ApiName(Api api);
const char* OwnedName(Owned kind);

enum class HelpEngine { WinHelp, HtmlHelp };

struct HelpCall {
    HWND window;
    std::wstring helpFile;
    UINT command;
    std::array<DWORD, 4> ids;  // the first four values the data pointed to
    HelpEngine engine = HelpEngine::WinHelp;
};

// A module the library asked the loader for.
struct LibraryLoad {
    std::wstring path;
    DWORD flags;  // LoadLibraryExW's flags; 0 for LoadLibraryW
};

// A thread the library started: its ID and a handle of the monitor's own,
// taken before the library had the handle, so the thread can be waited for
// whatever the library does with its handle. Valid while the monitor lives.
// libraryHandle is the value CreateThread gave the library, to be compared
// (with ClosedHandles, with what an export returned), never used.
struct StartedThread {
    DWORD id;
    HANDLE handle;
    HANDLE libraryHandle;
};

class DllMonitor {
public:
    explicit DllMonitor(HMODULE module);
    ~DllMonitor();
    DllMonitor(const DllMonitor&) = delete;
    DllMonitor& operator=(const DllMonitor&) = delete;

    // True when every import was found and patched.
    bool complete() const;

    // Makes calls fail: the first `skip` calls from now pass, the next `count` fail.
    void Fail(Api api, int skip = 0, int count = 1);
    int Calls(Api api) const;

    // Objects created since the monitor started and not released yet.
    int Outstanding(Owned kind) const;
    // "Font 1, Bitmap 2": every kind with objects outstanding; empty when none.
    std::string Leaks() const;
    int Created(Owned kind) const;

    std::vector<HelpCall> HelpCalls() const;
    std::vector<LibraryLoad> LibraryLoads() const;

    // Every handle the library passed to CloseHandle since the monitor
    // started, in order. A handle's value is reused by the next handle anything
    // in the process opens, so whether a value is still valid says nothing
    // about whether the library closed it; this list does.
    std::vector<HANDLE> ClosedHandles() const;
    // CloseHandle calls of handles that were no thread handle the library
    // made and had not closed yet: a handle closed twice, or never its own.
    int StrayCloses() const;

    std::vector<StartedThread> StartedThreads() const;
    // The resource IDs of the bitmaps the library loaded, in order.
    std::vector<WORD> LoadedBitmaps() const;

    // Answers the library's GetProcAddress for name, from any module, with
    // function: a stand-in of the test's, or null for a platform without it.
    void AnswerExport(const char* name, const void* function);

    // Drops the records of closed handles, started threads, loads and help
    // requests (counts stay), with their storage, so that a long run's
    // bookkeeping does not grow with its cycles.
    void ForgetRecords();

    // For a module that is unloaded while watched: its import table is gone
    // with it, so nothing is restored.
    void Abandon();

    struct Shared;  // the state the replacements reach

private:
    HMODULE module_;
    bool complete_ = true;
    bool abandoned_ = false;
};

// Answers the library's GetUserDefaultUILanguage with a language of the
// test's choosing while the guard lives; guards nest.
class UserLanguageOverride {
public:
    UserLanguageOverride(HMODULE module, LANGID language);
    ~UserLanguageOverride();
    UserLanguageOverride(const UserLanguageOverride&) = delete;
    UserLanguageOverride& operator=(const UserLanguageOverride&) = delete;
    bool active() const { return active_; }

private:
    HMODULE module_;
    int previous_;
    bool active_;
};

// Puts replacement in place of the library's import of function (from any
// DLL) while the guard lives. original() is what the library reached before:
// the platform's function, or the monitor's replacement that counts it.
class ImportOverride {
public:
    ImportOverride(HMODULE module, const char* function, const void* replacement);
    ~ImportOverride();
    ImportOverride(const ImportOverride&) = delete;
    ImportOverride& operator=(const ImportOverride&) = delete;

    bool active() const;
    template <class Function>
    Function original() const
    {
        return reinterpret_cast<Function>(const_cast<void*>(Original()));
    }

private:
    const void* Original() const;
    HMODULE module_;
    std::unique_ptr<class ImportPatch> patch_;
};
