#include "dll_monitor.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>

#include "import_patch.h"

struct DllMonitor::Shared {
    std::mutex lock;
    int calls[static_cast<int>(Api::Count)] = {};
    int skip[static_cast<int>(Api::Count)] = {};
    int failures[static_cast<int>(Api::Count)] = {};
    int created[static_cast<int>(Owned::Count)] = {};
    std::map<std::pair<int, uintptr_t>, int> outstanding;  // (kind, handle) -> count
    std::vector<HelpCall> helpCalls;
    std::vector<LibraryLoad> loads;
    std::vector<HANDLE> closedHandles;
    std::vector<StartedThread> startedThreads;
    std::vector<WORD> loadedBitmaps;
    int strayCloses = 0;
    std::map<std::string, const void*> exportAnswers;  // GetProcAddress by name, answered by the test
    int userLanguage = -1;  // the answer to GetUserDefaultUILanguage; -1: the platform's

    // Counts the call and tells whether it is one of those that fail.
    bool Call(Api api)
    {
        std::lock_guard<std::mutex> guard(lock);
        const int index = static_cast<int>(api);
        ++calls[index];
        if (skip[index] > 0) {
            --skip[index];
            return false;
        }
        if (failures[index] > 0) {
            --failures[index];
            return true;
        }
        return false;
    }

    void Add(Owned kind, const void* handle)
    {
        if (handle == nullptr) {
            return;
        }
        std::lock_guard<std::mutex> guard(lock);
        ++created[static_cast<int>(kind)];
        ++outstanding[{static_cast<int>(kind), reinterpret_cast<uintptr_t>(handle)}];
    }

    // Releases one object of kind; false when the library never made it.
    bool Remove(Owned kind, const void* handle)
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = outstanding.find({static_cast<int>(kind), reinterpret_cast<uintptr_t>(handle)});
        if (found == outstanding.end()) {
            return false;
        }
        if (--found->second == 0) {
            outstanding.erase(found);
        }
        return true;
    }

    void Reset()
    {
        std::lock_guard<std::mutex> guard(lock);
        for (int& value : calls) value = 0;
        for (int& value : skip) value = 0;
        for (int& value : failures) value = 0;
        for (int& value : created) value = 0;
        outstanding.clear();
        strayCloses = 0;
        exportAnswers.clear();
        ForgetRecordsLocked();
    }

    void ForgetRecordsLocked()
    {
        std::vector<HelpCall>().swap(helpCalls);
        std::vector<LibraryLoad>().swap(loads);
        std::vector<HANDLE>().swap(closedHandles);
        std::vector<WORD>().swap(loadedBitmaps);
        for (const StartedThread& thread : startedThreads) {
            CloseHandle(thread.handle);
        }
        std::vector<StartedThread>().swap(startedThreads);
    }

    void RecordHelp(const HelpCall& call)
    {
        std::lock_guard<std::mutex> guard(lock);
        helpCalls.push_back(call);
    }
};

