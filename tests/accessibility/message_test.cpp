// Long warnings whole: the dialog grows by what its message needs (never
// less than the fixed growth of a long message), at most to the work area of
// its monitor, beyond which the message scrolls.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "dll_monitor.h"
#include "export_drivers.h"
#include "keyboard.h"
#include "requests.h"
#include "test_paths.h"

namespace {

constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kArabic = 0x0401;

int Height(const RECT& rect) { return rect.bottom - rect.top; }

// Words of up to six letters and a blank, units in all.
std::wstring Words(size_t units)
{
    std::wstring text;
    for (size_t i = 0; i < units; ++i) {
        text.push_back(i % 7 == 6 ? L' ' : static_cast<wchar_t>(L'a' + i % 26));
    }
    return text;
}

// count short lines, each ended by breaks.
std::wstring Lines(size_t count, const wchar_t* lineBreak)
{
    std::wstring text;
    for (size_t i = 0; i < count; ++i) {
        text += (i == 0 ? L"" : lineBreak) + std::wstring(L"Line ") + std::to_wstring(i + 1);
    }
    return text;
}

// The height the message's text takes in a control of the message's width,
// with the message's font, laid out as a static control lays out its text.
int NeededHeight(HWND control, const std::wstring& text)
{
    RECT client{};
    GetClientRect(control, &client);
    const HDC dc = GetDC(control);
    const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, client.right, 0};
    DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return Height(needed);
}

RECT WorkArea(HWND window)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

bool IsEdit(HWND control)
{
    wchar_t name[64] = L"";
    GetClassNameW(control, name, 64);
    const std::wstring text = name;
    return text.size() >= 4 && _wcsicmp(text.c_str() + text.size() - 4, L"Edit") == 0;
}

enum class Grows { Not, Fixed, AsNeeded, ToTheWorkArea };

