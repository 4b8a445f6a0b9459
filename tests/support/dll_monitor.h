// Watches what the library under test asks of the platform, by intercepting
// its imports while the monitor lives: counts calls, keeps the objects it
// created and has not released, makes chosen calls fail, and records help
// requests instead of starting the help engine (which must never run in a
// test). HTML Help is never loaded: a load of hhctrl.ocx gets a stand-in
// module whose HtmlHelpW records the request. One monitor at a time.
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

    // Drops the records of closed handles, loads and help requests (counts
    // stay), with their storage, so that a long run's bookkeeping does not
    // grow with its cycles.
    void ForgetRecords();

    struct Shared;  // the state the replacements reach

private:
    std::vector<std::unique_ptr<class ImportPatch>> patches_;
    bool complete_ = true;
};
