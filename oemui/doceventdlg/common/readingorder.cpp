#include "readingorder.h"

#include <cwchar>

namespace {

constexpr wchar_t kLeftToRightMark = 0x200E;
constexpr wchar_t kRightToLeftMark = 0x200F;
constexpr wchar_t kArabicLetterMark = 0x061C;
constexpr wchar_t kFirstIsolateInitiator = 0x2066;  // LRI, RLI, FSI
constexpr wchar_t kLastIsolateInitiator = 0x2068;
constexpr wchar_t kPopDirectionalIsolate = 0x2069;

// The longest text a control of the dialogs gets: the warning's message.
constexpr int kControlTextUnits = 1024;

TextDirection StrongDirection(wchar_t unit)
{
    // The marks are strong characters of their own; they are answered here so
    // that the decision does not rest on how the platform classes them.
    if (unit == kLeftToRightMark) {
        return TextDirection::LeftToRight;
    }
    if (unit == kRightToLeftMark || unit == kArabicLetterMark) {
        return TextDirection::RightToLeft;
    }
    WORD type = 0;
    if (!GetStringTypeW(CT_CTYPE2, &unit, 1, &type)) {
        return TextDirection::Neutral;
    }
    if (type == C2_LEFTTORIGHT) {
        return TextDirection::LeftToRight;
    }
    if (type == C2_RIGHTTOLEFT) {
        return TextDirection::RightToLeft;
    }
    return TextDirection::Neutral;
}

bool IsEditControl(HWND control)
{
    wchar_t className[64] = L"";
    if (GetClassNameW(control, className, 64) == 0) {
        return false;
    }
    // A versioned class name ("6.0...!Edit") ends in the plain one.
    const wchar_t* plainName = std::wcsrchr(className, L'!');
    plainName = plainName != nullptr ? plainName + 1 : className;
    return _wcsicmp(plainName, L"Edit") == 0;
}

bool IsDataControl(int controlId, const int* dataControls, size_t dataControlCount)
{
    for (size_t i = 0; i < dataControlCount; ++i) {
        if (dataControls[i] == controlId) {
            return true;
        }
    }
    return false;
}

void MatchReadingOrderToText(HWND control, bool callersData)
{
    wchar_t text[kControlTextUnits];
    if (GetWindowTextW(control, text, kControlTextUnits) == 0) {
        return;  // frames and pictures keep the template's style
    }
    TextDirection direction = FirstStrongDirection(text);
    if (direction == TextDirection::Neutral) {
        // Numbers and signs alone: the dialog's own ("1.") read as the dialog
        // does, the caller's ("2025(1-99)") as written.
        direction = callersData ? TextDirection::LeftToRight : TextDirection::RightToLeft;
    }
    const bool rightToLeft = direction == TextDirection::RightToLeft;
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_EXSTYLE);
    LONG_PTR wanted = rightToLeft ? (style | WS_EX_RTLREADING) : (style & ~static_cast<LONG_PTR>(WS_EX_RTLREADING));
    const bool edit = IsEditControl(control);
    if (edit) {
        // A mirrored edit control lays its text out item by item from the
        // right on some platforms: a left-to-right text comes out backwards
        // ("2025Budget"), and numbers and brackets inside a right-to-left name
        // land out of place. It stays mirrored only for the dialog's own
        // right-to-left texts, whose punctuation then lands at the left end.
        const bool mirrored = rightToLeft && !callersData;
        wanted = mirrored ? (wanted | WS_EX_LAYOUTRTL) : (wanted & ~static_cast<LONG_PTR>(WS_EX_LAYOUTRTL));
    }
    if (wanted == style) {
        return;
    }
    SetWindowLongPtrW(control, GWL_EXSTYLE, wanted);
    if (edit) {
        // An edit control lays its text out when the text or the font is set:
        // giving it its own font again lays the text out in the new order
        // without the change notifications that setting the text sends.
        SendMessageW(control, WM_SETFONT, static_cast<WPARAM>(SendMessageW(control, WM_GETFONT, 0, 0)), FALSE);
    }
}

}  // namespace

TextDirection FirstStrongDirection(const wchar_t* text)
{
    if (text == nullptr) {
        return TextDirection::Neutral;
    }
    int isolateDepth = 0;
    for (const wchar_t* unit = text; *unit != L'\0'; ++unit) {
        if (*unit >= kFirstIsolateInitiator && *unit <= kLastIsolateInitiator) {
            ++isolateDepth;
            continue;
        }
        if (*unit == kPopDirectionalIsolate) {
            if (isolateDepth > 0) {
                --isolateDepth;
            }
            continue;
        }
        if (isolateDepth > 0) {
            continue;
        }
        const TextDirection direction = StrongDirection(*unit);
        if (direction != TextDirection::Neutral) {
            return direction;
        }
    }
    return TextDirection::Neutral;
}

void MatchReadingOrderToTexts(HWND dialog, const int* dataControls, size_t dataControlCount)
{
    for (HWND control = GetWindow(dialog, GW_CHILD); control != nullptr; control = GetWindow(control, GW_HWNDNEXT)) {
        MatchReadingOrderToText(control, IsDataControl(GetDlgCtrlID(control), dataControls, dataControlCount));
    }
}

void PrepareControlText(HDC dc, HWND control)
{
    if (dc == nullptr || control == nullptr) {
        return;
    }
    if ((GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_RTLREADING) == 0) {
        return;
    }
    // The edit control lays its text out itself (see above) and takes nothing
    // from the context it is given here.
    if (IsEditControl(control)) {
        return;
    }
    SetTextAlign(dc, GetTextAlign(dc) | TA_RTLREADING);
}
