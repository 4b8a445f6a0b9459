#include "keyboardorder.h"

#include <cwchar>

namespace {

// More than any template of the library holds.
constexpr int kMaxTabStops = 32;

struct TabStop {
    HWND window;
    RECT rect;  // in the dialog's client coordinates (mirrored ones when it is)
};

bool IsButtonControl(HWND control)
{
    wchar_t className[64] = L"";
    if (GetClassNameW(control, className, 64) == 0) {
        return false;
    }
    // A versioned class name ("6.0...!Button") ends in the plain one.
    const wchar_t* plainName = std::wcsrchr(className, L'!');
    plainName = plainName != nullptr ? plainName + 1 : className;
    return _wcsicmp(plainName, L"Button") == 0;
}

bool IsPushButton(HWND control)
{
    const LONG_PTR type = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
    return (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) && IsButtonControl(control);
}

// The tab stops in their z-order, at most capacity of them; 0 when a place
// cannot be read (then the order stays the template's).
int CollectTabStops(HWND dialog, TabStop* stops, int capacity)
{
    int count = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr && count < capacity;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP) == 0) {
            continue;
        }
        TabStop& stop = stops[count++];
        stop.window = child;
        if (!GetWindowRect(child, &stop.rect)) {
            return 0;
        }
        // Two points as one rectangle: mirrored client coordinates with
        // left < right in a mirrored dialog, so "left" is the reading side.
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&stop.rect), 2);
    }
    return count;
}

// a comes before b: a row above, or in the same row, nearer the reading side.
// Two controls share a row when the middle of the lower one lies within the
// height of the other.
bool ReadBefore(const TabStop& a, const TabStop& b)
{
    const TabStop& upper = a.rect.top <= b.rect.top ? a : b;
    const TabStop& lower = a.rect.top <= b.rect.top ? b : a;
    const LONG lowerMiddle = (lower.rect.top + lower.rect.bottom) / 2;
    if (lowerMiddle < upper.rect.bottom) {
        return a.rect.left < b.rect.left;
    }
    return a.rect.top < b.rect.top;
}

}  // namespace

void OrderTabStopsAsRead(HWND dialog)
{
    TabStop stops[kMaxTabStops];
    const int count = CollectTabStops(dialog, stops, kMaxTabStops);
    if (count < 2) {
        return;
    }
    // Where the first tab stop stands: after this window, or at the top.
    const HWND before = GetWindow(stops[0].window, GW_HWNDPREV);

    // A stable insertion sort: controls that read alike keep the template's order.
    TabStop ordered[kMaxTabStops];
    bool moved = false;
    for (int i = 0; i < count; ++i) {
        int place = i;
        while (place > 0 && ReadBefore(stops[i], ordered[place - 1])) {
            ordered[place] = ordered[place - 1];
            --place;
        }
        ordered[place] = stops[i];
        moved = moved || place != i;
    }
    if (!moved) {
        return;
    }
    HWND after = before != nullptr ? before : HWND_TOP;
    for (int i = 0; i < count; ++i) {
        SetWindowPos(ordered[i].window, after, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        after = ordered[i].window;
    }
}

HWND FocusFirstShownButton(HWND dialog)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        if ((style & WS_TABSTOP) == 0 || (style & WS_VISIBLE) == 0 || (style & WS_DISABLED) != 0 ||
            !IsPushButton(child)) {
            continue;
        }
        SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(GetDlgCtrlID(child)), 0);
        // The dialog manager's own way of moving the focus: it also gives the
        // button the default button's look.
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(child), TRUE);
        return child;
    }
    return nullptr;
}
