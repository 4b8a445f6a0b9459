// Which help engine a Help button reaches, and how HTML Help is loaded. Each
// case runs on a private copy of the library, because HTML Help, once loaded,
// stays loaded for the life of the library. The help engines never run: the
// monitor records WinHelpW calls and stands in for hhctrl.ocx.
#include <gtest/gtest.h>

#include <windows.h>

#include <htmlhelp.h>

#include <array>
#include <string>
#include <vector>

#include "dialog_probe.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "requests.h"
#include "test_paths.h"

namespace {

// A copy of the library under a file name of its own, loaded for one case.
class FreshLibrary {
public:
    FreshLibrary()
    {
        static int copies = 0;
        wchar_t folder[MAX_PATH] = L"";
        GetTempPathW(MAX_PATH, folder);
        path_ = std::wstring(folder) + L"doceventdlg-help-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++copies) + L".dll";
        if (CopyFileW(BinPath(L"doceventdlg.dll").c_str(), path_.c_str(), FALSE)) {
            module_ = LoadLibraryW(path_.c_str());
        }
    }
    ~FreshLibrary()
    {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
        DeleteFileW(path_.c_str());
    }
    FreshLibrary(const FreshLibrary&) = delete;
    FreshLibrary& operator=(const FreshLibrary&) = delete;

