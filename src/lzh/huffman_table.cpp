#include "lzh/huffman_table.h"

#include <algorithm>
#include <cstring>

namespace veskari {
namespace {

constexpr int kLiteralCountBits = 9;

// The count that opens a length set and, when it is 0, the one symbol that
// the code then consists of; false when either lies outside the alphabet.
bool ReadCount(BitReader& reader, File& input, int countBits, int symbolCount, int& count, std::uint32_t& single)
{
    count = static_cast<int>(reader.GetBits(input, countBits));
    if (count == 0) {
        single = reader.GetBits(input, countBits);
        return single < static_cast<std::uint32_t>(symbolCount);
    }
    return count <= symbolCount;
}

// Writes `entry` into `count` entries from `to` on, 16 bytes at a time
// where they reach 16 bytes; `count` is a power of two, so whole steps
// end exactly at the last entry. Most codes of a table fill a few entries,
// which a general fill spends more on setting up than on storing.
template <typename Entry>
inline void FillEntries(Entry* to, std::uint32_t count, Entry entry)
{
    constexpr std::uint32_t kPerStep = 16 / sizeof(Entry);
    if (count < kPerStep) {
        for (std::uint32_t i = 0; i < count; ++i) {
            to[i] = entry;
        }
        return;
    }
    Entry step[kPerStep];
    std::fill(step, step + kPerStep, entry);
    for (std::uint32_t i = 0; i < count; i += kPerStep) {
        std::memcpy(to + i, step, sizeof step);
    }
}

}  // namespace

bool HuffmanTables::MakeTable(int symbolCount, const std::uint8_t* lengths, int tableBits, std::uint16_t* table)
{
    return BuildTable(symbolCount, lengths, tableBits, table);
}

// Builds a table of symbols (16-bit entries) or of symbols with their code
// lengths (32-bit entries, the literal/length table's).
template <typename Entry>
bool HuffmanTables::BuildTable(int symbolCount, const std::uint8_t* lengths, int tableBits, Entry* table)
{
    if (symbolCount > kLiteralLengthSymbols) {
        return false;
    }
    std::uint32_t count[kMaxCodeLength + 1] = {};
    std::uint16_t coded[kLiteralLengthSymbols];
    int codedCount = 0;
    for (int s = 0; s < symbolCount; ++s) {
        if (lengths[s] > kMaxCodeLength) {
            return false;
        }
        ++count[lengths[s]];
        coded[codedCount] = static_cast<std::uint16_t>(s);
        codedCount += lengths[s] != 0 ? 1 : 0;
    }
    return FillTable(symbolCount, lengths, count, coded, codedCount, tableBits, table);
}

// Fills the table from the lengths' counts (count[l]: how many symbols
// have length l) and the symbols of nonzero length in increasing order.
template <typename Entry>
bool HuffmanTables::FillTable(int symbolCount, const std::uint8_t* lengths, const std::uint32_t* count,
                              const std::uint16_t* coded, int codedCount, int tableBits, Entry* table)
{
    constexpr bool kWithLengths = sizeof(Entry) == sizeof(std::uint32_t);
    std::uint32_t weight[kMaxCodeLength + 1] = {};
    std::uint32_t start[kMaxCodeLength + 2] = {};

    // A complete prefix code sums to exactly 2^16; an all-zero set sums to
    // 0. Anything else (incomplete or over-full) is refused before anything
    // is written, so the table can never be filled past its end.
    std::uint32_t total = 0;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        start[length] = total;
        total += count[length] << (kMaxCodeLength - length);
    }
    start[kMaxCodeLength + 1] = total;
    if (total != 0 && total != (1U << kMaxCodeLength)) {
        return false;
    }
    if (total == 0) {
        return true;  // no symbol: the table keeps what it held
    }

    const int j = kMaxCodeLength - tableBits;
    for (int length = 1; length <= tableBits; ++length) {
        start[length] >>= j;
        weight[length] = 1U << (tableBits - length);
    }
    for (int length = tableBits + 1; length <= kMaxCodeLength; ++length) {
        weight[length] = 1U << (kMaxCodeLength - length);
    }

