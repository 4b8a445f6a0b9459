// The platform-free string-block code, natively under AddressSanitizer and
// UndefinedBehaviorSanitizer: block addressing, the count-skipping walk and
// the bounded copy. Blocks are built in exact-size vectors, so a read past a
// block's end is reported.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "stringblock.h"

namespace {

using Units = std::vector<uint16_t>;

void Append(Units& block, const std::u16string& text)
{
    block.push_back(static_cast<uint16_t>(text.size()));
    block.insert(block.end(), text.begin(), text.end());
}

// Sixteen entries: "e<i>" for indices divisible by 3 or equal to 15, others empty.
Units SixteenEntries()
{
    Units block;
    for (unsigned i = 0; i < kStringsPerBlock; ++i) {
        if (i % 3 == 0 || i == 15) {
            Append(block, u"e" + std::u16string(1, static_cast<char16_t>(u'a' + i)));
        } else {
            block.push_back(0);
        }
    }
    return block;
}

TEST(StringBlockAddress, BlockNumberAndIndexWrapAt16Bits)
{
    struct Case {
        const char* name;
        uint32_t id;
        uint16_t block;
        uint16_t index;
    };
    const Case cases[] = {
        {"first ID", 0, 1, 0},
        {"end of block 1", 15, 1, 15},
        {"start of block 2", 16, 2, 0},
        {"last 16-bit ID", 65535, 4096, 15},
        {"first ID above 16 bits", 65536, 4097, 0},
        {"last ID of block 65535", 0xFFFEF, 65535, 15},
        {"first ID that wraps to block 0", 0xFFFF0, 0, 0},
        {"last ID of block 0", 0xFFFFF, 0, 15},
        {"wraps round to block 1", 0x100000, 1, 0},
        {"largest ID", 0xFFFFFFFF, 0, 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StringBlockAddress address = StringBlockAddressOf(c.id);
        EXPECT_EQ(address.blockNumber, c.block);
        EXPECT_EQ(address.index, c.index);
    }
}

TEST(StringBlockWalk, SkipsEntriesByTheirCounts)
{
    const Units block = SixteenEntries();
    size_t expectedOffset = 0;
    for (unsigned i = 0; i < kStringsPerBlock; ++i) {
        SCOPED_TRACE(i);
        const StringEntry entry = FindStringEntry(block.data(), block.size(), i);
        if (block[expectedOffset] == 0) {
            EXPECT_EQ(entry.length, 0u) << "empty entry found";
            expectedOffset += 1;
        } else {
            EXPECT_EQ(entry.length, 2u);
            EXPECT_EQ(entry.textOffset, expectedOffset + 1);
            EXPECT_EQ(block[entry.textOffset + 1], u'a' + i);
            expectedOffset += 3;
        }
    }
    EXPECT_EQ(expectedOffset, block.size());
}

TEST(StringBlockWalk, MalformedOrOddBlocks)
{
    const Units sixteen = SixteenEntries();
    Units longer = sixteen;
    Append(longer, u"seventeenth");
    struct Case {
        const char* name;
        Units block;
        size_t units;  // the size passed to the walk
        unsigned index;
        uint16_t length;
        size_t textOffset;
    };
    const Case cases[] = {
        {"no block at all", {}, 0, 0, 0, 0},
        {"short block: whole entry before the end", {1, u'a', 0, 2, u'b', u'c'}, 6, 2, 2, 4},
        {"short block: entry past the end", {1, u'a', 0, 2, u'b', u'c'}, 6, 3, 0, 0},
        {"short block: last index", {1, u'a', 0, 2, u'b', u'c'}, 6, 15, 0, 0},
        {"count runs past the end", {0, 0, 100, u'x', u'y'}, 5, 2, 0, 0},
        {"entry after an overrunning count", {0, 0, 100, u'x', u'y'}, 5, 3, 0, 0},
        {"count exactly to the end", {0, 2, u'x', u'y'}, 4, 1, 2, 2},
        {"count one past the end", {0, 3, u'x', u'y'}, 4, 1, 0, 0},
        {"size cut inside the text", {0, 2, u'x', u'y'}, 3, 1, 0, 0},
        {"largest count on a tiny block", {0xFFFF, u'x'}, 2, 0, 0, 0},
        {"index 16 never found", longer, longer.size(), 16, 0, 0},
        {"index beyond 16", longer, longer.size(), 200, 0, 0},
        {"data after the 16th entry is ignored", longer, longer.size(), 15, 2, sixteen.size() - 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StringEntry entry = FindStringEntry(c.block.empty() ? nullptr : c.block.data(), c.units, c.index);
        EXPECT_EQ(entry.length, c.length);
        if (c.length != 0) {
            EXPECT_EQ(entry.textOffset, c.textOffset);
        }
    }
}

TEST(StringBlockCopy, CutsAtCapacityOrNulAndKeepsTheStoredLength)
{
    Units block;
    std::u16string longText;
    for (int i = 0; i < 300; ++i) {
        longText += static_cast<char16_t>(u'0' + i % 10);
    }
    Append(block, longText);
    Append(block, std::u16string(u"ab\0cd", 5));
    Append(block, std::u16string(u"\0xyz", 4));
    Append(block, u"tail");
    struct Case {
        const char* name;
        unsigned index;
        size_t capacity;
        uint32_t result;
        std::u16string text;
    };
    const Case cases[] = {
        {"300 units into 256", 0, 256, 300, longText.substr(0, 255)},
        {"300 units into 301", 0, 301, 300, longText},
        {"300 units into 300", 0, 300, 300, longText.substr(0, 299)},
        {"capacity 1", 0, 1, 300, u""},
        {"capacity 0 writes nothing", 0, 0, 0, u""},
        {"NUL in the middle", 1, 256, 5, u"ab"},
        {"NUL first", 2, 256, 4, u""},
        {"whole short text", 3, 256, 4, u"tail"},
        {"short text into its own length", 3, 4, 4, u"tai"},
        {"short text into its length + 1", 3, 5, 4, u"tail"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StringEntry entry = FindStringEntry(block.data(), block.size(), c.index);
        ASSERT_NE(entry.length, 0u);
        std::vector<char16_t> buffer(c.capacity + 8, u'#');
        EXPECT_EQ(CopyStringEntry(block.data(), entry, buffer.data(), c.capacity), c.result);
        if (c.capacity == 0) {
            EXPECT_EQ(buffer, std::vector<char16_t>(8, u'#'));
            continue;
        }
        EXPECT_EQ(std::u16string(buffer.data()), c.text);
        for (size_t i = c.text.size() + 1; i < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], u'#') << "unit " << i << " written";
        }
    }
}

TEST(StringBlockCopy, NotFoundLeavesTheBufferAlone)
{
    const Units block = SixteenEntries();
    char16_t buffer[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(CopyStringEntry(block.data(), FindStringEntry(block.data(), block.size(), 1), buffer, 4), 0u);
    EXPECT_EQ(CopyStringEntry(block.data(), StringEntry{0, 0}, buffer, 4), 0u);
    EXPECT_EQ(std::u16string(buffer, 4), u"####");
}

TEST(BoundedText, CopiesUpToNulSourceLengthOrCapacity)
{
    struct Case {
        const char* name;
        std::u16string source;
        size_t sourceUnits;
        size_t capacity;
        size_t copied;
    };
    const std::u16string u255(255, u'f');
    const std::u16string u256(256, u'g');
    const Case cases[] = {
        {"255-unit text into 256: whole", u255, 256, 256, 255},
        {"256-unit text into 256: cut", u256, 256, 256, 255},
        {"source length shorter than the text", u"abcdef", 3, 256, 3},
        {"NUL before the source length", std::u16string(u"ab\0cd", 5), 5, 256, 2},
        {"empty", u"", 256, 256, 0},
        {"capacity 1", u"abc", 3, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char16_t> dest(c.capacity + 4, u'#');
        EXPECT_EQ(CopyBoundedText(dest.data(), c.capacity, c.source.c_str(), c.sourceUnits), c.copied);
        EXPECT_EQ(std::u16string(dest.data(), c.copied), c.source.substr(0, c.copied));
        EXPECT_EQ(dest[c.copied], u'\0');
        for (size_t i = c.copied + 1; i < dest.size(); ++i) {
            ASSERT_EQ(dest[i], u'#') << "unit " << i << " written";
        }
    }
    char16_t untouched = u'#';
    EXPECT_EQ(CopyBoundedText(&untouched, 0, u"abc", 3), 0u);
    EXPECT_EQ(untouched, u'#');
}

}  // namespace
