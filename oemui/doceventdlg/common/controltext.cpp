#include "controltext.h"

#include <cwchar>

namespace {

bool IsStaticControl(HWND control)
{
    wchar_t className[64] = L"";
    if (GetClassNameW(control, className, 64) == 0) {
        return false;
    }
    // A versioned class name ("6.0...!Static") ends in the plain one.
    const wchar_t* plainName = std::wcsrchr(className, L'!');
    plainName = plainName != nullptr ? plainName + 1 : className;
    return _wcsicmp(plainName, L"Static") == 0;
}

void AddStaticStyle(HWND dialog, const int* controls, size_t count, LONG_PTR added)
{
    for (size_t i = 0; i < count; ++i) {
        const HWND control = GetDlgItem(dialog, controls[i]);
        if (control == nullptr || !IsStaticControl(control)) {
            continue;
        }
        const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
        if ((style & added) != added) {
            // The static control reads its style as it paints.
            SetWindowLongPtrW(control, GWL_STYLE, style | added);
            InvalidateRect(control, nullptr, TRUE);
        }
    }
}

}  // namespace

void ShowTextsAsWritten(HWND dialog, const int* controls, size_t count)
{
    AddStaticStyle(dialog, controls, count, SS_NOPREFIX);
}

void ShortenPathsInTheMiddle(HWND dialog, const int* controls, size_t count)
{
    AddStaticStyle(dialog, controls, count, SS_PATHELLIPSIS);
}