namespace {

DllMonitor::Shared g_shared;

// The platform's own functions, reached directly from the test program.
HLOCAL WINAPI MonitoredLocalAlloc(UINT flags, SIZE_T bytes)
{
    if (g_shared.Call(Api::LocalAlloc)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const HLOCAL memory = LocalAlloc(flags, bytes);
    g_shared.Add(Owned::LocalMemory, memory);
    return memory;
}

HLOCAL WINAPI MonitoredLocalFree(HLOCAL memory)
{
    g_shared.Remove(Owned::LocalMemory, memory);
    return LocalFree(memory);
}

void* __cdecl MonitoredMalloc(size_t bytes)
{
    if (g_shared.Call(Api::Malloc)) {
        return nullptr;
    }
    void* memory = std::malloc(bytes);
    g_shared.Add(Owned::HeapMemory, memory);
    return memory;
}

// The compiler may turn an allocation that is zero-filled into calloc, and
// the runtime grows its own tables with realloc: both count as the library's.
void* __cdecl MonitoredCalloc(size_t count, size_t bytes)
{
    if (g_shared.Call(Api::Malloc)) {
        return nullptr;
    }
    void* memory = std::calloc(count, bytes);
    g_shared.Add(Owned::HeapMemory, memory);
    return memory;
}

void* __cdecl MonitoredRealloc(void* memory, size_t bytes)
{
    if (memory == nullptr) {
        return MonitoredMalloc(bytes);
    }
    void* moved = std::realloc(memory, bytes);
    // Only a block made while the monitor watches is followed.
    if ((moved != nullptr || bytes == 0) && g_shared.Remove(Owned::HeapMemory, memory)) {
        g_shared.Add(Owned::HeapMemory, moved);
    }
    return moved;
}

void __cdecl MonitoredFree(void* memory)
{
    g_shared.Remove(Owned::HeapMemory, memory);
    std::free(memory);
}

HANDLE WINAPI MonitoredCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                    LPVOID parameter, DWORD flags, LPDWORD threadId)
{
    if (g_shared.Call(Api::CreateThread)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const HANDLE thread = CreateThread(security, stack, start, parameter, flags, threadId);
    if (thread != nullptr) {
        // The library has not seen the handle yet, so nothing can have closed it.
        HANDLE own = nullptr;
        DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS);
        std::lock_guard<std::mutex> guard(g_shared.lock);
        g_shared.startedThreads.push_back({GetThreadId(thread), own, thread});
    }
    g_shared.Add(Owned::ThreadHandle, thread);
    return thread;
}

BOOL WINAPI MonitoredCloseHandle(HANDLE handle)
{
    const bool owned = g_shared.Remove(Owned::ThreadHandle, handle);
    {
        std::lock_guard<std::mutex> guard(g_shared.lock);
        g_shared.closedHandles.push_back(handle);
        g_shared.strayCloses += owned ? 0 : 1;
    }
    return CloseHandle(handle);
}

BOOL WINAPI MonitoredGetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* module)
{
    if (g_shared.Call(Api::GetModuleHandleExW)) {
        *module = nullptr;
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    const BOOL found = GetModuleHandleExW(flags, name, module);
    if (found && (flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) == 0) {
        g_shared.Add(Owned::LibraryReference, *module);
    }
    return found;
}

// Never returns: the reference is given back as the thread ends.
void WINAPI MonitoredFreeLibraryAndExitThread(HMODULE module, DWORD exitCode)
{
    g_shared.Remove(Owned::LibraryReference, module);
    FreeLibraryAndExitThread(module, exitCode);
}

LANGID WINAPI MonitoredGetUserDefaultUILanguage()
{
    int answer = -1;
    {
        std::lock_guard<std::mutex> guard(g_shared.lock);
        answer = g_shared.userLanguage;
    }
    return answer >= 0 ? static_cast<LANGID>(answer) : GetUserDefaultUILanguage();
}

HFONT WINAPI MonitoredCreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCWSTR face)
{
    if (g_shared.Call(Api::CreateFontW)) {
        return nullptr;
    }
    const HFONT font = CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                                   charSet, outPrecision, clipPrecision, quality, pitchAndFamily, face);
    g_shared.Add(Owned::Font, font);
    return font;
}

HFONT WINAPI MonitoredCreateFontIndirectW(const LOGFONTW* font)
{
    if (g_shared.Call(Api::CreateFontW)) {
        return nullptr;
    }
    const HFONT made = CreateFontIndirectW(font);
    g_shared.Add(Owned::Font, made);
    return made;
}

BOOL WINAPI MonitoredDeleteObject(HGDIOBJ object)
{
    if (!g_shared.Remove(Owned::Font, object)) {
        g_shared.Remove(Owned::Bitmap, object);
    }
    return DeleteObject(object);
}

HBITMAP WINAPI MonitoredLoadBitmapW(HINSTANCE instance, LPCWSTR name)
{
    if (g_shared.Call(Api::LoadBitmapW)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const HBITMAP bitmap = LoadBitmapW(instance, name);
    g_shared.Add(Owned::Bitmap, bitmap);
    if (IS_INTRESOURCE(name)) {
        std::lock_guard<std::mutex> guard(g_shared.lock);
        g_shared.loadedBitmaps.push_back(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)));
    }
    return bitmap;
}

