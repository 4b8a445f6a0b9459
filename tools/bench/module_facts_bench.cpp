// The library's size on disk, what it imports, read from the import table
// of the module as loaded (the names stay in the image after the loader has
// bound the addresses), and what it exports.
#include <cstdio>

#include "bench_sections.h"

namespace {

template <class T>
const T* AtOffset(HMODULE module, DWORD offset)
{
    return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module) + offset);
}

// The exports a driver may call, by ordinal.
const struct {
    WORD ordinal;
    const char* name;
} kExports[] = {{1, "IShowWarningDialog"},
                {2, "VDisplayDialog"},
                {3, "VJobStorageDialog"},
                {4, "IShowWarningDialogEx"}};

// Prints the export table (ordinal and name) and tells whether every export
// a driver may call is there under its ordinal.
bool PrintExports(HMODULE module, const IMAGE_NT_HEADERS64* nt)
{
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0) {
        std::printf("exports: none\n");
        return false;
    }
    const auto* exports = AtOffset<IMAGE_EXPORT_DIRECTORY>(module, directory.VirtualAddress);
    const auto* names = AtOffset<DWORD>(module, exports->AddressOfNames);
    const auto* ordinals = AtOffset<WORD>(module, exports->AddressOfNameOrdinals);
    std::printf("exports (%lu):", static_cast<unsigned long>(exports->NumberOfNames));
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        std::printf(" %s @%lu", AtOffset<char>(module, names[i]),
                    static_cast<unsigned long>(exports->Base + ordinals[i]));
    }
    std::printf("\n");
    bool complete = true;
    for (const auto& expected : kExports) {
        const FARPROC byName = GetProcAddress(module, expected.name);
        if (byName == nullptr || GetProcAddress(module, MAKEINTRESOURCEA(expected.ordinal)) != byName) {
            std::printf("missing: %s @%u\n", expected.name, static_cast<unsigned>(expected.ordinal));
            complete = false;
        }
    }
    return complete;
}

}  // namespace

bool RunModuleFactsBench(const BenchSettings&, std::vector<Figure>& figures)
{
    std::printf("== doceventdlg.dll: size and imports\n");
    const std::wstring path = ProgramFolder() + L"doceventdlg.dll";
    WIN32_FILE_ATTRIBUTE_DATA file{};
    const HMODULE module = DocEventDlgModule();
    if (module == nullptr || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &file)) {
        std::printf("cannot load or read %ls\n\n", path.c_str());
        return false;
    }
    const unsigned long long bytes = (static_cast<unsigned long long>(file.nFileSizeHigh) << 32) | file.nFileSizeLow;
    std::printf("size on disk: %llu bytes\n", bytes);

    const auto* dos = AtOffset<IMAGE_DOS_HEADER>(module, 0);
    const auto* nt = AtOffset<IMAGE_NT_HEADERS64>(module, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int libraries = 0;
    int functions = 0;
    std::string dllNames;
    for (const auto* import = AtOffset<IMAGE_IMPORT_DESCRIPTOR>(module, directory.VirtualAddress);
         directory.VirtualAddress != 0 && import->Name != 0; ++import) {
        const char* name = AtOffset<char>(module, import->Name);
        // The name table; the address table holds bound addresses by now.
        const DWORD names = import->OriginalFirstThunk != 0 ? import->OriginalFirstThunk : import->FirstThunk;
        std::string list;
        int count = 0;
        for (const auto* thunk = AtOffset<IMAGE_THUNK_DATA64>(module, names); thunk->u1.AddressOfData != 0; ++thunk) {
            char ordinal[16];
            const char* function = ordinal;
            if (IMAGE_SNAP_BY_ORDINAL64(thunk->u1.Ordinal)) {
                std::snprintf(ordinal, sizeof(ordinal), "#%u",
                              static_cast<unsigned>(IMAGE_ORDINAL64(thunk->u1.Ordinal)));
            } else {
                function = reinterpret_cast<const char*>(
                    AtOffset<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(thunk->u1.AddressOfData))->Name);
            }
            list += (count == 0 ? "" : " ") + std::string(function);
            ++count;
        }
        std::printf("%s (%d): %s\n", name, count, list.c_str());
        dllNames += (libraries == 0 ? "" : ", ") + std::string(name);
        ++libraries;
        functions += count;
    }
    std::printf("imports: %d functions from %d DLLs\n", functions, libraries);
    const bool exportsComplete = PrintExports(module, nt);
    std::printf("\n");

    figures.push_back(SoleFigure("doceventdlg.dll size", "bytes", static_cast<double>(bytes), "on disk", true));
    figures.push_back(SoleFigure("doceventdlg.dll imports", "functions", functions, dllNames, true));
    return libraries > 0 && exportsComplete;
}
