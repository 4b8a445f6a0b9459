// The step pictures' names, as a screen reader reads them through Active
// Accessibility: from the caller's library in the user's language, the
// built-in English names where the library has none, nothing for a bitmap
// that is no picture of the library; and the names are never drawn.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dialog_probe.h"
#include "language_override.h"
#include "pixels.h"
#include "resource.h"
#include "test_paths.h"

namespace {

const int kFrames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};

// The name of a window's client object, as the standard proxy gives it.
std::wstring AccessibleName(HWND window)
{
    // IID_IAccessible, spelled out: MinGW's oleacc import library names an
    // import stub under that symbol, not the GUID.
    static const IID kAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kAccessible,
                                          reinterpret_cast<void**>(&object)))) {
        return L"<no accessible object>";
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    const HRESULT result = object->get_accName(self, &name);
    std::wstring text = result == S_OK && name != nullptr ? std::wstring(name, SysStringLen(name)) : L"";
    SysFreeString(name);
    object->Release();
    return text;
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) {
        out += c < 128 ? static_cast<char>(c) : '?';
    }
    return out;
}

class PictureNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(DocEventDlgModule(), nullptr);
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        SetLanguage(0x0409);
    }
    void TearDown() override
    {
        CloseAllDialogs();
        language_.reset();
        CoUninitialize();
    }
    void SetLanguage(LANGID language)
    {
        language_.reset();
        language_.emplace(DocEventDlgModule(), language);
        ASSERT_TRUE(language_->active());
    }

    // Opens the informational dialog with these pictures and the given library.
    HWND Open(const uint32_t (&bitmaps)[3], const wchar_t* library)
    {
        DuplexInstructionsRequest request{};
        if (library[0] != L'\0') {
            SetField(request.resourceLibraryPath, BinPath(library));
        }
        request.step1BitmapId = bitmaps[0];
        request.step2BitmapId = bitmaps[1];
        request.step3BitmapId = bitmaps[2];
        request.step1StringId = 3150;
        request.step2StringId = 3151;
        request.step3StringId = 3152;
        const std::vector<HWND> open = ProcessDialogs();
        DisplayDialogExport()(&request);
        return WaitForDialog(0, 10000, std::set<HWND>(open.begin(), open.end()));
    }

    static void Close(HWND dialog)
    {
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(WaitForWindowGone(dialog));
    }

private:
    std::optional<UserLanguageOverride> language_;
};

const wchar_t kStackInBin[] = L"Paper stack in the output bin, blank side up, with the far corner marked";
const wchar_t kDrawerPulledOut[] =
    L"Paper stack in the pulled-out paper drawer, blank side up, with the right edge marked";
const wchar_t kStackTurned[] = L"Paper stack being turned over, with the same edge marked before and after";

TEST_F(PictureNamesTest, EachFrameIsNamedAfterItsPicture)
{
    const struct {
        const char* name;
        LANGID language;
        const wchar_t* library;
        uint32_t bitmaps[3];
        const wchar_t* names[3];
    } cases[] = {
        {"built-in English, no library", 0x0409, L"", {105, 147, 154}, {kStackInBin, kDrawerPulledOut, kStackTurned}},
        {"English library", 0x0409, L"doceventdlg-strings.dll", {105, 147, 155}, {kStackInBin, kDrawerPulledOut, kStackTurned}},
        {"German library",
         0x0407,
         L"doceventdlg-strings.dll",
         {105, 147, 154},
         {L"Papierstapel im Ausgabefach, leere Seite oben, hintere Ecke markiert",
          L"Papierstapel in der herausgezogenen Papierkassette, leere Seite oben, rechte Kante markiert",
          L"Papierstapel wird umgedreht, dieselbe Kante vorher und nachher markiert"}},
        {"Arabic library, mirrored",
         0x0401,
         L"doceventdlg-strings.dll",
         {109, 122, 153},
         {L"إصبع يضغط على زر دائري", L"زر متابعة على الشاشة وعليه مؤشر الماوس",
          L"إصبع يضغط على مفتاح في لوحة التحكم بالطابعة"}},
        {"a German library without the names: built-in English",
         0x0407,
         L"strings-german.dll",
         {105, 147, 154},
         {kStackInBin, kDrawerPulledOut, kStackTurned}},
        {"only the low 16 bits name the picture; none for a bitmap the library lacks",
         0x0409,
         L"doceventdlg-strings.dll",
         {0x10069, 999, 0},
         {kStackInBin, L"", L""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetLanguage(c.language);
        const HWND dialog = Open(c.bitmaps, c.library);
        ASSERT_NE(dialog, nullptr);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("frame " + std::to_string(kFrames[i]));
            const std::wstring name = AccessibleName(GetDlgItem(dialog, kFrames[i]));
            EXPECT_EQ(name, c.names[i]) << Narrow(name);
        }
        Close(dialog);
    }
}

// Sends the frame a paint request while the dialog has no state stored, as
// before its initialisation ends, and puts the state back.
void PaintWithoutState(HWND dialog, HWND frame)
{
    const LONG_PTR state = SetWindowLongPtrW(dialog, DWLP_USER, 0);
    InvalidateRect(frame, nullptr, TRUE);
    UpdateWindow(frame);  // the frame paints at once, on the dialog's thread
    SetWindowLongPtrW(dialog, DWLP_USER, state);
}

// What the frame's client area prints into a context of the test's own.
Pixels PrintFrame(HWND frame)
{
    RECT client{};
    GetClientRect(frame, &client);
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    const HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(memory, &client, magenta);  // anything not printed stays magenta
    DeleteObject(magenta);
    SendMessageW(frame, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    SelectObject(memory, previous);
    Pixels pixels = BitmapPixels(bitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

TEST_F(PictureNamesTest, TheNameIsNeverDrawn)
{
    const uint32_t bitmaps[3] = {105, 147, 154};
    const HWND dialog = Open(bitmaps, L"doceventdlg-strings.dll");
    ASSERT_NE(dialog, nullptr);
    const HWND frame = GetDlgItem(dialog, IDC_DUPLEX_STEP1_PICTURE);
    const uint32_t background = SystemColorPixel(COLOR_BTNFACE);
    const Pixels picture = LoadBitmapPixels(DocEventDlgModule(), 105);
    const auto showsThePicture = [&] { return ComparePicture(CaptureClient(frame), picture, false, background); };
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ASSERT_EQ(showsThePicture(), "");

    // The static control would draw its text at once on each of these.
    SetWindowTextW(frame, L"A new name for the picture");
    EXPECT_EQ(showsThePicture(), "") << "a new text";
    EXPECT_EQ(AccessibleName(frame), L"A new name for the picture");
    EnableWindow(frame, TRUE);
    EXPECT_EQ(showsThePicture(), "") << "enabled";
    EnableWindow(frame, FALSE);
    SendMessageW(frame, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(showsThePicture(), "") << "system colours changed";

    const Pixels printed = PrintFrame(frame);
    ASSERT_FALSE(printed.empty());
    EXPECT_TRUE(AllPixels(printed, background)) << "printed with its text";

    PaintWithoutState(dialog, frame);
    EXPECT_TRUE(AllPixels(CaptureClient(frame), background)) << "painted its text before the dialog had its state";
    Close(dialog);
}

}  // namespace
