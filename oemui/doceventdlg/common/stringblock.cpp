#include "stringblock.h"

StringEntry FindStringEntry(const uint16_t* block, size_t blockUnits, unsigned index)
{
    const StringEntry notFound{0, 0};
    if (block == nullptr || index >= kStringsPerBlock) {
        return notFound;
    }
    size_t position = 0;
    for (unsigned entry = 0; entry < kStringsPerBlock; ++entry) {
        if (position >= blockUnits) {
            return notFound;
        }
        const uint16_t length = block[position];
        const size_t textOffset = position + 1;
        if (length > blockUnits - textOffset) {
            return notFound;
        }
        if (entry == index) {
            return StringEntry{textOffset, length};
        }
        position = textOffset + length;
    }
    return notFound;
}