HDC WINAPI MonitoredCreateCompatibleDC(HDC dc)
{
    if (g_shared.Call(Api::CreateCompatibleDC)) {
        return nullptr;
    }
    const HDC memory = CreateCompatibleDC(dc);
    g_shared.Add(Owned::MemoryDc, memory);
    return memory;
}

HBITMAP WINAPI MonitoredCreateCompatibleBitmap(HDC dc, int width, int height)
{
    const HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    g_shared.Add(Owned::Bitmap, bitmap);
    return bitmap;
}

HDC WINAPI MonitoredGetDC(HWND window)
{
    const HDC dc = GetDC(window);
    g_shared.Add(Owned::WindowDc, dc);
    return dc;
}

int WINAPI MonitoredReleaseDC(HWND window, HDC dc)
{
    g_shared.Remove(Owned::WindowDc, dc);
    return ReleaseDC(window, dc);
}

BOOL WINAPI MonitoredDeleteDC(HDC dc)
{
    g_shared.Remove(Owned::MemoryDc, dc);
    return DeleteDC(dc);
}

HDC WINAPI MonitoredBeginPaint(HWND window, LPPAINTSTRUCT paint)
{
    if (g_shared.Call(Api::BeginPaint)) {
        return nullptr;
    }
    const HDC dc = BeginPaint(window, paint);
    if (dc != nullptr) {
        g_shared.Add(Owned::PaintDc, window);
    }
    return dc;
}

BOOL WINAPI MonitoredEndPaint(HWND window, const PAINTSTRUCT* paint)
{
    g_shared.Remove(Owned::PaintDc, window);
    return EndPaint(window, paint);
}

// Stands for hhctrl.ocx: never a real module, only compared.
char g_htmlHelpStandIn = 0;
const HMODULE kHtmlHelpModule = reinterpret_cast<HMODULE>(&g_htmlHelpStandIn);

// True when path names hhctrl.ocx, with or without a folder.
bool IsHtmlHelpModule(LPCWSTR path)
{
    if (path == nullptr) {
        return false;
    }
    const wchar_t* name = path;
    for (const wchar_t* unit = path; *unit != L'\0'; ++unit) {
        if (*unit == L'\\' || *unit == L'/') {
            name = unit + 1;
        }
    }
    return _wcsicmp(name, L"hhctrl.ocx") == 0;
}

// The stand-in's load: recorded, and failed when asked to.
HMODULE LoadHtmlHelpStandIn()
{
    if (g_shared.Call(Api::LoadHtmlHelp)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    g_shared.Add(Owned::HtmlHelpModule, kHtmlHelpModule);
    return kHtmlHelpModule;
}

void RecordLoad(LPCWSTR path, DWORD flags)
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    g_shared.loads.push_back({path != nullptr ? path : L"", flags});
}

// Never reaches HTML Help: records the request and answers with the button's
// window, standing for the pop-up's.
HWND WINAPI MonitoredHtmlHelpW(HWND window, LPCWSTR helpFile, UINT command, DWORD_PTR data)
{
    const bool fail = g_shared.Call(Api::HtmlHelpW);
    HelpCall call{window, helpFile != nullptr ? helpFile : L"", command, {}, HelpEngine::HtmlHelp};
    if (data != 0) {
        std::memcpy(call.ids.data(), reinterpret_cast<const DWORD*>(data), sizeof(call.ids));
    }
    g_shared.RecordHelp(call);
    return fail ? nullptr : window;
}

HMODULE WINAPI MonitoredLoadLibraryW(LPCWSTR path)
{
    RecordLoad(path, 0);
    if (IsHtmlHelpModule(path)) {
        return LoadHtmlHelpStandIn();
    }
    const HMODULE module = LoadLibraryW(path);
    g_shared.Add(Owned::Library, module);
    return module;
}

