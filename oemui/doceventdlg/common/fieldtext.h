// Text fields of the request records end at their first NUL, which must lie
// inside the field. The library's own copy of a record is terminated at each
// field's last unit, so a field without a NUL is cut there and no text ever
// runs into the next field or past the record.
#pragma once

#include <cstddef>
#include <cwchar>

template <size_t Width>
void TerminateField(wchar_t (&field)[Width])
{
    static_assert(Width > 0, "a text field has room for its NUL");
    field[Width - 1] = L'\0';
}

// The units before the field's NUL.
template <size_t Width>
size_t FieldLength(const wchar_t (&field)[Width])
{
    size_t length = 0;
    while (length < Width && field[length] != L'\0') {
        ++length;
    }
    return length;
}
