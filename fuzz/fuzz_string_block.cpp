// Drives the string-block walk and copy with arbitrary blocks. Input layout:
// byte 0: the entry index (values 16 and up must never be found);
// bytes 1-2: the buffer capacity in units, little-endian, low 10 bits
// (0 to 1023: past every cut that matters, small enough to stay fast);
// the rest: the block, as little-endian 16-bit units (an odd last byte is
// dropped). The block and the buffer get allocations of their exact sizes,
// so any read or write past them is caught by AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "stringblock.h"

namespace {

constexpr uint16_t kSentinel = 0xBEEF;

[[noreturn]] void Fail() { std::abort(); }

// The offset of each of the first 16 entries' counts, found by a plain walk
// that stops at the first entry that does not fit; -1 past that.
void EntryOffsets(const std::vector<uint16_t>& block, long offsets[kStringsPerBlock])
{
    size_t position = 0;
    bool fits = true;
    for (unsigned entry = 0; entry < kStringsPerBlock; ++entry) {
        fits = fits && position < block.size() && block[position] <= block.size() - position - 1;
        offsets[entry] = fits ? static_cast<long>(position) : -1;
        if (fits) {
            position += 1u + block[position];
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) {
        return 0;
    }
    const unsigned index = data[0];
    const size_t capacity = static_cast<size_t>(data[1]) | (static_cast<size_t>(data[2]) & 0x3u) << 8;
    std::vector<uint16_t> block((size - 3) / 2);
    if (!block.empty()) {
        std::memcpy(block.data(), data + 3, block.size() * sizeof(uint16_t));
    }

    const StringEntry entry = FindStringEntry(block.empty() ? nullptr : block.data(), block.size(), index);

    long offsets[kStringsPerBlock];
    EntryOffsets(block, offsets);
    const bool expectFound = index < kStringsPerBlock && offsets[index] >= 0 && block[offsets[index]] != 0;
    if (expectFound != (entry.length != 0)) {
        Fail();
    }
    if (entry.length != 0) {
        if (entry.textOffset != static_cast<size_t>(offsets[index]) + 1 || entry.length != block[offsets[index]] ||
            entry.textOffset + entry.length > block.size()) {
            Fail();
        }
    }

    // The copy: the stored length comes back even when cut, the text is the
    // entry's up to its first NUL and capacity - 1 units, then one NUL.
    std::vector<char16_t> buffer(capacity, kSentinel);
    const uint32_t result = CopyStringEntry(block.data(), entry, buffer.data(), capacity);
    if (entry.length == 0 || capacity == 0) {
        if (result != 0) {
            Fail();
        }
        for (const char16_t unit : buffer) {
            if (unit != kSentinel) {
                Fail();
            }
        }
        return 0;
    }
    if (result != entry.length) {
        Fail();
    }
    const size_t limit = entry.length < capacity - 1 ? entry.length : capacity - 1;
    size_t copied = 0;
    while (copied < limit && block[entry.textOffset + copied] != 0) {
        if (buffer[copied] != block[entry.textOffset + copied]) {
            Fail();
        }
        ++copied;
    }
    if (buffer[copied] != 0) {
        Fail();
    }
    for (size_t i = copied + 1; i < capacity; ++i) {
        if (buffer[i] != kSentinel) {
            Fail();
        }
    }
    return 0;
}