FARPROC WINAPI MonitoredGetProcAddress(HMODULE module, LPCSTR name)
{
    if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF) {
        std::lock_guard<std::mutex> guard(g_shared.lock);
        const auto answer = g_shared.exportAnswers.find(name);
        if (answer != g_shared.exportAnswers.end()) {
            if (answer->second == nullptr) {
                SetLastError(ERROR_PROC_NOT_FOUND);
            }
            return reinterpret_cast<FARPROC>(const_cast<void*>(answer->second));
        }
    }
    if (module != kHtmlHelpModule) {
        return GetProcAddress(module, name);
    }
    const bool fail = g_shared.Call(Api::HtmlHelpExport);
    if (!fail && reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && std::strcmp(name, "HtmlHelpW") == 0) {
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&MonitoredHtmlHelpW));
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

HMODULE WINAPI MonitoredLoadLibraryExW(LPCWSTR path, HANDLE file, DWORD flags)
{
    RecordLoad(path, flags);
    if (IsHtmlHelpModule(path)) {
        return LoadHtmlHelpStandIn();
    }
    if (g_shared.Call(Api::LoadLibraryExW)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const HMODULE module = LoadLibraryExW(path, file, flags);
    g_shared.Add(Owned::Library, module);
    return module;
}

BOOL WINAPI MonitoredFreeLibrary(HMODULE module)
{
    if (module == kHtmlHelpModule) {
        g_shared.Remove(Owned::HtmlHelpModule, module);
        return TRUE;
    }
    if (!g_shared.Remove(Owned::Library, module)) {
        g_shared.Remove(Owned::LibraryReference, module);
    }
    return FreeLibrary(module);
}

HRSRC WINAPI MonitoredFindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language)
{
    if (g_shared.Call(Api::FindResourceExW)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return FindResourceExW(module, type, name, language);
}

HGLOBAL WINAPI MonitoredLoadResource(HMODULE module, HRSRC resource)
{
    if (g_shared.Call(Api::LoadResource)) {
        return nullptr;
    }
    return LoadResource(module, resource);
}

LSTATUS WINAPI MonitoredRegCreateKeyExW(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                        REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition)
{
    if (g_shared.Call(Api::RegCreateKeyExW)) {
        return ERROR_ACCESS_DENIED;
    }
    const LSTATUS status =
        RegCreateKeyExW(root, subKey, reserved, keyClass, options, access, security, key, disposition);
    if (status == ERROR_SUCCESS) {
        g_shared.Add(Owned::RegistryKey, *key);
    }
    return status;
}

LSTATUS WINAPI MonitoredRegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                       DWORD length)
{
    if (g_shared.Call(Api::RegSetValueExW)) {
        return ERROR_ACCESS_DENIED;
    }
    return RegSetValueExW(key, name, reserved, type, data, length);
}

LSTATUS WINAPI MonitoredRegCloseKey(HKEY key)
{
    g_shared.Remove(Owned::RegistryKey, key);
    return RegCloseKey(key);
}

