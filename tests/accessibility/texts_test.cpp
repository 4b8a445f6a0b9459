// The caller's texts as written: an "&" drawn as an ampersand, a location
// too long for its line shortened in its middle while its whole text stays
// what the window and screen readers give.
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <optional>
#include <string>

#include "accessible.h"
#include "dll_monitor.h"
#include "drawn_text.h"
#include "export_drivers.h"
#include "requests.h"
#include "test_paths.h"

namespace {

// Less than one light pixel apart counts as the same drawing; the rows are
// chosen so that the two drawings differ by far more (an ampersand against an
// underlined letter, an ellipsis against a cut name).
constexpr double kSameDrawing = 0.5;
constexpr double kOtherDrawing = 3.0;

constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kArabic = 0x0401;

enum class Shown { Warning, Notice };
enum class Drawn {
    AsWritten,          // every "&" an ampersand, not a mnemonic
    ShortenedInMiddle,  // one line, an ellipsis in the middle of the path
};

const wchar_t kLongPath[] = L"\\\\printserver\\Stored Jobs\\Finance\\2026\\December\\Quarterly report.prn";

TEST(CallerTexts, EachControlShowsTheCallersTextAsWritten)
{
    const struct {
        const char* name;
        Shown dialog;
        LANGID language;
        int control;
        const wchar_t* text;
        Drawn drawn;
    } rows[] = {
        {"warning message", Shown::Warning, kEnglish, IDC_WARNING_MESSAGE, L"Paper & toner are low", Drawn::AsWritten},
        {"mirrored warning message", Shown::Warning, kArabic, IDC_WARNING_MESSAGE, L"Paper & toner are low",
         Drawn::AsWritten},
        {"location line 1", Shown::Notice, kEnglish, IDC_JOB_LOCATION_LINE1, L"Trays & bins", Drawn::AsWritten},
        {"location line 2", Shown::Notice, kEnglish, IDC_JOB_LOCATION_LINE2, L"R&D, floor 2", Drawn::AsWritten},
        {"location line 3", Shown::Notice, kEnglish, IDC_JOB_LOCATION_LINE3, L"Keep & print", Drawn::AsWritten},
        {"mirrored location line 1", Shown::Notice, kArabic, IDC_JOB_LOCATION_LINE1, L"Trays & bins",
         Drawn::AsWritten},
        {"long location line 1", Shown::Notice, kEnglish, IDC_JOB_LOCATION_LINE1, kLongPath,
         Drawn::ShortenedInMiddle},
        {"long location line 2", Shown::Notice, kEnglish, IDC_JOB_LOCATION_LINE2, kLongPath,
         Drawn::ShortenedInMiddle},
        {"long location line 3 with an ampersand", Shown::Notice, kEnglish, IDC_JOB_LOCATION_LINE3,
         L"\\\\printserver\\R&D jobs\\Finance\\2026\\December\\Q&A session notes.prn", Drawn::ShortenedInMiddle},
        {"mirrored long location line 2", Shown::Notice, kArabic, IDC_JOB_LOCATION_LINE2, kLongPath,
         Drawn::ShortenedInMiddle},
    };
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UserLanguageOverride language(DocEventDlgModule(), row.language);
        std::optional<WarningCall> warning;
        std::optional<NoticeCall> notice;
        const DialogDriver* driver = nullptr;
        if (row.dialog == Shown::Warning) {
            driver = &warning.emplace(WarningRequest().Message(row.text));
        } else {
            NoticeRequest request;
            request.Location(row.control - IDC_JOB_LOCATION_LINE1 + 1, row.text);
            driver = &notice.emplace(request);
        }
        ASSERT_NE(driver->dialog(), nullptr);
        const HWND control = driver->Control(row.control);
        // The whole text, for the program and for a screen reader. (Wine's
        // proxy drops the first "&" of every name, SS_NOPREFIX or not.)
        EXPECT_EQ(driver->Text(row.control), row.text);
        if (std::wstring(row.text).find(L'&') == std::wstring::npos) {
            EXPECT_EQ(ReadAccessible(control).name, row.text);
        }

        const UINT layout = StaticTextFormat(GetWindowLongPtrW(control, GWL_STYLE));
        const UINT before = layout;  // as the template drew it: mnemonics, wrapped and cut
        const UINT expected = row.drawn == Drawn::AsWritten
                                  ? layout | DT_NOPREFIX
                                  : (layout & ~static_cast<UINT>(DT_WORDBREAK)) | DT_NOPREFIX | DT_SINGLELINE |
                                        DT_PATH_ELLIPSIS;
        const DrawnComparison seen = CompareDrawing(control, row.text, expected, before, DrawnMatch::WholeControl);
        std::printf("    %s: %.2f from the expected drawing, %.2f from the template's (%.2f apart)\n", row.name,
                    seen.toExpected, seen.toOther, seen.apart);
        EXPECT_GT(seen.apart, kOtherDrawing) << "the row must tell the drawings apart";
        EXPECT_LT(seen.toExpected, kSameDrawing);
        EXPECT_GT(seen.toOther, kOtherDrawing);
    }
    CoUninitialize();
}

}  // namespace
