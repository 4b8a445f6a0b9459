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

struct ComThread {
    ComThread() { initialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    ~ComThread()
    {
        if (initialized) {
            CoUninitialize();
        }
    }
    bool initialized;
};

TEST(PictureFrames, AScreenReaderHearsEachFrameAsAnEnabledGraphicWithItsName)
{
    const ComThread com;
    ASSERT_TRUE(com.initialized);
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
}

// ---------------------------------------------------------------------------
// What the library asks of the platform: a stand-in for the annotation
// service, given to the library's CoCreateInstance.

struct Annotation {
    HWND window;
    DWORD object;
    DWORD child;
    GUID property;
    long value;  // -1: taken back
    bool windowAlive;
};

std::mutex g_lock;
std::vector<Annotation> g_annotations;
int g_services = 0;  // stand-ins alive
HRESULT g_createAnswer = S_OK;

class RecordingServices : public IAccPropServices {
public:
    RecordingServices() { ++g_services; }
    virtual ~RecordingServices() { --g_services; }
    HRESULT WINAPI QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IAccPropServices) {
            *object = static_cast<IAccPropServices*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
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
    HRESULT WINAPI SetHwndProp(HWND window, DWORD object, DWORD child, MSAAPROPID property, VARIANT value) override
    {
        const std::lock_guard<std::mutex> guard(g_lock);
        g_annotations.push_back({window, object, child, property, value.vt == VT_I4 ? value.lVal : -2,
                                 IsWindow(window) != FALSE});
        return S_OK;
    }
    HRESULT WINAPI ClearHwndProps(HWND window, DWORD object, DWORD child, const MSAAPROPID* properties,
                                  int count) override
    {
        const std::lock_guard<std::mutex> guard(g_lock);
        for (int i = 0; i < count; ++i) {
            g_annotations.push_back({window, object, child, properties[i], -1, IsWindow(window) != FALSE});
        }
        return S_OK;
    }
    HRESULT WINAPI SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override
    {
        return E_NOTIMPL;
    }
    HRESULT WINAPI ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHwndPropStr(HWND, DWORD, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                     AnnoScope) override
    {
        return E_NOTIMPL;
    }
    HRESULT WINAPI ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override
    {
        return E_NOTIMPL;
    }
    HRESULT WINAPI SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*, AnnoScope) override
    {
        return E_NOTIMPL;
    }
    HRESULT WINAPI ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override { return E_NOTIMPL; }
    HRESULT WINAPI ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override { return E_NOTIMPL; }
    HRESULT WINAPI DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override { return E_NOTIMPL; }

private:
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

TEST(PictureFrames, EachFrameIsAnnotatedAsAReadOnlyGraphicAndTakenBackBeforeItGoes)
{
    const struct {
        const char* name;
        bool waiting;
        Com callerCom;       // the calling thread's, for the waiting instructions
        HRESULT create;      // what CoCreateInstance answers
    } rows[] = {
        {"informational", false, Com::None, S_OK},
        {"waiting, caller without COM", true, Com::None, S_OK},
        {"waiting, caller single-threaded", true, Com::SingleThreaded, S_OK},
        {"waiting, caller multithreaded", true, Com::MultiThreaded, S_OK},
        {"no annotation service", false, Com::None, REGDB_E_CLASSNOTREG},
        {"waiting, no annotation service", true, Com::None, REGDB_E_CLASSNOTREG},
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
        std::vector<HWND> frames;
        DuplexInstructionsRequest request = InstructionsRequest();
        Com before = Com::None;
        Com after = Com::None;
        if (!row.waiting) {
            InstructionsCall instructions(request);
            ASSERT_NE(instructions.dialog(), nullptr);
            for (int id : kFrames) {
                frames.push_back(instructions.Control(id));
                EXPECT_TRUE(IsWindowEnabled(frames.back()));
            }
            EXPECT_TRUE(instructions.Close());
        } else {
            request.waitForContinue = 1;
            const Com wanted = row.callerCom;
            BackgroundCall call([&request, wanted, &before, &after] {
                if (wanted != Com::None) {
                    CoInitializeEx(nullptr, wanted == Com::SingleThreaded ? COINIT_APARTMENTTHREADED
                                                                          : COINIT_MULTITHREADED);
                }
                before = ThreadCom();
                DisplayDialogExport()(&request);
                after = ThreadCom();
                if (wanted != Com::None) {
                    CoUninitialize();
                }
                return intptr_t{0};
            });
            const HWND dialog = WaitForDialog(call.threadId());
            ASSERT_NE(dialog, nullptr);
            for (int id : kFrames) {
                frames.push_back(GetDlgItem(dialog, id));
                EXPECT_TRUE(IsWindowEnabled(frames.back()));
            }
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            ASSERT_TRUE(call.Wait(30000));
            EXPECT_EQ(ComName(before), ComName(row.callerCom));
            EXPECT_EQ(ComName(after), ComName(before)) << "the caller's thread is left as it was";
        }
        const std::lock_guard<std::mutex> guard(g_lock);
        ASSERT_EQ(g_apartments.size(), 1u) << "one annotation service per dialog";
        EXPECT_NE(g_apartments[0], static_cast<int>(Com::None)) << "COM is there when the service is made";
        if (FAILED(row.create)) {
            EXPECT_TRUE(g_annotations.empty());
            continue;
        }
        EXPECT_EQ(g_services, 0) << "the service is released";
        // Per frame: the role and the state while the dialog is up, both
        // taken back while the frame still exists.
        ASSERT_EQ(g_annotations.size(), 12u);
        for (size_t i = 0; i < 3; ++i) {
            SCOPED_TRACE("frame " + std::to_string(i + 1));
            const Annotation& role = g_annotations[2 * i];
            const Annotation& state = g_annotations[2 * i + 1];
            EXPECT_EQ(role.window, frames[i]);
            EXPECT_EQ(role.object, static_cast<DWORD>(OBJID_CLIENT));
            EXPECT_EQ(role.child, static_cast<DWORD>(CHILDID_SELF));
            EXPECT_TRUE(role.property == PROPID_ACC_ROLE);
            EXPECT_EQ(role.value, ROLE_SYSTEM_GRAPHIC);
            EXPECT_EQ(state.window, frames[i]);
            EXPECT_TRUE(state.property == PROPID_ACC_STATE);
            EXPECT_EQ(state.value, STATE_SYSTEM_READONLY);
            const Annotation& clearRole = g_annotations[6 + 2 * i];
            const Annotation& clearState = g_annotations[6 + 2 * i + 1];
            EXPECT_EQ(clearRole.window, frames[i]);
            EXPECT_TRUE(clearRole.property == PROPID_ACC_ROLE);
            EXPECT_TRUE(clearState.property == PROPID_ACC_STATE);
            EXPECT_EQ(clearRole.value, -1);
            EXPECT_TRUE(clearRole.windowAlive && clearState.windowAlive) << "taken back before the frame goes";
        }
    }
}

}  // namespace