BOOL WINAPI MonitoredGetWindowRect(HWND window, LPRECT rect)
{
    if (g_shared.Call(Api::GetWindowRect)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return GetWindowRect(window, rect);
}

INT_PTR WINAPI MonitoredDialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC procedure,
                                        LPARAM parameter)
{
    if (g_shared.Call(Api::DialogBoxParamW)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    return DialogBoxParamW(instance, name, owner, procedure, parameter);
}

HANDLE WINAPI MonitoredCreateActCtxW(PCACTCTXW request)
{
    if (g_shared.Call(Api::CreateActCtxW)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE context = CreateActCtxW(request);
    if (context != INVALID_HANDLE_VALUE) {
        g_shared.Add(Owned::ActivationContext, context);
    }
    return context;
}

void WINAPI MonitoredReleaseActCtx(HANDLE context)
{
    g_shared.Remove(Owned::ActivationContext, context);
    ReleaseActCtx(context);
}

BOOL WINAPI MonitoredActivateActCtx(HANDLE context, ULONG_PTR* cookie)
{
    if (g_shared.Call(Api::ActivateActCtx)) {
        SetLastError(ERROR_SXS_KEY_NOT_FOUND);
        return FALSE;
    }
    const BOOL activated = ActivateActCtx(context, cookie);
    if (activated) {
        g_shared.Add(Owned::ActivationCookie, reinterpret_cast<const void*>(*cookie));
    }
    return activated;
}

BOOL WINAPI MonitoredDeactivateActCtx(DWORD flags, ULONG_PTR cookie)
{
    g_shared.Remove(Owned::ActivationCookie, reinterpret_cast<const void*>(cookie));
    return DeactivateActCtx(flags, cookie);
}

// Never reaches the help engine: records the request and reports success.
BOOL WINAPI MonitoredWinHelpW(HWND window, LPCWSTR helpFile, UINT command, ULONG_PTR data)
{
    const bool fail = g_shared.Call(Api::WinHelpW);
    HelpCall call{window, helpFile != nullptr ? helpFile : L"", command, {}, HelpEngine::WinHelp};
    if (data != 0) {
        const auto* ids = reinterpret_cast<const DWORD*>(data);
        for (size_t i = 0; i < call.ids.size(); ++i) {
            call.ids[i] = ids[i];
        }
    }
    g_shared.RecordHelp(call);
    return fail ? FALSE : TRUE;
}

struct Replacement {
    const char* function;
    const void* replacement;
    bool optional = false;  // patched when the library imports it
};

const Replacement kReplacements[] = {
    {"LocalAlloc", reinterpret_cast<const void*>(&MonitoredLocalAlloc)},
    {"LocalFree", reinterpret_cast<const void*>(&MonitoredLocalFree)},
    {"malloc", reinterpret_cast<const void*>(&MonitoredMalloc)},
    {"calloc", reinterpret_cast<const void*>(&MonitoredCalloc)},
    {"realloc", reinterpret_cast<const void*>(&MonitoredRealloc)},
    {"free", reinterpret_cast<const void*>(&MonitoredFree)},
    {"CreateThread", reinterpret_cast<const void*>(&MonitoredCreateThread)},
    {"CloseHandle", reinterpret_cast<const void*>(&MonitoredCloseHandle)},
    {"CreateFontW", reinterpret_cast<const void*>(&MonitoredCreateFontW)},
    {"CreateFontIndirectW", reinterpret_cast<const void*>(&MonitoredCreateFontIndirectW)},
    {"DeleteObject", reinterpret_cast<const void*>(&MonitoredDeleteObject)},
    {"LoadBitmapW", reinterpret_cast<const void*>(&MonitoredLoadBitmapW)},
    {"CreateCompatibleDC", reinterpret_cast<const void*>(&MonitoredCreateCompatibleDC)},
    {"CreateCompatibleBitmap", reinterpret_cast<const void*>(&MonitoredCreateCompatibleBitmap)},
    {"GetDC", reinterpret_cast<const void*>(&MonitoredGetDC)},
    {"ReleaseDC", reinterpret_cast<const void*>(&MonitoredReleaseDC)},
    {"DeleteDC", reinterpret_cast<const void*>(&MonitoredDeleteDC)},
    {"BeginPaint", reinterpret_cast<const void*>(&MonitoredBeginPaint)},
    {"EndPaint", reinterpret_cast<const void*>(&MonitoredEndPaint)},
    {"LoadLibraryExW", reinterpret_cast<const void*>(&MonitoredLoadLibraryExW)},
    {"FreeLibrary", reinterpret_cast<const void*>(&MonitoredFreeLibrary)},
    {"FindResourceExW", reinterpret_cast<const void*>(&MonitoredFindResourceExW)},
    {"LoadResource", reinterpret_cast<const void*>(&MonitoredLoadResource)},
    {"RegCreateKeyExW", reinterpret_cast<const void*>(&MonitoredRegCreateKeyExW)},
    {"RegSetValueExW", reinterpret_cast<const void*>(&MonitoredRegSetValueExW)},
    {"RegCloseKey", reinterpret_cast<const void*>(&MonitoredRegCloseKey)},
    {"GetWindowRect", reinterpret_cast<const void*>(&MonitoredGetWindowRect)},
    {"DialogBoxParamW", reinterpret_cast<const void*>(&MonitoredDialogBoxParamW)},
    {"WinHelpW", reinterpret_cast<const void*>(&MonitoredWinHelpW)},
    {"GetProcAddress", reinterpret_cast<const void*>(&MonitoredGetProcAddress)},
    // Not imported today; watched in case a load by name ever appears.
    {"LoadLibraryW", reinterpret_cast<const void*>(&MonitoredLoadLibraryW), true},
    {"CreateActCtxW", reinterpret_cast<const void*>(&MonitoredCreateActCtxW)},
    {"ReleaseActCtx", reinterpret_cast<const void*>(&MonitoredReleaseActCtx)},
    {"ActivateActCtx", reinterpret_cast<const void*>(&MonitoredActivateActCtx)},
    {"DeactivateActCtx", reinterpret_cast<const void*>(&MonitoredDeactivateActCtx)},
    {"GetModuleHandleExW", reinterpret_cast<const void*>(&MonitoredGetModuleHandleExW)},
    {"FreeLibraryAndExitThread", reinterpret_cast<const void*>(&MonitoredFreeLibraryAndExitThread)},
    {"GetUserDefaultUILanguage", reinterpret_cast<const void*>(&MonitoredGetUserDefaultUILanguage)},
};

const char* const kApiNames[] = {"LocalAlloc",      "malloc",          "CreateThread",   "CreateFontW",
                                 "LoadBitmapW",     "CreateCompatibleDC", "BeginPaint",  "LoadLibraryExW",
                                 "FindResourceExW", "LoadResource",    "RegCreateKeyExW", "RegSetValueExW",
                                 "GetWindowRect",   "DialogBoxParamW", "WinHelpW",       "LoadHtmlHelp",
                                 "HtmlHelpExport",  "HtmlHelpW",       "CreateActCtxW",  "ActivateActCtx",
                                 "GetModuleHandleExW"};
const char* const kOwnedNames[] = {"LocalMemory", "HeapMemory", "ThreadHandle", "Font",        "Bitmap",
                                   "MemoryDc",    "PaintDc",    "WindowDc",   "Library",      "RegistryKey", "HtmlHelpModule",
                                   "ActivationContext", "ActivationCookie", "LibraryReference"};
static_assert(std::size(kApiNames) == static_cast<size_t>(Api::Count), "a name for every call");
static_assert(std::size(kOwnedNames) == static_cast<size_t>(Owned::Count), "a name for every kind");

}  // namespace

const char* ApiName(Api api) { return kApiNames[static_cast<int>(api)]; }
const char* OwnedName(Owned kind) { return kOwnedNames[static_cast<int>(kind)]; }

namespace {

// Every watched module, with its replacements installed once and the number
// of guards that use them; the last guard to go restores the imports.
struct WatchState {
    bool complete;  // every import replaced
    bool language;  // the language import replaced
};

struct Watch {
    HMODULE module;
    int users;
    WatchState state;
    std::vector<std::unique_ptr<ImportPatch>> patches;
};

std::mutex g_watchLock;
std::vector<Watch> g_watches;

// Starts watching module, or counts one more user.
WatchState AcquireWatch(HMODULE module)
{
    std::lock_guard<std::mutex> guard(g_watchLock);
    for (Watch& watch : g_watches) {
        if (watch.module == module) {
            ++watch.users;
            return watch.state;
        }
    }
    Watch watch{module, 1, {true, false}, {}};
    // The test program itself, whose string source is tested directly, has
    // only its language answered: its own allocations and loads are the
    // test's, and the replacements reach the platform through its imports.
    const bool program = module == GetModuleHandleW(nullptr);
    for (const Replacement& entry : kReplacements) {
        if (program && std::strcmp(entry.function, "GetUserDefaultUILanguage") != 0) {
            continue;
        }
        auto patch = std::make_unique<ImportPatch>(module, nullptr, entry.function, entry.replacement);
        watch.state.complete = watch.state.complete && !program && (patch->active() || entry.optional);
        if (std::strcmp(entry.function, "GetUserDefaultUILanguage") == 0) {
            watch.state.language = patch->active();
        }
        watch.patches.push_back(std::move(patch));
    }
    g_watches.push_back(std::move(watch));
    return g_watches.back().state;
}

// One user fewer; restore says whether the module's imports are there to be
// restored (not when it was unloaded while watched).
void ReleaseWatch(HMODULE module, bool restore)
{
    std::lock_guard<std::mutex> guard(g_watchLock);
    for (auto watch = g_watches.begin(); watch != g_watches.end(); ++watch) {
        if (watch->module != module) {
            continue;
        }
        if (!restore) {
            for (auto& patch : watch->patches) {
                patch.release();  // its slots are gone with the module
            }
            g_watches.erase(watch);
        } else if (--watch->users == 0) {
            g_watches.erase(watch);
        }
        return;
    }
}

}  // namespace

DllMonitor::DllMonitor(HMODULE module) : module_(module)
{
    g_shared.Reset();
    complete_ = AcquireWatch(module).complete;
}

DllMonitor::~DllMonitor()
{
    if (!abandoned_) {
        ReleaseWatch(module_, true);
    }
    g_shared.Reset();
}

void DllMonitor::Abandon()
{
    if (!abandoned_) {
        abandoned_ = true;
        ReleaseWatch(module_, false);
    }
}

bool DllMonitor::complete() const { return complete_; }

void DllMonitor::Fail(Api api, int skip, int count)
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    g_shared.skip[static_cast<int>(api)] = skip;
    g_shared.failures[static_cast<int>(api)] = count;
}

