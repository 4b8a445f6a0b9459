// A right-to-left host on a left-to-right system mirrors every window it does
// not own, the library's left-to-right instructions dialog among them. The
// user's language is English, so the dialog uses its left-to-right template;
// the pictures follow the frames' actual, mirrored layout: they fill their
// frames from the frame's origin corner, unflipped, as in the mirrored
// template.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

#include "dialog_probe.h"
#include "dll_monitor.h"
#include "pixels.h"
#include "resource.h"
#include "test_paths.h"

namespace {

constexpr int kFrames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};

bool Mirrored(HWND window) { return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0; }

TEST(MirroredHost, PicturesFillTheirFramesInTheLeftToRightDialog)
{
    ASSERT_TRUE(SetProcessDefaultLayout(LAYOUT_RTL));
    ASSERT_NE(DocEventDlgModule(), nullptr);
    const UserLanguageOverride english(DocEventDlgModule(), 0x0409);
    ASSERT_TRUE(english.active());
    const uint32_t background = SystemColorPixel(COLOR_BTNFACE);
    const struct {
        const char* name;
        uint32_t bitmaps[3];
        WORD shown[3];  // 0: the frame shows background only
    } cases[] = {
        {"three pictures", {105, 147, 154}, {105, 147, 154}},
        {"no such bitmap in the middle", {153, 999, 122}, {153, 0, 122}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        DuplexInstructionsRequest request{};  // informational: no owner
        request.step1BitmapId = test.bitmaps[0];
        request.step2BitmapId = test.bitmaps[1];
        request.step3BitmapId = test.bitmaps[2];
        std::set<HWND> known;
        for (HWND dialog : ProcessDialogs()) {
            known.insert(dialog);
        }
        DisplayDialogExport()(&request);
        const HWND dialog = WaitForDialog(0, 10000, known);
        ASSERT_NE(dialog, nullptr);
        const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(dialog, nullptr));
        EXPECT_TRUE(Mirrored(dialog)) << "the host's default layout mirrors it";
        // Paints everything now, on the dialog's thread, before this returns.
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("frame " + std::to_string(kFrames[i]));
            const HWND frame = GetDlgItem(dialog, kFrames[i]);
            EXPECT_TRUE(Mirrored(frame));
            const Pixels seen = CaptureClient(frame);
            ASSERT_FALSE(seen.empty());
            if (test.shown[i] == 0) {
                EXPECT_TRUE(AllPixels(seen, background));
                continue;
            }
            const Pixels bitmap = LoadBitmapPixels(DocEventDlgModule(), test.shown[i]);
            ASSERT_FALSE(bitmap.empty());
            EXPECT_GT(seen.width, bitmap.width);
            EXPECT_EQ(ComparePicture(seen, bitmap, true, background), "");
        }
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_TRUE(thread != nullptr && WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0);
        if (thread != nullptr) {
            CloseHandle(thread);
        }
    }
}

}  // namespace
