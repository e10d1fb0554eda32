#pragma once

#include <array>
#include <cstdint>

#include "lzh/bit_reader.h"
#include "platform/cfile.h"

namespace veskari {

/// The Huffman codes of one block of lh4 to lh7 data. A block brings three
/// sets of code lengths: the code-length code (19 symbols, which codes the
/// literal/length lengths), the literal/length code (510 symbols) and the
/// position code (14 or 17 symbols). Each set is built into a lookup table
/// indexed by the next bits of the stream; codes longer than the table
/// continue in a tree, one bit per node. The code-length and the position
/// code share `ptLen` and `ptTable` in turn, as the block's order allows.
/// After a read that failed, the code it was reading is not to be used
/// until a later read succeeds. All storage is fixed arrays; nothing is
/// allocated.
class HuffmanTables {
public:
    static constexpr int kLiteralLengthSymbols = 510;  // 256 literals, lengths 3 to 256
    static constexpr int kCodeLengthSymbols = 19;
    static constexpr int kMaxPositionSymbols = 17;
    static constexpr int kCTableBits = 12;
    static constexpr int kPtTableBits = 8;
    static constexpr int kMaxCodeLength = 16;
    /// Tree node numbers start at the alphabet's size, so the three trees
    /// never meet in the shared arrays; the literal/length tree needs most.
    static constexpr int kTreeNodes = 2 * kLiteralLengthSymbols - 1;
    /// ReadPtLengths: no 2-bit zero run inside the set.
    static constexpr int kNoSpecialIndex = -1;

    HuffmanTables() { cTableLength.fill(kNoShortCode); }

    /// Reads `symbolCount` code lengths of the code-length or the position
    /// code (a `countBits`-wide count, then 3-bit lengths with a unary
    /// extension; after entry `specialIndex` a 2-bit run of zeros) into
    /// ptLen and builds ptTable. A count of 0 announces a single symbol that
    /// every lookup yields without consuming bits. False on a set that does
    /// not fit the alphabet or is no complete code.
    [[nodiscard]] bool ReadPtLengths(BitReader& reader, CFile& input, int symbolCount, int countBits,
                                     int specialIndex);

    /// Reads the 510 literal/length code lengths, coded with the code-length
    /// code that ReadPtLengths read last, into cLen and builds cTable.
    [[nodiscard]] bool ReadCLengths(BitReader& reader, CFile& input);

    /// Builds a lookup table of 2^tableBits entries for these lengths (0 to
    /// 16), with a tree for the longer codes. A set that is all zeros is
    /// accepted and writes nothing; any other set that is not exactly a
    /// complete prefix code is refused before anything is written.
    [[nodiscard]] bool MakeTable(int symbolCount, const std::uint8_t* lengths, int tableBits,
                                 std::uint16_t* table);

    /// The literal/length symbol at the front of the reader's bits, its bits
    /// consumed. False when the code names no symbol there.
    [[nodiscard]] bool ReadCSymbol(BitReader& reader, CFile& input, std::uint32_t& symbol)
    {
        // Most codes are found with their length in one step: the table of
        // lengths is read side by side with cTable.
        const std::uint32_t index = reader.bitBuf >> (32 - kCTableBits);
        const std::uint32_t length = cTableLength[index];
        if (length != kNoShortCode) [[likely]] {
            symbol = cTable[index];
            reader.Fill(input, static_cast<int>(length));
            return true;
        }
        if (!PeekSymbol(reader, cTable.data(), kCTableBits, kLiteralLengthSymbols, cTableUsable, symbol)) {
            return false;
        }
        reader.Fill(input, cLen[symbol]);
        return true;
    }

    /// The symbol of the code that ReadPtLengths read last at the front of
    /// the reader's bits, and its code length; nothing is consumed. False
    /// when the code names no symbol there.
    [[nodiscard]] bool PeekPtSymbol(const BitReader& reader, std::uint32_t& symbol, int& length) const
    {
        if (!PeekSymbol(reader, ptTable.data(), kPtTableBits, ptSymbolCount, ptTableUsable, symbol)) {
            return false;
        }
        length = ptLen[symbol];
        return true;
    }

private:
    /// cTableLength of an entry that holds no symbol of 12 bits or fewer: a
    /// tree root, or any entry of a table that names no symbol.
    static constexpr std::uint8_t kNoShortCode = 0xFF;

    [[nodiscard]] bool PeekSymbol(const BitReader& reader, const std::uint16_t* table, int tableBits,
                                  std::uint32_t symbolCount, bool usable, std::uint32_t& symbol) const
    {
        if (!usable) {
            return false;
        }
        const std::uint32_t s = table[reader.bitBuf >> (32 - tableBits)];
        symbol = s < symbolCount ? s : WalkTree(reader, s, tableBits, symbolCount);
        return symbol < symbolCount;
    }
    /// The symbol that the tree below `node` names for the reader's bits, or
    /// kTreeNodes when the walk leaves the arrays.
    [[nodiscard]] std::uint32_t WalkTree(const BitReader& reader, std::uint32_t node, int tableBits,
                                         std::uint32_t symbolCount) const
    {
        // Codes longer than the table walk the tree one bit at a time. Every
        // branch leads to a higher node number or to a symbol, so the walk ends.
        std::uint32_t bit = 1U << (31 - tableBits);
        std::uint32_t s = node;
        do {
            if (s >= static_cast<std::uint32_t>(kTreeNodes)) {
                return kTreeNodes;
            }
            s = (reader.bitBuf & bit) != 0 ? right[s] : left[s];
            bit >>= 1;
        } while (s >= symbolCount);
        return s;
    }
    void CacheCodeLengths();

    std::array<std::uint16_t, kTreeNodes> left{};
    std::array<std::uint16_t, kTreeNodes> right{};
    std::array<std::uint8_t, kLiteralLengthSymbols> cLen{};
    std::array<std::uint8_t, kCodeLengthSymbols> ptLen{};
    std::array<std::uint16_t, 1U << kCTableBits> cTable{};
    std::array<std::uint16_t, 1U << kPtTableBits> ptTable{};
    /// The code length of each cTable entry's symbol, or kNoShortCode.
    std::array<std::uint8_t, 1U << kCTableBits> cTableLength{};
    std::uint32_t ptSymbolCount = 0;
    // A table built from a length set that is all zeros names no symbol;
    // a lookup in it fails the member instead of using stale entries.
    bool cTableUsable = false;
    bool ptTableUsable = false;
};

}  // namespace veskari
