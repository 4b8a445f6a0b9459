// Bounded text: the request records' text fields end at their first NUL,
// which must lie inside the field. The library's own copy of a record is
// terminated at each field's last unit, so a field without a NUL is cut there
// and no text ever runs into the next field or past the record; texts are
// copied into fixed buffers only as far as they fit. Platform-free, so that
// the string-table walk that uses it builds natively too.
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

// Copies text up to its first NUL, at most sourceUnits units and at most
// capacity - 1 units, then writes a NUL. Returns the units copied (without the
// NUL); writes nothing when capacity is 0.
template <class DestUnit, class SourceUnit>
size_t CopyBoundedText(DestUnit* dest, size_t capacity, const SourceUnit* source, size_t sourceUnits)
{
    if (capacity == 0) {
        return 0;
    }
    const size_t limit = sourceUnits < capacity - 1 ? sourceUnits : capacity - 1;
    size_t copied = 0;
    while (copied < limit && source[copied] != 0) {
        dest[copied] = static_cast<DestUnit>(source[copied]);
        ++copied;
    }
    dest[copied] = 0;
    return copied;
}
