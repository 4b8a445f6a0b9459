// The step pictures for screen readers: each frame a graphic with the
// picture's name, enabled, as a screen reader reads it where the platform
// takes the annotation; what the library asks of the platform for it; and the
// COM state of the caller's thread, which the waiting instructions borrow.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>

#include <mutex>
#include <string>
#include <vector>

#include "accessible.h"
#include "dialog_probe.h"
#include "dll_monitor.h"
#include "export_drivers.h"
#include "requests.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kArabic = 0x0401;
constexpr int kFrames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};

const wchar_t kInBin[] = L"Paper stack in the output bin, blank side up, with the far corner marked";
const wchar_t kInDrawer[] = L"Paper stack in the pulled-out paper drawer, blank side up, with the right edge marked";
const wchar_t kTurned[] = L"Paper stack being turned over, with the same edge marked before and after";

TEST(PictureFrames, AScreenReaderHearsEachFrameAsAnEnabledGraphicWithItsName)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const bool annotations = PlatformTakesAnnotations();
    std::printf("    the platform %s dynamic annotations\n", annotations ? "takes" : "does not take");
    const struct {
        const char* name;
        LANGID language;
        bool waiting;
        uint32_t pictures[3];
        const wchar_t* names[3];
    } rows[] = {
        {"informational", kEnglish, false, {105, 147, 154}, {kInBin, kInDrawer, kTurned}},
        {"waiting", kEnglish, true, {105, 147, 154}, {kInBin, kInDrawer, kTurned}},
        {"mirrored, informational", kArabic, false, {109, 122, 153},
         {L"إصبع يضغط على زر دائري", L"زر متابعة على الشاشة وعليه مؤشر الماوس",
          L"إصبع يضغط على مفتاح في لوحة التحكم بالطابعة"}},
    };
    for (const auto& row : rows) {
        UserLanguageOverride language(DocEventDlgModule(), row.language);
        InstructionsRequest request;
        request.Pictures(row.pictures[0], row.pictures[1], row.pictures[2]);
        if (row.waiting) {
            request.Waiting();
        }
        InstructionsCall instructions(request);
        ASSERT_NE(instructions.dialog(), nullptr) << row.name;
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(std::string(row.name) + ", frame " + std::to_string(i + 1));
            const HWND frame = instructions.Control(kFrames[i]);
            EXPECT_TRUE(IsWindowEnabled(frame));
            const AccessibleView view = ReadAccessible(frame);
            ASSERT_TRUE(view.found);
            EXPECT_EQ(view.name, row.names[i]);
            EXPECT_EQ(view.state & STATE_SYSTEM_UNAVAILABLE, 0) << "state " << std::hex << view.state;
            if (annotations) {
                EXPECT_EQ(view.role, ROLE_SYSTEM_GRAPHIC);
                EXPECT_EQ(view.state & STATE_SYSTEM_READONLY, STATE_SYSTEM_READONLY);
            } else if (i == 0) {
                std::printf("    %s: role %ld, state %#lx as the platform's proxy gives them\n", row.name,
                            view.role, view.state);
            }
        }
        EXPECT_TRUE(instructions.Close());
    }
    CoUninitialize();
}

// ---------------------------------------------------------------------------
// What the library asks of the platform: a stand-in for the annotation
// service, given to the library's CoCreateInstance.

constexpr long kTakenBack = -1;

struct Annotation {
    HWND window;
    GUID property;
    long value;  // kTakenBack: cleared
    bool windowAlive;
};

std::mutex g_lock;
std::vector<Annotation> g_annotations;
int g_services = 0;  // stand-ins alive
HRESULT g_createAnswer = S_OK;

