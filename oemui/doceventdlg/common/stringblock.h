// The string-table block format, read without the platform: sixteen entries,
// each a 16-bit count followed by that many UTF-16 units. This code builds
// into the library and natively, so the code that is fuzzed is the code that
// ships; it therefore takes 16-bit units and never includes <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fieldtext.h"

constexpr unsigned kStringsPerBlock = 16;

struct StringBlockAddress {
    uint16_t blockNumber;  // the resource name; 0 when the ID wraps past 65535 blocks
    uint16_t index;        // the entry within the block, 0 to 15
};

// IDs 0-15 are in block 1, 16-31 in block 2; the block number wraps at 16 bits.
constexpr StringBlockAddress StringBlockAddressOf(uint32_t id)
{
    return StringBlockAddress{static_cast<uint16_t>((id >> 4) + 1u),
                              static_cast<uint16_t>(id & (kStringsPerBlock - 1))};
}

struct StringEntry {
    size_t textOffset;  // units from the start of the block to the entry's text
    uint16_t length;    // the stored count; 0 when the entry is empty or missing
};

// Walks a block of blockUnits units to entry index, skipping entries by their
// counts. An empty entry, a block that ends before the entry, or an entry
// whose count runs past the block's end gives length 0.
StringEntry FindStringEntry(const uint16_t* block, size_t blockUnits, unsigned index);

// Copies the entry's text into buffer (cut to capacity - 1 units, stopping at
// a NUL inside the text) and returns the stored length, also when it was cut.
// Returns 0 and leaves the buffer alone when the entry is empty or missing.
template <class Unit>
uint32_t CopyStringEntry(const uint16_t* block, StringEntry entry, Unit* buffer, size_t capacity)
{
    if (entry.length == 0 || capacity == 0) {
        return 0;
    }
    CopyBoundedText(buffer, capacity, block + entry.textOffset, entry.length);
    return entry.length;
}
