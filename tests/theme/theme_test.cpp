// Themed controls whatever the host (this program has no manifest), the
// library's activation context released on every path, and the names of the
// step pictures as a screen reader reads them, never drawn over the pictures.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dialog_probe.h"
#include "dll_monitor.h"
#include "fault_support.h"
#include "language_override.h"
#include "pixels.h"
#include "resource.h"
#include "test_paths.h"

namespace {

// A version 6 button, check box or group box: another class than the host's
// own Button, and it answers BCM_GETIDEALSIZE, which version 5 does not know.
bool IsVersion6Button(HWND control)
{
    WNDCLASSEXW host{};
    host.cbSize = sizeof(host);
    SIZE ideal{};
    return GetClassLongW(control, GCW_ATOM) != static_cast<DWORD>(GetClassInfoExW(nullptr, L"Button", &host)) &&
           SendMessageW(control, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) != FALSE && ideal.cx > 0;
}

// The sorted IDs of the dialog's Button-class children of one version.
std::string ButtonIds(HWND dialog, bool version6)
{
    std::vector<int> ids;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = L"";
        GetClassNameW(child, name, 16);
        if (_wcsicmp(name, L"Button") == 0 && IsVersion6Button(child) == version6) {
            ids.push_back(GetDlgCtrlID(child));
        }
    }
    std::sort(ids.begin(), ids.end());
    std::string text;
    for (int id : ids) {
        text += (text.empty() ? "" : " ") + std::to_string(id);
    }
    return text;
}

enum class Entry { Warning, JobStorage, DuplexInformational, DuplexWaiting };

DuplexInstructionsRequest DuplexRequest(const wchar_t* library, uint32_t bitmap1, uint32_t bitmap2, uint32_t bitmap3)
{
    DuplexInstructionsRequest request{};
    if (library[0] != L'\0') {
        SetField(request.resourceLibraryPath, BinPath(library));
    }
    request.step1BitmapId = bitmap1;
    request.step2BitmapId = bitmap2;
    request.step3BitmapId = bitmap3;
    return request;
}

// One export call, made on a thread of the test's own, with a context of the
// host's active around it when one is given.
class DialogCall {
public:
    DialogCall(Entry entry, const DuplexInstructionsRequest& duplex, HANDLE hostContext = INVALID_HANDLE_VALUE)
        : duplex_(duplex), known_(Known()), call_([this, entry, hostContext] { return Run(entry, hostContext); })
    {
    }
    HWND WaitDialog() { return dialog_ = WaitForDialog(0, 10000, known_); }
    // Closes the dialog and waits for the thread that ran it and for the call.
    bool End()
    {
        const HANDLE thread =
            dialog_ != nullptr ? OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(dialog_, nullptr)) : nullptr;
        bool ended = true;
        if (dialog_ != nullptr) {
            PostMessageW(dialog_, WM_CLOSE, 0, 0);
            ended = WaitForWindowGone(dialog_);
        }
        if (thread != nullptr) {
            ended = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0 && ended;
            CloseHandle(thread);
        }
        return call_.Wait(10000) && ended;
    }
    // 1 when the host's context was the current one again after the export.
    intptr_t result() const { return call_.result(); }

private:
    static std::set<HWND> Known()
    {
        const std::vector<HWND> open = ProcessDialogs();
        return std::set<HWND>(open.begin(), open.end());
    }
    intptr_t Run(Entry entry, HANDLE hostContext)
    {
        ULONG_PTR cookie = 0;
        const bool host = hostContext != INVALID_HANDLE_VALUE && ActivateActCtx(hostContext, &cookie);
        const std::wstring library = BinPath(L"doceventdlg-strings.dll");
        if (entry == Entry::Warning) {
            WarningDialogRequest warning{};
            warning.showDialog = 1;
            warning.okStringId = 849;
            warning.cancelStringId = 3001;
            warning.thirdButtonStringId = 3002;
            warning.showCheckBox = 1;
            SetField(warning.resourceLibraryPath, library);
            ShowWarningDialogExport()(&warning);
        } else if (entry == Entry::JobStorage) {
            JobStorageRequest notice{};
            SetField(notice.resourceLibraryPath, library);
            JobStorageDialogExport()(&notice);
        } else {
            duplex_.waitForContinue = entry == Entry::DuplexWaiting ? 1 : 0;
            DisplayDialogExport()(&duplex_);
        }
        HANDLE current = nullptr;
        const bool hostsAgain = host && GetCurrentActCtx(&current) && current == hostContext;
        if (current != nullptr) {
            ReleaseActCtx(current);
        }
        if (host) {
            DeactivateActCtx(0, cookie);
        }
        return hostsAgain ? 1 : 0;
    }
    DuplexInstructionsRequest duplex_;
    std::set<HWND> known_;
    HWND dialog_ = nullptr;
    BackgroundCall call_;  // last: it starts at once
};

class ThemeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(DocEventDlgModule(), nullptr);
        SetLanguage(0x0409);
    }
    void TearDown() override { CloseAllDialogs(); }
    void SetLanguage(LANGID language)
    {
        language_.reset();
        language_.emplace(DocEventDlgModule(), language);
        ASSERT_TRUE(language_->active());
    }

private:
    std::optional<UserLanguageOverride> language_;
};

TEST_F(ThemeTest, EveryButtonIsVersion6AndTheContextIsReleasedOnEveryPath)
{
    // This host has no manifest and gets version 5 buttons of its own.
    ASSERT_EQ(FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
    const HWND own = CreateWindowExW(0, L"Button", L"", WS_POPUP, 0, 0, 60, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_FALSE(IsVersion6Button(own));
    DestroyWindow(own);
    // A host that activated version 6 itself, from the same kind of manifest.
    ACTCTXW hostRequest{};
    hostRequest.cbSize = sizeof(hostRequest);
    hostRequest.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    hostRequest.hModule = DocEventDlgModule();
    hostRequest.lpResourceName = ISOLATIONAWARE_MANIFEST_RESOURCE_ID;
    const HANDLE hostContext = CreateActCtxW(&hostRequest);
    ASSERT_NE(hostContext, INVALID_HANDLE_VALUE);

    const struct {
        const char* name;
        Entry entry;
        std::string buttons;  // every Button-class control; 65535 is a group box without ID
    } entries[] = {
        {"warning", Entry::Warning, "1 2 285 475"},
        {"job storage notice", Entry::JobStorage, "1 1017 1020 65535 65535"},
        {"two-sided, informational", Entry::DuplexInformational, "1 1000 1007 1009 1027"},
        {"two-sided, waiting", Entry::DuplexWaiting, "1 1000 1007 1009 1027"},
    };
    constexpr int kNotShown = -1;
    const struct {
        const char* name;
        Api fail;  // Api::Count: nothing fails
        bool host;         // the caller's thread has a version 6 context of its own
        int version;       // of the buttons shown, or kNotShown
        int creations;     // CreateActCtxW calls
        int activations;
    } paths[] = {
        {"nothing fails", Api::Count, false, 6, 1, 1},
        {"the host activated version 6 itself", Api::Count, true, 6, 1, 1},
        {"the context cannot be made: shown as before", Api::CreateActCtxW, false, 5, 1, 0},
        {"the context cannot be activated: shown as before", Api::ActivateActCtx, false, 5, 1, 0},
        {"the dialog cannot be made", Api::DialogBoxParamW, false, kNotShown, 1, 1},
        {"no memory for the dialog's state", Api::Malloc, false, kNotShown, 0, 0},
    };
    for (const auto& entry : entries) {
        for (const auto& path : paths) {
            SCOPED_TRACE(std::string(entry.name) + ": " + path.name);
            DllMonitor monitor(DocEventDlgModule());
            ASSERT_TRUE(monitor.complete());
            if (path.fail != Api::Count) {
                monitor.Fail(path.fail, 0, 1);
            }
            DialogCall call(entry.entry, DuplexRequest(L"doceventdlg-strings.dll", 105, 147, 154),
                            path.host ? hostContext : INVALID_HANDLE_VALUE);
            if (path.version != kNotShown) {
                const HWND dialog = call.WaitDialog();
                ASSERT_NE(dialog, nullptr);
                EXPECT_EQ(ButtonIds(dialog, path.version == 6), entry.buttons);
            }
            EXPECT_TRUE(call.End());
            EXPECT_EQ(call.result(), path.host ? 1 : 0) << "the host's context is not the current one again";
            EXPECT_EQ(WaitForNoLeaks(monitor), "");
            EXPECT_TRUE(ProcessDialogs().empty());
            EXPECT_EQ(monitor.Calls(Api::CreateActCtxW), path.creations);
            EXPECT_EQ(monitor.Created(Owned::ActivationCookie), path.activations);
        }
    }
    ReleaseActCtx(hostContext);
}

// The name of a window's client object, as the standard proxy gives it.
std::wstring AccessibleName(HWND window)
{
    // IID_IAccessible, spelled out: MinGW's oleacc import library names an
    // import stub under that symbol.
    static const IID kAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kAccessible,
                                          reinterpret_cast<void**>(&object)))) {
        return L"<no accessible object>";
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const bool named = object->get_accName(self, &name) == S_OK && name != nullptr;
    const std::wstring text = named ? std::wstring(name, SysStringLen(name)) : L"";
    SysFreeString(name);
    object->Release();
    return text;
}

