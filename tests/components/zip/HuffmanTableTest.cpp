// The lookup tables of the inflater: every code length up to 15 bits (through subtables), incomplete and
// oversubscribed code sets.

#include "zip/HuffmanTable.h"

#include <gtest/gtest.h>
#include <numeric>

namespace kalmora::test {
namespace {

using namespace huffman;

// The input bits that carry code (written most significant bit first) at the bottom of the bit buffer.
uint64_t AsInput(uint32_t code, unsigned length) {
    uint64_t bits = 0;
    for (unsigned i = 0; i < length; ++i)
        bits |= uint64_t{(code >> (length - 1 - i)) & 1} << i;
    return bits;
}

std::vector<uint32_t> SymbolValues(size_t count) {
    std::vector<uint32_t> e(count);
    for (uint32_t s = 0; s < count; ++s)
        e[s] = Entry(0, s);
    return e;
}

TEST(HuffmanTable, DecodesEveryLengthUpTo15Bits) {
    // Lengths 1, 2, ..., 15, 15: complete, and the long codes all share the table's prefix of ones.
    std::vector<uint8_t> lengths(16);
    std::iota(lengths.begin(), lengths.end() - 1, 1);
    lengths.back() = 15;
    auto entries = SymbolValues(lengths.size());
    for (unsigned tableBits : {4u, 7u, 10u}) {
        THuffmanTable table;
        ASSERT_TRUE(table.Build(lengths, entries, tableBits));
        // Canonical codes: 0, 10, 110, ..., 111111111111110, 111111111111111.
        for (uint32_t s = 0; s < lengths.size(); ++s) {
            unsigned length = lengths[s];
            uint32_t code = s < 15 ? ((1u << length) - 2) : 0x7FFF;
            // Bits after the code must not matter.
            uint64_t bits = AsInput(code, length) | (uint64_t{0x2A5} << length);
            uint32_t entry = table.Lookup(bits);
            EXPECT_EQ(Value(entry), s) << "table bits " << tableBits;
            EXPECT_EQ(CodeLength(entry), length) << "symbol " << s;
        }
    }
}

TEST(HuffmanTable, IncompleteSetLeavesUnusedCodesInvalid) {
    std::vector<uint8_t> lengths = {0, 1, 0};
    THuffmanTable table;
    ASSERT_TRUE(table.Build(lengths, SymbolValues(3), 7));
    EXPECT_EQ(Value(table.Lookup(0)), 1u);
    EXPECT_TRUE(table.Lookup(1) & Invalid);
    THuffmanTable empty;
    ASSERT_TRUE(empty.Build(std::vector<uint8_t>(30, 0), SymbolValues(30), 8));
    EXPECT_TRUE(empty.Lookup(0) & Invalid);
}

TEST(HuffmanTable, OversubscribedSetIsRefused) {
    THuffmanTable table;
    EXPECT_FALSE(table.Build(std::vector<uint8_t>{1, 1, 1}, SymbolValues(3), 7));
    std::vector<uint8_t> lengths(300, 8); // 300 codes of 8 bits, only 256 exist
    EXPECT_FALSE(table.Build(lengths, SymbolValues(300), 10));
}

} // namespace
} // namespace kalmora::test
