#pragma once

#include <array>
#include <cstdint>

#include "lzh/bit_reader.h"
#include "platform/file.h"

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
/// allocated. The arrays are not cleared when the tables are made: every
/// entry is written by the reads above before a lookup can reach it.
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

    HuffmanTables() = default;

    /// Reads `symbolCount` code lengths of the code-length or the position
    /// code (a `countBits`-wide count, then 3-bit lengths with a unary
    /// extension; after entry `specialIndex` a 2-bit run of zeros) into
    /// ptLen and builds ptTable. A count of 0 announces a single symbol that
    /// every lookup yields without consuming bits. False on a set that does
    /// not fit the alphabet or is no complete code.
    [[nodiscard]] bool ReadPtLengths(BitReader& reader, File& input, int symbolCount, int countBits,
                                     int specialIndex);

    /// Reads the 510 literal/length code lengths, coded with the code-length
    /// code that ReadPtLengths read last, into cLen and builds cTable.
    [[nodiscard]] bool ReadCLengths(BitReader& reader, File& input);

    /// Builds a lookup table of 2^tableBits entries for these lengths (0 to
    /// 16), with a tree for the longer codes. A set that is all zeros is
    /// accepted and writes nothing; any other set that is not exactly a
    /// complete prefix code is refused before anything is written.
    [[nodiscard]] bool MakeTable(int symbolCount, const std::uint8_t* lengths, int tableBits,
                                 std::uint16_t* table);

    /// An entry of the literal/length table: a code of up to kCTableBits
    /// bits holds its symbol in bits 0 to 15 and its length in bits 16 to
    /// 20, so that one lookup gives both; a longer code's entry holds the
    /// root of its tree in bits 0 to 15 and kLongCode.
    static constexpr std::uint32_t kLongCode = 1U << 31;
    static constexpr int kLengthShift = 16;

    /// An entry of the position table for a code of up to kPtTableBits
    /// bits: in bits 32 to 37 how many bits the code and the extra bits
    /// that follow it take together; in bits 0 to 31 what added to those
    /// bits, read as one number, gives the match's distance (its position
    /// + 1): the smallest distance of its symbol less the code shifted
    /// past the extra bits, modulo 2^32. kLongPosition when the code walks
    /// the tree.
    static constexpr std::uint64_t kLongPosition = std::uint64_t{1} << 63;
    static constexpr int kPositionBitsShift = 32;

    /// The literal/length symbol at the front of the reader's bits, its bits
    /// consumed. False when the code names no symbol there.
    [[nodiscard]] bool ReadCSymbol(BitReader& reader, File& input, std::uint32_t& symbol)
    {
        if (!cTableUsable) {
            return false;
        }
        const std::uint32_t entry = cTable[reader.bitBuf >> (32 - kCTableBits)];
        if ((entry & kLongCode) == 0) [[likely]] {
            symbol = entry & 0xFFFFU;
            reader.Fill(input, static_cast<int>(entry >> kLengthShift));
            return true;
        }
        symbol = WalkTree(reader.bitBuf, entry & 0xFFFFU, kCTableBits, kLiteralLengthSymbols);
        if (symbol >= static_cast<std::uint32_t>(kLiteralLengthSymbols)) {
            return false;
        }
        reader.Fill(input, cLen[symbol]);
        return true;
    }

    /// Builds the position table that LiteralLengthTable's companion
    /// PositionTable gives, from the position code that ReadPtLengths read
    /// last; called once the block's position code is read.
    void PreparePositions();

    /// The tables of one-lookup entries for a decoder's inner loop, valid
    /// while BothUsable: every short code is resolved there, and a
    /// kLongCode entry sends the decoder to ReadCSymbol or PeekPtSymbol.
    [[nodiscard]] const std::uint32_t* LiteralLengthTable() const noexcept { return cTable.data(); }
    [[nodiscard]] const std::uint64_t* PositionTable() const noexcept { return ptFast.data(); }
    [[nodiscard]] bool BothUsable() const noexcept { return cTableUsable && ptTableUsable; }

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
    [[nodiscard]] bool PeekSymbol(const BitReader& reader, const std::uint16_t* table, int tableBits,
                                  std::uint32_t symbolCount, bool usable, std::uint32_t& symbol) const
    {
        if (!usable) {
            return false;
        }
        const std::uint32_t s = table[reader.bitBuf >> (32 - tableBits)];
        symbol = s < symbolCount ? s : WalkTree(reader.bitBuf, s, tableBits, symbolCount);
        return symbol < symbolCount;
    }
    /// The symbol that the tree below `node` names for these next bits, or
    /// kTreeNodes when the walk leaves the arrays.
    [[nodiscard]] std::uint32_t WalkTree(std::uint32_t bitBuf, std::uint32_t node, int tableBits,
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
            s = (bitBuf & bit) != 0 ? right[s] : left[s];
            bit >>= 1;
        } while (s >= symbolCount);
        return s;
    }
    [[nodiscard]] bool ReadPtLengthsWith(BitReader& reader, File& input, int symbolCount, int countBits,
                                         int specialIndex);
    [[nodiscard]] bool ReadCLengthsWith(BitReader& reader, File& input);
    template <typename Entry>
    [[nodiscard]] bool BuildTable(int symbolCount, const std::uint8_t* lengths, int tableBits, Entry* table);
    template <typename Entry>
    [[nodiscard]] bool FillTable(int symbolCount, const std::uint8_t* lengths, const std::uint32_t* count,
                                 const std::uint16_t* coded, int codedCount, int tableBits, Entry* table);

    std::array<std::uint16_t, kTreeNodes> left;
    std::array<std::uint16_t, kTreeNodes> right;
    std::array<std::uint8_t, kLiteralLengthSymbols> cLen;
    std::array<std::uint8_t, kCodeLengthSymbols> ptLen;
    std::array<std::uint32_t, 1U << kCTableBits> cTable;
    std::array<std::uint16_t, 1U << kPtTableBits> ptTable;
    std::array<std::uint64_t, 1U << kPtTableBits> ptFast;
    std::uint32_t ptSymbolCount = 0;
    // A table built from a length set that is all zeros names no symbol;
    // a lookup in it fails the member instead of using stale entries.
    bool cTableUsable = false;
    bool ptTableUsable = false;
};

}  // namespace veskari