    HMODULE module() const { return module_; }

private:
    std::wstring path_;
    HMODULE module_ = nullptr;
};

// The two-sided instructions in waiting mode, on the test's copy of the library.
CallOptions OnCopy(const FreshLibrary& library)
{
    CallOptions options;
    options.library = library.module();
    return options;
}

// Presses Help and returns once the dialog has handled the press.
bool PressHelp(const InstructionsCall& instructions)
{
    instructions.Command(IDC_DUPLEX_HELP);
    return instructions.StillOpenAfterPosting();
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The loads of HTML Help the library asked for, each checked to name
// hhctrl.ocx in the system folder, never a bare name the search path answers.
int HtmlHelpLoads(const DllMonitor& monitor)
{
    wchar_t folder[MAX_PATH] = L"";
    GetSystemDirectoryW(folder, MAX_PATH);
    const std::wstring systemHtmlHelp = std::wstring(folder) + L"\\hhctrl.ocx";
    int loads = 0;
    for (LibraryLoad load : monitor.LibraryLoads()) {
        CharLowerBuffW(load.path.data(), static_cast<DWORD>(load.path.size()));
        if (load.path.find(L"hhctrl") != std::wstring::npos) {
            EXPECT_EQ(_wcsicmp(load.path.c_str(), systemHtmlHelp.c_str()), 0) << Narrow(load.path);
            ++loads;
        }
    }
    return loads;
}

// Two presses of Help per case: HTML Help is loaded on the first and kept for
// the second, or, when it cannot be had, tried again at the second.
TEST(ContextHelp, EachPathReachesItsEngineAndHtmlHelpFailuresAreSilent)
{
    constexpr HelpEngine kWin = HelpEngine::WinHelp;
    constexpr HelpEngine kHtml = HelpEngine::HtmlHelp;
    const wchar_t* const kChm = L"C:\\drivers\\help\\printer.chm";
    const struct {
        const char* name;
        const wchar_t* helpFile;
        Api fail;
        int failures;
        HelpEngine engine;
        size_t calls;  // help requests that reached the engine
        int loads;     // of hhctrl.ocx
        int kept;      // hhctrl.ocx still loaded at the end
    } cases[] = {
        {"chm", kChm, Api::Count, 0, kHtml, 2, 1, 1},
        {"CHM", L"C:\\DRIVERS\\HELP\\PRINTER.CHM", Api::Count, 0, kHtml, 2, 1, 1},
        {"cHm, no folder", L"printer.cHm", Api::Count, 0, kHtml, 2, 1, 1},
        {"hlp", L"C:\\drivers\\help\\printer.hlp", Api::Count, 0, kWin, 2, 0, 0},
        {"empty", L"", Api::Count, 0, kWin, 2, 0, 0},
        {"chm.hlp", L"C:\\drivers\\help\\printer.chm.hlp", Api::Count, 0, kWin, 2, 0, 0},
        {"chm and a blank", L"C:\\drivers\\help\\printer.chm ", Api::Count, 0, kWin, 2, 0, 0},
        {"chm without a dot", L"C:\\drivers\\help\\printerchm", Api::Count, 0, kWin, 2, 0, 0},
        // The file part, before the first "::", decides; the whole path goes on.
        {"text file inside a chm", L"C:\\drivers\\help\\printer.chm::/cshelp.txt", Api::Count, 0, kHtml, 2, 1, 1},
        {"text file inside a CHM", L"C:\\DRIVERS\\PRINTER.CHM::/CSHELP.TXT", Api::Count, 0, kHtml, 2, 1, 1},
        {"chm and an empty inside", L"printer.chm::", Api::Count, 0, kHtml, 2, 1, 1},
        {"chm inside a chm", L"C:\\help\\outer.chm::/inner.chm::/x.txt", Api::Count, 0, kHtml, 2, 1, 1},
        {"text file inside an hlp", L"C:\\drivers\\help\\printer.hlp::/cshelp.txt", Api::Count, 0, kWin, 2, 0, 0},
        {"chm only after the ::", L"C:\\drivers\\help\\printer.hlp::/inner.chm", Api::Count, 0, kWin, 2, 0, 0},
        {"nothing before the ::", L"::/printer.chm", Api::Count, 0, kWin, 2, 0, 0},
        {"chm and one colon", L"C:\\drivers\\help\\printer.chm:/cshelp.txt", Api::Count, 0, kWin, 2, 0, 0},
        {"hhctrl.ocx missing", kChm, Api::LoadHtmlHelp, 2, kHtml, 0, 2, 0},
        {"hhctrl.ocx without HtmlHelpW", kChm, Api::HtmlHelpExport, 2, kHtml, 0, 2, 0},
        {"hhctrl.ocx missing at the first press only", kChm, Api::LoadHtmlHelp, 1, kHtml, 1, 2, 1},
        {"HtmlHelpW shows nothing", kChm, Api::HtmlHelpW, 2, kHtml, 2, 1, 1},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        FreshLibrary library;
        ASSERT_NE(library.module(), nullptr);
        DllMonitor monitor(library.module());
        ASSERT_TRUE(monitor.complete());
        if (test.failures > 0) {
            monitor.Fail(test.fail, 0, test.failures);
        }
        {
            InstructionsCall instructions(InstructionsRequest().Waiting().HelpFile(test.helpFile), OnCopy(library));
            ASSERT_NE(instructions.dialog(), nullptr);
            ASSERT_TRUE(PressHelp(instructions));
            ASSERT_TRUE(PressHelp(instructions));

            const std::vector<HelpCall> calls = monitor.HelpCalls();
            EXPECT_EQ(calls.size(), test.calls);
            for (const HelpCall& call : calls) {
                EXPECT_EQ(call.engine, test.engine);
                EXPECT_EQ(call.window, instructions.Control(IDC_DUPLEX_HELP));
                EXPECT_EQ(call.helpFile, test.helpFile);
                EXPECT_EQ(call.command, static_cast<UINT>(test.engine == kHtml ? HH_TP_HELP_WM_HELP : HELP_WM_HELP));
                EXPECT_EQ(call.ids, (std::array<DWORD, 4>{IDC_DUPLEX_HELP, IDH_DUPLEX_WAITING, 0, 0}));
            }
            EXPECT_EQ(HtmlHelpLoads(monitor), test.loads);
            // A .chm never falls back to WinHelp, which cannot show it.
            EXPECT_EQ(monitor.Calls(Api::WinHelpW), test.engine == kWin ? 2 : 0);
            EXPECT_TRUE(IsWindowVisible(instructions.dialog()));
            EXPECT_TRUE(instructions.Close());
            EXPECT_TRUE(instructions.Returned(0)) << "the call did not return";
        }
        // HTML Help stays loaded once found; nothing else is left.
        EXPECT_EQ(monitor.Leaks(), test.kept == 1 ? "HtmlHelpModule 1" : "");
    }
}

}  // namespace