// Records the annotations asked for; every other method is refused.
class RecordingServices : public IAccPropServices {
public:
    RecordingServices() { ++g_services; }
    virtual ~RecordingServices() { --g_services; }
    HRESULT WINAPI QueryInterface(REFIID iid, void** object) override
    {
        *object = iid == IID_IUnknown || iid == IID_IAccPropServices ? this : nullptr;
        return *object != nullptr ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return ++references_; }
    ULONG WINAPI Release() override
    {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT WINAPI SetHwndProp(HWND window, DWORD, DWORD, MSAAPROPID property, VARIANT value) override
    {
        return Record(window, property, value.vt == VT_I4 ? value.lVal : -2);
    }
    HRESULT WINAPI ClearHwndProps(HWND window, DWORD, DWORD, const MSAAPROPID* properties, int count) override
    {
        for (int i = 0; i < count; ++i) {
            Record(window, properties[i], kTakenBack);
        }
        return S_OK;
    }
    // clang-format off
    HRESULT WINAPI SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override { return E_NOTIMPL; }
    HRESULT WINAPI ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHwndPropStr(HWND, DWORD, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override { return E_NOTIMPL; }
    HRESULT WINAPI ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override { return E_NOTIMPL; }
    HRESULT WINAPI ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
    HRESULT WINAPI ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override { return E_NOTIMPL; }
    // clang-format on

private:
    static HRESULT Record(HWND window, const GUID& property, long value)
    {
        const std::lock_guard<std::mutex> guard(g_lock);
        g_annotations.push_back({window, property, value, IsWindow(window) != FALSE});
        return S_OK;
    }
    ULONG references_ = 1;
};

// The thread's COM model as the library's CoCreateInstance finds it.
std::vector<int> g_apartments;

// How a thread stands with COM, found without changing it for long: a
// multithreaded CoInitializeEx succeeds on a thread without COM (and is
// undone), is refused on a single-threaded one, and is counted on a
// multithreaded one (and undone).
enum class Com { None, SingleThreaded, MultiThreaded };

Com ThreadCom()
{
    const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (result == RPC_E_CHANGED_MODE) {
        return Com::SingleThreaded;
    }
    if (SUCCEEDED(result)) {
        CoUninitialize();
    }
    return result == S_OK ? Com::None : Com::MultiThreaded;
}

HRESULT WINAPI StandInCoCreateInstance(REFCLSID classId, IUnknown*, DWORD, REFIID iid, void** object)
{
    *object = nullptr;
    {
        const std::lock_guard<std::mutex> guard(g_lock);
        g_apartments.push_back(static_cast<int>(ThreadCom()));
    }
    if (classId != CLSID_AccPropServices || iid != IID_IAccPropServices) {
        return REGDB_E_CLASSNOTREG;
    }
    if (FAILED(g_createAnswer)) {
        return g_createAnswer;
    }
    *object = static_cast<IAccPropServices*>(new RecordingServices);
    return S_OK;
}

const char* ComName(Com com)
{
    return com == Com::None ? "no COM" : com == Com::SingleThreaded ? "single-threaded" : "multithreaded";
}

// The waiting instructions, on the caller's thread in each COM state it may
// be in (the informational ones run on a thread of their own, by the same
// code).
TEST(PictureFrames, EachFrameIsAnnotatedAsAReadOnlyGraphicAndTakenBackBeforeItGoes)
{
    const struct {
        const char* name;
        Com callerCom;
        HRESULT create;  // what CoCreateInstance answers
    } rows[] = {
        {"caller without COM", Com::None, S_OK},
        {"caller single-threaded", Com::SingleThreaded, S_OK},
        {"caller multithreaded", Com::MultiThreaded, S_OK},
        {"no annotation service", Com::None, REGDB_E_CLASSNOTREG},
    };
    ImportOverride create(DocEventDlgModule(), "CoCreateInstance",
                          reinterpret_cast<const void*>(&StandInCoCreateInstance));
    ASSERT_TRUE(create.active());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        {
            const std::lock_guard<std::mutex> guard(g_lock);
            g_annotations.clear();
            g_apartments.clear();
            g_createAnswer = row.create;
        }
        const DuplexInstructionsRequest request = InstructionsRequest().Waiting();
        Com before = Com::None;
        Com after = Com::None;
        BackgroundCall call([&request, &row, &before, &after] {
            if (row.callerCom != Com::None) {
                CoInitializeEx(nullptr, row.callerCom == Com::SingleThreaded ? COINIT_APARTMENTTHREADED
                                                                             : COINIT_MULTITHREADED);
            }
            before = ThreadCom();
            DisplayDialogExport()(&request);
            after = ThreadCom();
            if (row.callerCom != Com::None) {
                CoUninitialize();
            }
            return intptr_t{0};
        });
        const HWND dialog = WaitForDialog(call.threadId());
        ASSERT_NE(dialog, nullptr);
        std::vector<HWND> frames;
        for (int id : kFrames) {
            frames.push_back(GetDlgItem(dialog, id));
            EXPECT_TRUE(IsWindowEnabled(frames.back()));
        }
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        ASSERT_TRUE(call.Wait(30000));
        EXPECT_EQ(ComName(before), ComName(row.callerCom));
        EXPECT_EQ(ComName(after), ComName(before)) << "the caller's thread is left as it was";
        const std::lock_guard<std::mutex> guard(g_lock);
        ASSERT_EQ(g_apartments.size(), 1u) << "one annotation service per dialog";
        EXPECT_NE(g_apartments[0], static_cast<int>(Com::None)) << "COM is there when the service is made";
        if (FAILED(row.create)) {
            EXPECT_TRUE(g_annotations.empty());
            continue;
        }
        // Per frame: the role and the state while the dialog is up, both
        // taken back while the frame still exists.
        EXPECT_EQ(g_services, 0) << "the service is released";
        ASSERT_EQ(g_annotations.size(), 12u);
        for (size_t i = 0; i < 12; ++i) {
            const Annotation& seen = g_annotations[i];
            const bool role = i % 2 == 0;
            SCOPED_TRACE("frame " + std::to_string(i % 6 / 2 + 1) + (role ? ", role" : ", state"));
            EXPECT_EQ(seen.window, frames[i % 6 / 2]);
            EXPECT_TRUE(seen.property == (role ? PROPID_ACC_ROLE : PROPID_ACC_STATE));
            EXPECT_EQ(seen.value, i >= 6 ? kTakenBack : role ? ROLE_SYSTEM_GRAPHIC : STATE_SYSTEM_READONLY);
            EXPECT_TRUE(seen.windowAlive);
        }
    }
}

}  // namespace