    const std::uint32_t tableSize = 1U << tableBits;
    const std::uint32_t firstTreeEntry = (start[tableBits + 1] & 0xFFFFU) >> j;
    if (firstTreeEntry != 0) {
        std::fill(table + firstTreeEntry, table + tableSize, Entry{0});
    }

    std::uint32_t avail = static_cast<std::uint32_t>(symbolCount);
    const std::uint32_t mask = 1U << (15 - tableBits);
    // A new tree node, both branches unassigned; false when the arrays are
    // full (a complete code never needs more nodes than they hold; the
    // check guards the arrays regardless).
    const auto newNode = [&](std::uint32_t& node) {
        if (avail >= static_cast<std::uint32_t>(kTreeNodes)) {
            return false;
        }
        left[avail] = 0;
        right[avail] = 0;
        node = avail++;
        return true;
    };
    for (int c = 0; c < codedCount; ++c) {
        const int s = coded[c];
        const int length = lengths[s];
        std::uint32_t k = start[length];
        const std::uint32_t next = k + weight[length];
        if (length <= tableBits) {
            Entry entry = static_cast<Entry>(s);
            if constexpr (kWithLengths) {
                entry |= static_cast<Entry>(length) << kLengthShift;
            }
            FillEntries(table + k, next - k, entry);
        } else {
            // The table entry holds the tree's root, the tree the rest.
            Entry& root = table[(k & 0xFFFFU) >> j];
            std::uint32_t node = root & 0xFFFFU;
            if (root == 0) {
                if (!newNode(node)) {
                    return false;
                }
                root = static_cast<Entry>(node);
                if constexpr (kWithLengths) {
                    root |= kLongCode;
                }
            }
            std::uint16_t* slot = (k & mask) != 0 ? &right[node] : &left[node];
            k = (k << 1) & 0xFFFFU;
            for (int step = length - tableBits - 1; step > 0; --step) {
                if (*slot == 0) {
                    if (!newNode(node)) {
                        return false;
                    }
                    *slot = static_cast<std::uint16_t>(node);
                }
                node = *slot;
                slot = (k & mask) != 0 ? &right[node] : &left[node];
                k = (k << 1) & 0xFFFFU;
            }
            *slot = static_cast<std::uint16_t>(s);
        }
        start[length] = next;
    }
    return true;
}

bool HuffmanTables::ReadPtLengths(BitReader& reader, File& input, int symbolCount, int countBits, int specialIndex)
{
    // The reader is a local while the lengths are read, so that it stays in
    // registers: a length stored into the arrays may alias the caller's.
    BitReader local = reader;
    const bool ok = ReadPtLengthsWith(local, input, symbolCount, countBits, specialIndex);
    reader = local;
    return ok;
}

