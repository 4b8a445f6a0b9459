// Every dialog by keyboard: Tab and Shift+Tab in the order a reader meets the
// controls, the first shown button the default one with the focus as the
// dialog comes up, F1 where a Help button is shown.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dll_monitor.h"
#include "export_drivers.h"
#include "keyboard.h"
#include "requests.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kArabic = 0x0401;

enum class Shown { Warning, Notice, Informational, Waiting };

// One dialog of any kind, driven through its export.
struct AnyDialog {
    std::optional<WarningCall> warning;
    std::optional<NoticeCall> notice;
    std::optional<InstructionsCall> instructions;
    const DialogDriver* driver = nullptr;

    AnyDialog(Shown kind, const WarningRequest& warningRequest)
    {
        switch (kind) {
        case Shown::Warning:
            driver = &warning.emplace(warningRequest);
            break;
        case Shown::Notice:
            driver = &notice.emplace(NoticeRequest());
            break;
        case Shown::Informational:
            driver = &instructions.emplace(InstructionsRequest());
            break;
        case Shown::Waiting:
            driver = &instructions.emplace(InstructionsRequest().Waiting());
            break;
        }
    }
    HWND dialog() const { return driver->dialog(); }
    // Whether the dialog ended (and, for the warning, with what).
    bool Ended(intptr_t* result)
    {
        if (warning) {
            *result = warning->Result(10000);
            return *result != kStillOpen;
        }
        return notice ? notice->WaitEnded(10000) : instructions->WaitEnded(10000);
    }
};

std::string Ids(const std::vector<int>& ids)
{
    std::string text;
    for (int id : ids) {
        text += (text.empty() ? "" : " ") + std::to_string(id);
    }
    return text;
}

constexpr int kOk = IDOK;
constexpr int kCancel = IDCANCEL;
constexpr int kThird = IDC_WARNING_THIRD_BUTTON;
constexpr int kBox = IDC_WARNING_DONT_SHOW;

