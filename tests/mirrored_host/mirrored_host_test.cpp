// A right-to-left host on a left-to-right system mirrors every window it does
// not own, the library's left-to-right instructions dialog among them. The
// user's language is English, so the dialog uses its left-to-right template;
// the pictures follow the frames' actual, mirrored layout: they fill their
// frames from the frame's origin corner, unflipped, as in the mirrored
// template.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "dll_monitor.h"
#include "export_drivers.h"
#include "pixels.h"
#include "requests.h"
#include "resource.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr uint32_t kNoSuchBitmap = 999;
constexpr WORD kNoPicture = 0;

constexpr int kFrames[] = {IDC_DUPLEX_STEP1_PICTURE, IDC_DUPLEX_STEP2_PICTURE, IDC_DUPLEX_STEP3_PICTURE};

bool Mirrored(HWND window) { return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0; }

TEST(MirroredHost, PicturesFillTheirFramesInTheLeftToRightDialog)
{
    ASSERT_TRUE(SetProcessDefaultLayout(LAYOUT_RTL));
    ASSERT_NE(DocEventDlgModule(), nullptr);
    const UserLanguageOverride english(DocEventDlgModule(), kEnglish);
    ASSERT_TRUE(english.active());
    const uint32_t background = SystemColorPixel(COLOR_BTNFACE);
    const struct {
        const char* name;
        uint32_t bitmaps[3];
        WORD shown[3];  // kNoPicture: the frame shows background only
    } cases[] = {
        {"three pictures",
         {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154},
         {IDB_ILLUSTRATION_105, IDB_ILLUSTRATION_147, IDB_ILLUSTRATION_154}},
        {"no such bitmap in the middle",
         {IDB_ILLUSTRATION_153, kNoSuchBitmap, IDB_ILLUSTRATION_122},
         {IDB_ILLUSTRATION_153, kNoPicture, IDB_ILLUSTRATION_122}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        // Informational: no owner.
        InstructionsCall instructions(InstructionsRequest().Pictures(test.bitmaps[0], test.bitmaps[1], test.bitmaps[2]));
        const HWND dialog = instructions.dialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(Mirrored(dialog)) << "the host's default layout mirrors it";
        // Paints everything now, on the dialog's thread, before this returns.
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("frame " + std::to_string(kFrames[i]));
            const HWND frame = instructions.Control(kFrames[i]);
            EXPECT_TRUE(Mirrored(frame));
            const Pixels seen = CaptureClient(frame);
            ASSERT_FALSE(seen.empty());
            if (test.shown[i] == kNoPicture) {
                EXPECT_TRUE(AllPixels(seen, background));
                continue;
            }
            const Pixels bitmap = LoadBitmapPixels(DocEventDlgModule(), test.shown[i]);
            ASSERT_FALSE(bitmap.empty());
            EXPECT_GT(seen.width, bitmap.width);
            EXPECT_EQ(ComparePicture(seen, bitmap, true, background), "");
        }
        instructions.Post(WM_CLOSE);
        EXPECT_TRUE(instructions.WaitEnded());
    }
}

}  // namespace
