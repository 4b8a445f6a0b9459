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
#include "export_drivers.h"
#include "fault_support.h"
#include "pixels.h"
#include "requests.h"
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
std::vector<int> ButtonIds(HWND dialog, bool version6)
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
    return ids;
}

std::vector<int> Sorted(std::vector<int> ids)
{
    std::sort(ids.begin(), ids.end());
    return ids;
}

constexpr int kGroupBoxWithoutId = 0xFFFF;  // the templates' -1, as a control ID

enum class Entry { Warning, JobStorage, DuplexInformational, DuplexWaiting };

// An activation context of the host's own, made from the library's manifest.
class HostContext {
public:
    HostContext()
    {
        ACTCTXW request{};
        request.cbSize = sizeof(request);
        request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.hModule = DocEventDlgModule();
        request.lpResourceName = ISOLATIONAWARE_MANIFEST_RESOURCE_ID;
        context_ = CreateActCtxW(&request);
    }
    ~HostContext()
    {
        if (context_ != INVALID_HANDLE_VALUE) {
            ReleaseActCtx(context_);
        }
    }
    HostContext(const HostContext&) = delete;
    HostContext& operator=(const HostContext&) = delete;

    HANDLE get() const { return context_; }

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
};

// One export called through its driver, with a context of the host's active
// on the calling thread around the call when one is given: whether that
// context is the current one again right after the call.
class EntryCall {
public:
    EntryCall(Entry entry, bool waitForDialog, HANDLE hostContext = INVALID_HANDLE_VALUE)
    {
        CallOptions options;
        options.waitForDialog = waitForDialog;
        if (hostContext != INVALID_HANDLE_VALUE) {
            options.before = [this, hostContext] { hosted_ = ActivateActCtx(hostContext, &cookie_) != FALSE; };
            options.after = [this, hostContext] {
                HANDLE current = nullptr;
                hostsAgain_ = hosted_ && GetCurrentActCtx(&current) && current == hostContext;
                if (current != nullptr) {
                    ReleaseActCtx(current);
                }
                if (hosted_) {
                    DeactivateActCtx(0, cookie_);
                }
            };
        }
        switch (entry) {
        case Entry::Warning:
            warning_.emplace(WarningRequest(), WarningExport::Plain, options);
            break;
        case Entry::JobStorage:
            notice_.emplace(NoticeRequest(), options);
            break;
        case Entry::DuplexInformational:
            instructions_.emplace(InstructionsRequest(), options);
            break;
        case Entry::DuplexWaiting:
            instructions_.emplace(InstructionsRequest().Waiting(), options);
            break;
        }
    }

    HWND dialog() const
    {
        return warning_ ? warning_->dialog() : notice_ ? notice_->dialog() : instructions_->dialog();
    }
    // Closes the dialog, if one came, and waits for the thread that ran it and
    // for the call.
    bool End()
    {
        if (dialog() != nullptr) {
            PostMessageW(dialog(), WM_CLOSE, 0, 0);
        }
        if (warning_) {
            return warning_->Result(10000) != kStillOpen;
        }
        if (notice_) {
            return notice_->returned() == nullptr || notice_->WaitEnded(10000);  // no thread: nothing to wait for
        }
        return instructions_->WaitEnded(10000);
    }
    bool hostsAgain() const { return hostsAgain_; }

private:
    bool hosted_ = false;
    ULONG_PTR cookie_ = 0;
    bool hostsAgain_ = false;
    std::optional<WarningCall> warning_;
    std::optional<NoticeCall> notice_;
    std::optional<InstructionsCall> instructions_;
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
    const HostContext hostContext;
    ASSERT_NE(hostContext.get(), INVALID_HANDLE_VALUE);

    const struct {
        const char* name;
        Entry entry;
        std::vector<int> buttons;  // every Button-class control
    } entries[] = {
        {"warning", Entry::Warning, {IDOK, IDCANCEL, IDC_WARNING_THIRD_BUTTON, IDC_WARNING_DONT_SHOW}},
        {"job storage notice", Entry::JobStorage,
         {IDOK, IDC_JOB_DONT_SHOW, IDC_JOB_HELP, kGroupBoxWithoutId, kGroupBoxWithoutId}},
        {"two-sided, informational", Entry::DuplexInformational,
         {IDOK, IDC_DUPLEX_STEP1_GROUP, IDC_DUPLEX_STEP2_GROUP, IDC_DUPLEX_STEP3_GROUP, IDC_DUPLEX_HELP}},
        {"two-sided, waiting", Entry::DuplexWaiting,
         {IDOK, IDC_DUPLEX_STEP1_GROUP, IDC_DUPLEX_STEP2_GROUP, IDC_DUPLEX_STEP3_GROUP, IDC_DUPLEX_HELP}},
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
        {"no memory for the dialog's state or its thread's start", Api::Malloc, false, kNotShown, 0, 0},
    };
    for (const auto& entry : entries) {
        for (const auto& path : paths) {
            SCOPED_TRACE(std::string(entry.name) + ": " + path.name);
            DllMonitor monitor(DocEventDlgModule());
            ASSERT_TRUE(monitor.complete());
            if (path.fail != Api::Count) {
                monitor.Fail(path.fail, 0, 1);
            }
            EntryCall call(entry.entry, path.version != kNotShown,
                           path.host ? hostContext.get() : INVALID_HANDLE_VALUE);
            if (path.version != kNotShown) {
                ASSERT_NE(call.dialog(), nullptr);
                EXPECT_EQ(ButtonIds(call.dialog(), path.version == 6), Sorted(entry.buttons));
            }
            EXPECT_TRUE(call.End());
            if (path.host) {
                EXPECT_TRUE(call.hostsAgain()) << "the host's context is not the current one again";
            }
            EXPECT_EQ(WaitForNoLeaks(monitor), "");
            EXPECT_TRUE(ProcessDialogs().empty());
            EXPECT_EQ(monitor.Calls(Api::CreateActCtxW), path.creations);
            EXPECT_EQ(monitor.Created(Owned::ActivationCookie), path.activations);
        }
    }
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

const int kPictureFrames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};