TEST(Keyboard, TabFollowsTheScreenAndEnterPressesTheFirstShownButton)
{
    const struct {
        const char* name;
        Shown dialog;
        LANGID language;
        WarningRequest warning;
        std::vector<int> tabs;  // from the control with the focus as the dialog comes up
        intptr_t enter;         // the warning's result after Enter
    } rows[] = {
        {"warning", Shown::Warning, kEnglish, WarningRequest(), {kOk, kCancel, kThird, kBox}, IDOK},
        {"mirrored warning", Shown::Warning, kArabic, WarningRequest(), {kOk, kCancel, kThird, kBox}, IDOK},
        {"warning without OK", Shown::Warning, kEnglish, WarningRequest().Ok(0), {kCancel, kThird, kBox}, IDCANCEL},
        {"mirrored warning without OK", Shown::Warning, kArabic, WarningRequest().Ok(0), {kCancel, kThird, kBox},
         IDCANCEL},
        {"warning with the third button only", Shown::Warning, kEnglish, WarningRequest().Ok(0).Cancel(0),
         {kThird, kBox}, kThird},
        {"warning with the third button only, no box", Shown::Warning, kEnglish,
         WarningRequest().Ok(0).Cancel(0).CheckBox(0), {kThird}, kThird},
        {"warning without the box", Shown::Warning, kEnglish, WarningRequest().CheckBox(0), {kOk, kCancel, kThird},
         IDOK},
        {"warning with a long message", Shown::Warning, kEnglish,
         WarningRequest().Message(std::wstring(600, L'm')).Ok(0), {kCancel, kThird, kBox}, IDCANCEL},
        {"warning with a message that scrolls", Shown::Warning, kEnglish,
         WarningRequest().Message(std::wstring(500, L'\n')), {kOk, kCancel, kThird, IDC_WARNING_MESSAGE, kBox}, IDOK},
        {"notice", Shown::Notice, kEnglish, WarningRequest(),
         {IDOK, IDC_JOB_HELP, IDC_JOB_USER_NAME, IDC_JOB_JOB_NAME, IDC_JOB_DONT_SHOW}, 0},
        {"mirrored notice", Shown::Notice, kArabic, WarningRequest(),
         {IDOK, IDC_JOB_HELP, IDC_JOB_USER_NAME, IDC_JOB_JOB_NAME, IDC_JOB_DONT_SHOW}, 0},
        {"informational instructions", Shown::Informational, kEnglish, WarningRequest(), {IDOK, IDC_DUPLEX_HELP}, 0},
        {"waiting instructions", Shown::Waiting, kEnglish, WarningRequest(), {IDOK, IDC_DUPLEX_HELP}, 0},
        {"mirrored waiting instructions", Shown::Waiting, kArabic, WarningRequest(), {IDOK, IDC_DUPLEX_HELP}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UserLanguageOverride language(DocEventDlgModule(), row.language);
        AnyDialog shown(row.dialog, row.warning);
        const HWND dialog = shown.dialog();
        ASSERT_NE(dialog, nullptr);
        const LRESULT defaultId = SendMessageW(dialog, DM_GETDEFID, 0, 0);
        EXPECT_EQ(HIWORD(defaultId), DC_HASDEFID);
        EXPECT_EQ(static_cast<int>(LOWORD(defaultId)), row.tabs.front()) << "default push button";

        std::vector<int> forward{FocusedControl(dialog)};
        for (size_t i = 0; i < row.tabs.size(); ++i) {
            ASSERT_TRUE(PressTab(dialog, false));
            forward.push_back(FocusedControl(dialog));
        }
        std::vector<int> backward{FocusedControl(dialog)};
        for (size_t i = 0; i < row.tabs.size(); ++i) {
            ASSERT_TRUE(PressTab(dialog, true));
            backward.push_back(FocusedControl(dialog));
        }
        std::vector<int> cycle = row.tabs;
        cycle.push_back(row.tabs.front());
        EXPECT_EQ(Ids(forward), Ids(cycle)) << "Tab";
        const std::vector<int> reversed(cycle.rbegin(), cycle.rend());
        EXPECT_EQ(Ids(backward), Ids(reversed)) << "Shift+Tab";

        // Enter presses the button with the focus: the first shown one again.
        ASSERT_EQ(FocusedControl(dialog), row.tabs.front());
        ASSERT_TRUE(PressAndWait(dialog, VK_RETURN));
        intptr_t result = 0;
        EXPECT_TRUE(shown.Ended(&result)) << "Enter";
        if (row.dialog == Shown::Warning) {
            EXPECT_EQ(result, row.enter);
        }
    }
}

TEST(Keyboard, F1DoesWhatTheHelpButtonDoes)
{
    const struct {
        const char* name;
        Shown dialog;
        LANGID language;
        int helpButton;  // 0: none, and F1 does nothing
        DWORD topic;
    } rows[] = {
        {"notice", Shown::Notice, kEnglish, IDC_JOB_HELP, IDH_JOB_STORAGE},
        {"mirrored notice", Shown::Notice, kArabic, IDC_JOB_HELP, IDH_JOB_STORAGE},
        {"informational instructions", Shown::Informational, kEnglish, IDC_DUPLEX_HELP, IDH_DUPLEX_INFORMATIONAL},
        {"waiting instructions", Shown::Waiting, kEnglish, IDC_DUPLEX_HELP, IDH_DUPLEX_WAITING},
        {"mirrored waiting instructions", Shown::Waiting, kArabic, IDC_DUPLEX_HELP, IDH_DUPLEX_WAITING},
        {"warning: no Help button", Shown::Warning, kEnglish, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UserLanguageOverride language(DocEventDlgModule(), row.language);
        DllMonitor monitor(DocEventDlgModule());
        ASSERT_TRUE(monitor.complete());
        AnyDialog shown(row.dialog, WarningRequest());
        const HWND dialog = shown.dialog();
        ASSERT_NE(dialog, nullptr);
        if (row.helpButton == 0) {
            // F1, then Escape, which ends the warning: F1 was handled first.
            ASSERT_TRUE(TypeKey(dialog, VK_F1));
            ASSERT_TRUE(TypeKey(dialog, VK_ESCAPE));
            intptr_t result = 0;
            EXPECT_TRUE(shown.Ended(&result));
            EXPECT_EQ(result, IDCANCEL) << "Escape is the warning's Cancel";
            EXPECT_TRUE(monitor.HelpCalls().empty());
            continue;
        }
        // F1 wherever the focus is: on the first button, then on Help.
        size_t presses = 0;
        for (int control : {IDOK, row.helpButton}) {
            SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, control)), TRUE);
            ASSERT_TRUE(TypeKey(dialog, VK_F1));
            ++presses;
            EXPECT_TRUE(WaitFor([&] { return monitor.HelpCalls().size() >= presses; })) << "F1 on " << control;
        }
        for (const HelpCall& call : monitor.HelpCalls()) {
            EXPECT_EQ(call.window, GetDlgItem(dialog, row.helpButton));
            EXPECT_EQ(call.ids, (std::array<DWORD, 4>{static_cast<DWORD>(row.helpButton), row.topic, 0, 0}));
        }
        // Escape changes nothing here: the Tab typed after it moves the focus
        // in a dialog that is still open.
        ASSERT_TRUE(TypeKey(dialog, VK_ESCAPE));
        ASSERT_TRUE(TypeKey(dialog, VK_TAB));
        EXPECT_TRUE(WaitFor([&] { return FocusedControl(dialog) != row.helpButton; })) << "Tab after Escape";
        EXPECT_TRUE(shown.driver->StillOpenAfterPosting()) << "F1 and Escape end nothing";
        EXPECT_EQ(monitor.HelpCalls().size(), presses);
    }
}

}  // namespace