int DllMonitor::Calls(Api api) const
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    return g_shared.calls[static_cast<int>(api)];
}

int DllMonitor::Outstanding(Owned kind) const
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    int count = 0;
    for (const auto& [key, objects] : g_shared.outstanding) {
        if (key.first == static_cast<int>(kind)) {
            count += objects;
        }
    }
    return count;
}

int DllMonitor::Created(Owned kind) const
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    return g_shared.created[static_cast<int>(kind)];
}

std::string DllMonitor::Leaks() const
{
    std::string leaks;
    for (int kind = 0; kind < static_cast<int>(Owned::Count); ++kind) {
        const int count = Outstanding(static_cast<Owned>(kind));
        if (count != 0) {
            leaks += (leaks.empty() ? "" : ", ") + std::string(kOwnedNames[kind]) + " " + std::to_string(count);
        }
    }
    return leaks;
}

std::vector<HelpCall> DllMonitor::HelpCalls() const
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    return g_shared.helpCalls;
}

std::vector<LibraryLoad> DllMonitor::LibraryLoads() const
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    return g_shared.loads;
}

std::vector<HANDLE> DllMonitor::ClosedHandles() const
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    return g_shared.closedHandles;
}

void DllMonitor::ForgetRecords()
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    g_shared.ForgetRecordsLocked();
}