TEST_F(ThemeTest, EachPictureFrameIsNamedAfterItsPicture)
{
    constexpr uint32_t kNoSuchPicture = 999;
    constexpr uint32_t kHighBitsSet = 0x10000;  // only the low 16 bits of a picture's ID count
    const struct {
        const char* name;
        LANGID language;
        const wchar_t* library;
        uint32_t bitmaps[3];
        const wchar_t* names[3];
    } cases[] = {
        {"built-in English, no library", 0x0409, L"",
         {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154},
         {kInBin, kInDrawer, kTurned}},
        {"German library", 0x0407, L"doceventdlg-strings.dll",
         {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_155},
         {L"Papierstapel im Ausgabefach, leere Seite oben, hintere Ecke markiert",
          L"Papierstapel in der herausgezogenen Papierkassette, leere Seite oben, rechte Kante markiert",
          L"Papierstapel wird umgedreht, dieselbe Kante vorher und nachher markiert"}},
        {"Arabic library, mirrored", 0x0401, L"doceventdlg-strings.dll",
         {IDB_ILLUSTRATION_109, IDB_ILLUSTRATION_122, IDB_ILLUSTRATION_153},
         {L"إصبع يضغط على زر دائري", L"زر متابعة على الشاشة وعليه مؤشر الماوس",
          L"إصبع يضغط على مفتاح في لوحة التحكم بالطابعة"}},
        {"German library without the names", 0x0407, L"strings-german.dll",
         {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154},
         {kInBin, kInDrawer, kTurned}},
        {"low 16 bits; no name without a picture", 0x0409, L"doceventdlg-strings.dll",
         {kHighBitsSet + IDB_ILLUSTRATION_105, kNoSuchPicture, 0},
         {kInBin, L"", L""}},
    };
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetLanguage(c.language);
        InstructionsCall call(InstructionsRequest()
                                  .Library(c.library[0] != L'\0' ? BinPath(c.library) : L"")
                                  .Pictures(c.bitmaps[0], c.bitmaps[1], c.bitmaps[2]));
        ASSERT_NE(call.dialog(), nullptr);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(AccessibleName(call.Control(kPictureFrames[i])), std::wstring(c.names[i])) << "frame " << i + 1;
        }
        EXPECT_TRUE(call.Close());
    }
    CoUninitialize();
}

// What a window draws into a surface of the test's own when asked to print
// its client area.
Pixels PrintedClient(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    struct ScreenDc {
        const HDC dc = GetDC(nullptr);
        ~ScreenDc() { ReleaseDC(nullptr, dc); }
    } screen;
    struct Surface {
        const HDC dc;
        const HBITMAP bitmap;
        ~Surface()
        {
            DeleteDC(dc);
            DeleteObject(bitmap);
        }
    } surface{CreateCompatibleDC(screen.dc), CreateCompatibleBitmap(screen.dc, client.right, client.bottom)};
    {
        struct Selected {
            const HDC dc;
            const HGDIOBJ previous;
            ~Selected() { SelectObject(dc, previous); }
        } selected{surface.dc, SelectObject(surface.dc, surface.bitmap)};
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.dc), PRF_CLIENT);
    }
    return BitmapPixels(surface.bitmap);  // read once it is no longer selected
}

TEST_F(ThemeTest, ThePictureNameIsNeverDrawn)
{
    InstructionsCall call(InstructionsRequest().Pictures(IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147,
                                                         IDB_ILLUSTRATION_154));
    ASSERT_NE(call.dialog(), nullptr);
    const HWND frame = call.Control(IDC_DUPLEX_STEP1_PICTURE);
    const uint32_t face = SystemColorPixel(COLOR_BTNFACE);
    const Pixels picture = LoadBitmapPixels(DocEventDlgModule(), IDB_ILLUSTRATION_105);
    RedrawWindow(call.dialog(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    call.WaitPainted();
    // On each of these the static control would draw its text at once.
    SetWindowTextW(frame, L"A new name");
    EnableWindow(frame, TRUE);
    SendMessageW(frame, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(ComparePicture(CaptureClient(frame), picture, false, face), "");
    EXPECT_EQ(WindowText(frame), L"A new name");

    // Printed into a surface of the test's own: background only.
    EXPECT_TRUE(AllPixels(PrintedClient(frame), face)) << "printed";
    EXPECT_TRUE(call.Close());
}

}  // namespace