const wchar_t kInBin[] = L"Paper stack in the output bin, blank side up, with the far corner marked";
const wchar_t kInDrawer[] = L"Paper stack in the pulled-out paper drawer, blank side up, with the right edge marked";
const wchar_t kTurned[] = L"Paper stack being turned over, with the same edge marked before and after";

TEST_F(ThemeTest, EachPictureFrameIsNamedAfterItsPicture)
{
    const struct {
        const char* name;
        LANGID language;
        const wchar_t* library;
        uint32_t bitmaps[3];
        const wchar_t* names[3];
    } cases[] = {
        {"built-in English, no library", 0x0409, L"", {105, 147, 154}, {kInBin, kInDrawer, kTurned}},
        {"German library", 0x0407, L"doceventdlg-strings.dll", {105, 147, 155},
         {L"Papierstapel im Ausgabefach, leere Seite oben, hintere Ecke markiert",
          L"Papierstapel in der herausgezogenen Papierkassette, leere Seite oben, rechte Kante markiert",
          L"Papierstapel wird umgedreht, dieselbe Kante vorher und nachher markiert"}},
        {"Arabic library, mirrored", 0x0401, L"doceventdlg-strings.dll", {109, 122, 153},
         {L"إصبع يضغط على زر دائري", L"زر متابعة على الشاشة وعليه مؤشر الماوس",
          L"إصبع يضغط على مفتاح في لوحة التحكم بالطابعة"}},
        {"German library without the names", 0x0407, L"strings-german.dll", {105, 147, 154},
         {kInBin, kInDrawer, kTurned}},
        {"low 16 bits; no name without a picture", 0x0409, L"doceventdlg-strings.dll", {0x10069, 999, 0},
         {kInBin, L"", L""}},
    };
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetLanguage(c.language);
        const DuplexInstructionsRequest request = DuplexRequest(c.library, c.bitmaps[0], c.bitmaps[1], c.bitmaps[2]);
        DialogCall call(Entry::DuplexInformational, request);
        const HWND dialog = call.WaitDialog();
        ASSERT_NE(dialog, nullptr);
        const int frames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(AccessibleName(GetDlgItem(dialog, frames[i])), std::wstring(c.names[i])) << "frame " << i + 1;
        }
        EXPECT_TRUE(call.End());
    }
    CoUninitialize();
}

TEST_F(ThemeTest, ThePictureNameIsNeverDrawn)
{
    DialogCall call(Entry::DuplexInformational, DuplexRequest(L"doceventdlg-strings.dll", 105, 147, 154));
    const HWND dialog = call.WaitDialog();
    ASSERT_NE(dialog, nullptr);
    const HWND frame = GetDlgItem(dialog, IDC_DUPLEX_STEP1_PICTURE);
    const uint32_t face = SystemColorPixel(COLOR_BTNFACE);
    const Pixels picture = LoadBitmapPixels(DocEventDlgModule(), 105);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    WaitUntilPainted(dialog);
    // On each of these the static control would draw its text at once.
    SetWindowTextW(frame, L"A new name");
    EnableWindow(frame, TRUE);
    SendMessageW(frame, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(ComparePicture(CaptureClient(frame), picture, false, face), "");
    EXPECT_EQ(WindowText(frame), L"A new name");

    // Printed into a surface of the test's own: background only.
    RECT client{};
    GetClientRect(frame, &client);
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP surface = CreateCompatibleBitmap(screen, client.right, client.bottom);
    const HGDIOBJ previous = SelectObject(memory, surface);
    SendMessageW(frame, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    SelectObject(memory, previous);
    EXPECT_TRUE(AllPixels(BitmapPixels(surface), face)) << "printed";
    DeleteObject(surface);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    // Painted while the dialog has no state, as before its initialisation ends.
    // Not UpdateWindow: the dialog's thread may take this paint from its queue
    // first, and UpdateWindow then returns while that thread is still drawing.
    const LONG_PTR state = SetWindowLongPtrW(dialog, DWLP_USER, 0);
    InvalidateRect(frame, nullptr, TRUE);
    WaitUntilPainted(dialog);
    SetWindowLongPtrW(dialog, DWLP_USER, state);
    EXPECT_TRUE(AllPixels(CaptureClient(frame), face)) << "painted before the dialog had its state";
    EXPECT_TRUE(call.End());
}

}  // namespace