int DllMonitor::StrayCloses() const
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    return g_shared.strayCloses;
}

std::vector<WORD> DllMonitor::LoadedBitmaps() const
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    return g_shared.loadedBitmaps;
}

void DllMonitor::AnswerExport(const char* name, const void* function)
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    g_shared.exportAnswers[name] = function;
}

std::vector<StartedThread> DllMonitor::StartedThreads() const
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    return g_shared.startedThreads;
}

UserLanguageOverride::UserLanguageOverride(HMODULE module, LANGID language)
    : module_(module), previous_(-1), active_(AcquireWatch(module).language)
{
    std::lock_guard<std::mutex> guard(g_shared.lock);
    previous_ = g_shared.userLanguage;
    g_shared.userLanguage = language;
}

UserLanguageOverride::~UserLanguageOverride()
{
    {
        std::lock_guard<std::mutex> guard(g_shared.lock);
        g_shared.userLanguage = previous_;
    }
    ReleaseWatch(module_, true);
}

ImportOverride::ImportOverride(HMODULE module, const char* function, const void* replacement) : module_(module)
{
    AcquireWatch(module);
    patch_ = std::make_unique<ImportPatch>(module, nullptr, function, replacement);
}

ImportOverride::~ImportOverride()
{
    patch_.reset();
    ReleaseWatch(module_, true);
}

bool ImportOverride::active() const { return patch_->active(); }

const void* ImportOverride::Original() const { return patch_->original<const void*>(); }
