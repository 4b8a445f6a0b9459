#include "test_paths.h"

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring BinPath(const wchar_t* file) { return ProgramFolder() + file; }

HMODULE DocEventDlgModule()
{
    static const HMODULE module = LoadLibraryW(BinPath(L"doceventdlg.dll").c_str());
    return module;
}

namespace {

template <class Function>
Function Export(const char* name)
{
    const HMODULE module = DocEventDlgModule();
    return module != nullptr ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                             : nullptr;
}

}  // namespace

ShowWarningDialogFunction ShowWarningDialogExport() { return Export<ShowWarningDialogFunction>("IShowWarningDialog"); }
DisplayDialogFunction DisplayDialogExport() { return Export<DisplayDialogFunction>("VDisplayDialog"); }
JobStorageDialogFunction JobStorageDialogExport() { return Export<JobStorageDialogFunction>("VJobStorageDialog"); }
