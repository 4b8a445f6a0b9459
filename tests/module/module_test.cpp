// The library as a module: what it imports, what it exports and its version.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <type_traits>
#include <vector>

#include "test_paths.h"

extern "C" size_t WarningDialogRequestSizeInC(void);
extern "C" size_t JobStorageRequestSizeInC(void);
extern "C" size_t DuplexInstructionsRequestSizeInC(void);
extern "C" int ShowWarningDialogExDeclaredInC(void);

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The DLL names of a module's import table, read from the mapped image.
std::vector<std::string> ImportedDlls(HMODULE module)
{
    std::vector<std::string> names;
    auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         directory.VirtualAddress != 0 && descriptor->Name != 0; ++descriptor) {
        names.push_back(Lower(reinterpret_cast<const char*>(base + descriptor->Name)));
    }
    return names;
}

std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name)
{
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), query.c_str(), &value, &length) || length == 0) {
        return L"<missing>";
    }
    return std::wstring(static_cast<const wchar_t*>(value), length - 1);
}

TEST(Module, ImportsOnlySystemDlls)
{
    const HMODULE module = DocEventDlgModule();
    ASSERT_NE(module, nullptr);
    const std::vector<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                                              "msvcrt.dll",   "ole32.dll"};
    const std::vector<std::string> imported = ImportedDlls(module);
    EXPECT_FALSE(imported.empty());
    for (const std::string& dll : imported) {
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), dll), allowed.end()) << "imports " << dll;
    }
}

TEST(Module, OrdinalsAndNamesAgree)
{
    const HMODULE module = DocEventDlgModule();
    ASSERT_NE(module, nullptr);
    const struct {
        WORD ordinal;
        const char* name;
    } exports[] = {{1, "IShowWarningDialog"},
                   {2, "VDisplayDialog"},
                   {3, "VJobStorageDialog"},
                   {4, "IShowWarningDialogEx"}};
    for (const auto& entry : exports) {
        FARPROC byName = GetProcAddress(module, entry.name);
        EXPECT_NE(byName, nullptr) << entry.name;
        EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(entry.ordinal)), byName) << entry.name;
    }
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(5)), nullptr);
}

TEST(Module, PublicHeaderRecordsHaveOneLayoutInCAndCpp)
{
    EXPECT_EQ(WarningDialogRequestSizeInC(), sizeof(WarningDialogRequest));
    EXPECT_EQ(JobStorageRequestSizeInC(), sizeof(JobStorageRequest));
    EXPECT_EQ(DuplexInstructionsRequestSizeInC(), sizeof(DuplexInstructionsRequest));
}

TEST(Module, VersionResource)
{
    const std::wstring path = BinPath(L"doceventdlg.dll");
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedLength = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedLength));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(51, 60));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(32, 532));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(51, 60));
    EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(32, 532));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));

    struct Translation {
        WORD language;
        WORD codePage;
    }* translations = nullptr;
    UINT translationLength = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                               &translationLength));
    ASSERT_EQ(translationLength, sizeof(Translation));
    EXPECT_EQ(translations->language, 0x0409);
    EXPECT_EQ(translations->codePage, 1200);

    EXPECT_EQ(VersionString(info, L"FileDescription"), L"Dialogs for Document Event ");
    EXPECT_EQ(VersionString(info, L"FileVersion"), L"60.051.532.32");
    EXPECT_EQ(VersionString(info, L"ProductVersion"), L"60.051.532.32");
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"doceventdlg.dll");
}

// HTML Help is loaded when Help needs it: the library must load on a system
// without it.
TEST(Module, HtmlHelpIsNotAnImport)
{
    const HMODULE module = DocEventDlgModule();
    ASSERT_NE(module, nullptr);
    for (const std::string& dll : ImportedDlls(module)) {
        EXPECT_EQ(dll.find("hhctrl"), std::string::npos) << "imports " << dll;
        EXPECT_EQ(dll.find("htmlhelp"), std::string::npos) << "imports " << dll;
    }
}

TEST(Module, PublicHeaderDeclaresTheCheckBoxExportInCAndCpp)
{
    EXPECT_EQ(ShowWarningDialogExDeclaredInC(), 1);
    static_assert(std::is_same_v<decltype(&IShowWarningDialogEx),
                                 int32_t(WINAPI*)(const WarningDialogRequest*, int32_t*)>,
                  "IShowWarningDialogEx's C++ declaration");
}

}  // namespace