TEST(LongMessage, TheDialogGrowsByWhatTheMessageNeeds)
{
    const struct {
        const char* name;
        LANGID language;
        std::wstring message;
        Grows grows;
    } rows[] = {
        {"one line", kEnglish, L"The printer needs attention.", Grows::Not},
        {"150 units of words", kEnglish, Words(150), Grows::Not},
        {"five short lines, 107 units", kEnglish,
         L"Tray 1 is empty.\nTray 2 is empty.\nLoad paper now.\nThen press OK.\nOr press Cancel to stop.",
         Grows::AsNeeded},
        {"151 units of words", kEnglish, Words(151), Grows::Fixed},
        {"600 units of words", kEnglish, Words(600), Grows::Fixed},
        {"1023 units of words", kEnglish, Words(1023), Grows::AsNeeded},
        {"mirrored, 1023 units of words", kArabic, Words(1023), Grows::AsNeeded},
        {"30 lines", kEnglish, Lines(30, L"\r\n"), Grows::AsNeeded},
        {"100 lines", kEnglish, Lines(100, L"\n"), Grows::ToTheWorkArea},
        {"mirrored, 100 lines", kArabic, Lines(100, L"\r\n"), Grows::ToTheWorkArea},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        UserLanguageOverride language(DocEventDlgModule(), row.language);
        WarningCall base(WarningRequest().Message(L"Short."));
        ASSERT_NE(base.dialog(), nullptr);
        RECT baseFrame{};
        GetWindowRect(base.dialog(), &baseFrame);
        const RECT baseMessage = base.Rect(IDC_WARNING_MESSAGE);
        const RECT baseBox = base.Rect(IDC_WARNING_DONT_SHOW);
        base.Post(WM_CLOSE);
        ASSERT_EQ(base.Result(), IDCANCEL);

        WarningCall warning(WarningRequest().Message(row.message));
        const HWND dialog = warning.dialog();
        ASSERT_NE(dialog, nullptr);
        const HWND message = warning.Control(IDC_WARNING_MESSAGE);
        RECT frame{};
        GetWindowRect(dialog, &frame);
        const RECT work = WorkArea(dialog);
        const int growth = Height(frame) - Height(baseFrame);
        const HDC screen = GetDC(nullptr);
        const int fixed = MulDiv(100, GetDeviceCaps(screen, LOGPIXELSY), 96);
        ReleaseDC(nullptr, screen);
        const int needed = NeededHeight(message, row.message) - Height(baseMessage);
        std::printf("    %s: grew %d px (fixed growth %d, the text needs %d more)\n", row.name, growth, fixed, needed);

        // The message fills the place the dialog grew by; the check box and
        // the buttons stay below it (a dialog that did not grow keeps the
        // template's places).
        const RECT grownMessage = warning.Rect(IDC_WARNING_MESSAGE);
        EXPECT_EQ(Height(grownMessage), Height(baseMessage) + growth);
        if (growth > 0) {
            EXPECT_EQ(warning.Rect(IDC_WARNING_DONT_SHOW).top, grownMessage.bottom);
            for (int button : {IDOK, IDCANCEL, IDC_WARNING_THIRD_BUTTON}) {
                EXPECT_EQ(warning.Rect(button).top, grownMessage.bottom + Height(baseBox)) << "button " << button;
            }
        } else {
            EXPECT_EQ(warning.Rect(IDC_WARNING_DONT_SHOW).top, baseBox.top);
        }
        EXPECT_GE(frame.top, work.top);
        EXPECT_LE(frame.bottom, work.bottom);
        switch (row.grows) {
        case Grows::Not:
            EXPECT_EQ(growth, 0);
            EXPECT_LE(needed, 0);
            break;
        case Grows::Fixed:
            EXPECT_EQ(growth, fixed);
            EXPECT_LE(needed, fixed);
            break;
        case Grows::AsNeeded:
            EXPECT_GT(growth, 0);
            EXPECT_EQ(growth, needed);
            break;
        case Grows::ToTheWorkArea:
            EXPECT_EQ(Height(frame), Height(work));
            EXPECT_GT(needed, growth);
            break;
        }
        ASSERT_LT(row.message.size(), 1024u) << "the whole message fits the record";
        if (row.grows != Grows::ToTheWorkArea) {
            EXPECT_FALSE(IsEdit(message)) << "the template's static, as before";
            EXPECT_EQ(warning.Text(IDC_WARNING_MESSAGE), row.message);
        } else {
            // Scrolls: read-only, shown from its first line, reached by Tab,
            // and every line can be brought into view from the keyboard.
            ASSERT_TRUE(IsEdit(message));
            const LONG_PTR style = GetWindowLongPtrW(message, GWL_STYLE);
            EXPECT_NE(style & ES_READONLY, 0);
            EXPECT_NE(style & WS_VSCROLL, 0);
            EXPECT_EQ(SendMessageW(message, EM_GETLINECOUNT, 0, 0), 100) << "one line per line of the message";
            EXPECT_EQ(SendMessageW(message, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
            EXPECT_EQ(FocusedControl(dialog), IDOK) << "the first button keeps the focus";
            for (int tab = 0; tab < 4 && FocusedControl(dialog) != IDC_WARNING_MESSAGE; ++tab) {
                ASSERT_TRUE(PressTab(dialog, false));
            }
            ASSERT_EQ(FocusedControl(dialog), IDC_WARNING_MESSAGE) << "Tab reaches the message";
            // Tabbing in selects the whole message, which brings its last
            // line into view; Page Up and Page Down scroll.
            RECT client{};
            GetClientRect(message, &client);
            const LRESULT last = SendMessageW(message, EM_POSFROMCHAR,
                                              static_cast<WPARAM>(GetWindowTextLengthW(message) - 1), 0);
            EXPECT_GE(static_cast<short>(HIWORD(last)), 0);
            EXPECT_LT(static_cast<short>(HIWORD(last)), client.bottom) << "the last line in view";
            const LRESULT atEnd = SendMessageW(message, EM_GETFIRSTVISIBLELINE, 0, 0);
            ASSERT_TRUE(PressAndWait(dialog, VK_PRIOR));
            const LRESULT pageUp = SendMessageW(message, EM_GETFIRSTVISIBLELINE, 0, 0);
            EXPECT_LT(pageUp, atEnd) << "Page Up";
            ASSERT_TRUE(PressAndWait(dialog, VK_NEXT));
            EXPECT_GT(SendMessageW(message, EM_GETFIRSTVISIBLELINE, 0, 0), pageUp) << "Page Down";
            // The whole message, with the line breaks an edit control takes.
            const auto lineFeeds = [](std::wstring text) {
                for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at)) {
                    text.erase(at, 1);
                }
                return text;
            };
            EXPECT_EQ(lineFeeds(warning.Text(IDC_WARNING_MESSAGE)), lineFeeds(row.message));
        }
        warning.Post(WM_COMMAND, IDOK);
        EXPECT_EQ(warning.Result(), IDOK);
    }
}

}  // namespace