inline bool HuffmanTables::ReadPtLengthsWith(BitReader& reader, File& input, int symbolCount, int countBits,
                                             int specialIndex)
{
    int n = 0;
    std::uint32_t single = 0;
    if (!ReadCount(reader, input, countBits, symbolCount, n, single)) {
        return false;
    }
    if (n == 0) {
        std::fill(ptLen.begin(), ptLen.begin() + symbolCount, std::uint8_t{0});
        ptTable.fill(static_cast<std::uint16_t>(single));
        ptSymbolCount = static_cast<std::uint32_t>(symbolCount);
        ptTableUsable = true;
        return true;
    }
    int i = 0;
    while (i < n) {
        std::uint32_t c = reader.bitBuf >> 29;
        if (c == 7) {
            // Lengths of 7 and more: 111, then one 1 bit per extra unit, then 0.
            std::uint32_t bit = 1U << 28;
            while (bit != 0 && (reader.bitBuf & bit) != 0) {
                ++c;
                bit >>= 1;
            }
            if (c > static_cast<std::uint32_t>(kMaxCodeLength)) {
                return false;
            }
        }
        reader.Fill(input, c < 7 ? 3 : static_cast<int>(c) - 3);
        ptLen[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(c);
        if (i == specialIndex) {
            const auto zeros = static_cast<int>(reader.GetBits(input, 2));
            if (i + zeros > symbolCount) {
                return false;
            }
            std::fill(ptLen.begin() + i, ptLen.begin() + i + zeros, std::uint8_t{0});
            i += zeros;
        }
    }
    if (i < symbolCount) {
        std::fill(ptLen.begin() + i, ptLen.begin() + symbolCount, std::uint8_t{0});
    }
    if (!MakeTable(symbolCount, ptLen.data(), kPtTableBits, ptTable.data())) {
        return false;
    }
    ptSymbolCount = static_cast<std::uint32_t>(symbolCount);
    ptTableUsable = std::any_of(ptLen.begin(), ptLen.begin() + symbolCount, [](std::uint8_t l) { return l != 0; });
    return true;
}

bool HuffmanTables::ReadCLengths(BitReader& reader, File& input)
{
    BitReader local = reader;
    const bool ok = ReadCLengthsWith(local, input);
    reader = local;
    return ok;
}

inline bool HuffmanTables::ReadCLengthsWith(BitReader& reader, File& input)
{
    int n = 0;
    std::uint32_t single = 0;
    if (!ReadCount(reader, input, kLiteralCountBits, kLiteralLengthSymbols, n, single)) {
        return false;
    }
    if (n == 0) {
        cLen.fill(0);
        cTable.fill(single);  // the one symbol, consuming no bits
        cTableUsable = true;
        return true;
    }
    // The lengths are counted, and the symbols that have one listed, as
    // they are read, so that the table is built from them alone.
    std::uint32_t count[kMaxCodeLength + 1] = {};
    std::uint16_t coded[kLiteralLengthSymbols];
    int codedCount = 0;
    int i = 0;
    while (i < n) {
        std::uint32_t c = 0;
        int length = 0;
        if (!PeekPtSymbol(reader, c, length)) {
            return false;
        }
        reader.Fill(input, length);
        if (c <= 2) {
            int zeros = 1;
            if (c == 1) {
                zeros = static_cast<int>(reader.GetBits(input, 4)) + 3;
            } else if (c == 2) {
                zeros = static_cast<int>(reader.GetBits(input, kLiteralCountBits)) + 20;
            }
            if (i + zeros > kLiteralLengthSymbols) {
                return false;
            }
            std::fill(cLen.begin() + i, cLen.begin() + i + zeros, std::uint8_t{0});
            i += zeros;
        } else {
            // The code-length code has 19 symbols: lengths up to 16.
            ++count[c - 2];
            coded[codedCount++] = static_cast<std::uint16_t>(i);
            cLen[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(c - 2);
        }
    }
    std::fill(cLen.begin() + i, cLen.end(), std::uint8_t{0});
    if (!FillTable(kLiteralLengthSymbols, cLen.data(), count, coded, codedCount, kCTableBits, cTable.data())) {
        return false;
    }
    cTableUsable = codedCount != 0;
    return true;
}

void HuffmanTables::PreparePositions()
{
    // Symbol j of 2 or more stands for 2^(j-1) to 2^j - 1: its j - 1 extra
    // bits follow the code. A code of length l fills a run of 2^(8-l)
    // entries of ptTable, which starts at the code shifted to the table's
    // width; each run's entry is made once. The entries of a table that
    // names no symbol are never used (BothUsable is false), but are made
    // within the array all the same.
    const std::uint32_t count = std::min<std::uint32_t>(ptSymbolCount, kMaxPositionSymbols);
    const auto size = static_cast<std::uint32_t>(ptTable.size());
    for (std::uint32_t i = 0; i < size;) {
        const std::uint32_t symbol = ptTable[i];
        const std::uint32_t length = symbol < count ? ptLen[symbol] : kMaxCodeLength;
        if (length > static_cast<std::uint32_t>(kPtTableBits)) {
            ptFast[i++] = kLongPosition;
            continue;
        }
        const std::uint32_t extra = symbol >= 2 ? symbol - 1 : 0;
        const std::uint32_t smallest = symbol >= 2 ? 1U << extra : symbol;
        const std::uint32_t code = i >> (kPtTableBits - length);
        const std::uint64_t entry = (static_cast<std::uint64_t>(length + extra) << kPositionBitsShift) |
                                    static_cast<std::uint32_t>(smallest + 1 - (code << extra));
        const std::uint32_t run = std::min(1U << (kPtTableBits - length), size - i);
        std::fill(ptFast.begin() + i, ptFast.begin() + i + run, entry);
        i += run;
    }
}

}  // namespace veskari
