// Where the test programs find the library, the fixtures and the sample strings:
// all of them are built into the folder of the running program.
#pragma once

#include <windows.h>

#include <string>

#include "include/doceventdlg.h"

// The folder of the running program, with a trailing backslash.
std::wstring ProgramFolder();

// file in the program's folder.
std::wstring BinPath(const wchar_t* file);

// The library under test, loaded once for the whole program.
HMODULE DocEventDlgModule();

using ShowWarningDialogFunction = int32_t(WINAPI*)(const WarningDialogRequest*);
using DisplayDialogFunction = void(WINAPI*)(const DuplexInstructionsRequest*);
using JobStorageDialogFunction = HANDLE(WINAPI*)(const JobStorageRequest*);

ShowWarningDialogFunction ShowWarningDialogExport();
DisplayDialogFunction DisplayDialogExport();
JobStorageDialogFunction JobStorageDialogExport();

// Copies text into a fixed-width record field (cut to leave room for the NUL).
template <size_t Width>
void SetField(wchar_t (&field)[Width], const std::wstring& text)
{
    const size_t units = text.size() < Width - 1 ? text.size() : Width - 1;
    text.copy(field, units);
    field[units] = L'\0';
}
