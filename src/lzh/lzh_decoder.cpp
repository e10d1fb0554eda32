#include "lzh/lzh_decoder.h"

#include <algorithm>
#include <cstring>

#include "lzh/crc16.h"

namespace veskari {
namespace {

constexpr int kLiteralCountBits = 9;
constexpr int kCodeLengthCountBits = 5;
constexpr int kBlockSizeBits = 16;
// After the third code length of the code-length set stands a 2-bit run of zeros.
constexpr int kCodeLengthSpecialIndex = 3;
constexpr int kNoSpecialIndex = -1;

struct MethodParameters {
    int np;    // position alphabet size
    int pbit;  // width of the position-lengths count
};

// lh4 and lh5 address up to 8 KiB back, lh6 and lh7 up to 64 KiB; all are
// decoded over the full 64 KiB ring.
constexpr MethodParameters ParametersOf(std::int32_t method) noexcept
{
    return method <= 5 ? MethodParameters{14, 4} : MethodParameters{17, 5};
}

}  // namespace

LzhDecoder::LzhDecoder() = default;

bool LzhDecoder::MakeTable(int symbolCount, const std::uint8_t* lengths, int tableBits, std::uint16_t* table)
{
    std::uint32_t count[kMaxCodeLength + 1] = {};
    std::uint32_t weight[kMaxCodeLength + 1] = {};
    std::uint32_t start[kMaxCodeLength + 2] = {};

    for (int s = 0; s < symbolCount; ++s) {
        if (lengths[s] > kMaxCodeLength) {
            return false;
        }
        ++count[lengths[s]];
    }
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
        std::fill(table + firstTreeEntry, table + tableSize, std::uint16_t{0});
    }

    std::uint32_t avail = static_cast<std::uint32_t>(symbolCount);
    const std::uint32_t mask = 1U << (15 - tableBits);
    for (int s = 0; s < symbolCount; ++s) {
        const int length = lengths[s];
        if (length == 0) {
            continue;
        }
        std::uint32_t k = start[length];
        const std::uint32_t next = k + weight[length];
        if (length <= tableBits) {
            std::fill(table + k, table + next, static_cast<std::uint16_t>(s));
        } else {
            std::uint16_t* slot = &table[(k & 0xFFFFU) >> j];
            for (int step = length - tableBits; step > 0; --step) {
                if (*slot == 0) {
                    // A complete code never needs more nodes than the
                    // arrays hold; the check guards the arrays regardless.
                    if (avail >= static_cast<std::uint32_t>(kTreeNodes)) {
                        return false;
                    }
                    left[avail] = 0;
                    right[avail] = 0;
                    *slot = static_cast<std::uint16_t>(avail++);
                }
                const std::uint16_t node = *slot;
                slot = (k & mask) != 0 ? &right[node] : &left[node];
                k = (k << 1) & 0xFFFFU;
            }
            *slot = static_cast<std::uint16_t>(s);
        }
        start[length] = next;
    }
    return true;
}

bool LzhDecoder::WalkTree(std::uint32_t node, int tableBits, std::uint32_t symbolCount, std::uint32_t& symbol) const
{
    // Codes longer than the table walk the tree one bit at a time. Every
    // branch leads to a higher node number or to a symbol, so the walk ends.
    std::uint32_t bit = 1U << (31 - tableBits);
    std::uint32_t s = node;
    do {
        if (s >= static_cast<std::uint32_t>(kTreeNodes)) {
            return false;
        }
        s = (reader.bitBuf & bit) != 0 ? right[s] : left[s];
        bit >>= 1;
    } while (s >= symbolCount);
    symbol = s;
    return true;
}

inline bool LzhDecoder::PeekSymbol(const std::uint16_t* table, int tableBits, std::uint32_t symbolCount, bool usable,
                                   std::uint32_t& symbol) const
{
    if (!usable) {
        return false;
    }
    const std::uint32_t s = table[reader.bitBuf >> (32 - tableBits)];
    if (s < symbolCount) {
        symbol = s;
        return true;
    }
    return WalkTree(s, tableBits, symbolCount, symbol);
}

bool LzhDecoder::ReadPtLengths(CFile& input, int symbolCount, int countBits, int specialIndex)
{
    const auto n = static_cast<int>(reader.GetBits(input, countBits));
    if (n > symbolCount) {
        return false;
    }
    if (n == 0) {
        const std::uint32_t c = reader.GetBits(input, countBits);
        if (c >= static_cast<std::uint32_t>(symbolCount)) {
            return false;
        }
        std::fill(ptLen.begin(), ptLen.begin() + symbolCount, std::uint8_t{0});
        ptTable.fill(static_cast<std::uint16_t>(c));
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
    ptTableUsable = std::any_of(ptLen.begin(), ptLen.begin() + symbolCount, [](std::uint8_t l) { return l != 0; });
    return true;
}

bool LzhDecoder::ReadCLengths(CFile& input)
{
    const auto n = static_cast<int>(reader.GetBits(input, kLiteralCountBits));
    if (n > kLiteralLengthSymbols) {
        return false;
    }
    if (n == 0) {
        const std::uint32_t c = reader.GetBits(input, kLiteralCountBits);
        if (c >= static_cast<std::uint32_t>(kLiteralLengthSymbols)) {
            return false;
        }
        cLen.fill(0);
        cTable.fill(static_cast<std::uint16_t>(c));
        cTableUsable = true;
        CacheCodeLengths();
        return true;
    }
    int i = 0;
    while (i < n) {
        std::uint32_t c = 0;
        if (!PeekSymbol(ptTable.data(), kPtTableBits, kCodeLengthSymbols, ptTableUsable, c)) {
            return false;
        }
        reader.Fill(input, ptLen[c]);
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
            cLen[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(c - 2);
        }
    }
    std::fill(cLen.begin() + i, cLen.end(), std::uint8_t{0});
    if (!MakeTable(kLiteralLengthSymbols, cLen.data(), kCTableBits, cTable.data())) {
        return false;
    }
    cTableUsable = std::any_of(cLen.begin(), cLen.end(), [](std::uint8_t l) { return l != 0; });
    CacheCodeLengths();
    return true;
}

bool LzhDecoder::StartBlock(CFile& input)
{
    blockSize = reader.GetBits(input, kBlockSizeBits);
    return ReadPtLengths(input, kCodeLengthSymbols, kCodeLengthCountBits, kCodeLengthSpecialIndex) &&
           ReadCLengths(input) && ReadPtLengths(input, np, pbit, kNoSpecialIndex);
}

inline bool LzhDecoder::DecodeLiteralLength(CFile& input, std::uint32_t& symbol)
{
    if (blockSize == 0 && !StartBlock(input)) {
        return false;
    }
    // A block size of 0 passes below zero: its tables then stay in force
    // for the rest of the member.
    --blockSize;
    // Most codes are found with their length in one step: the two tables
    // are read side by side instead of one after the other.
    const std::uint32_t index = reader.bitBuf >> (32 - kCTableBits);
    const std::uint32_t length = cTableLength[index];
    if (length != kTreeEntry && cTableUsable) {
        symbol = cTable[index];
        reader.Fill(input, static_cast<int>(length));
        return true;
    }
    if (!PeekSymbol(cTable.data(), kCTableBits, kLiteralLengthSymbols, cTableUsable, symbol)) {
        return false;
    }
    reader.Fill(input, cLen[symbol]);
    return true;
}

void LzhDecoder::CacheCodeLengths()
{
    for (std::size_t i = 0; i < cTable.size(); ++i) {
        const std::uint16_t entry = cTable[i];
        cTableLength[i] = entry < kLiteralLengthSymbols ? cLen[entry] : kTreeEntry;
    }
}

inline bool LzhDecoder::DecodePosition(CFile& input, std::uint32_t& position)
{
    std::uint32_t j = 0;
    if (!PeekSymbol(ptTable.data(), kPtTableBits, static_cast<std::uint32_t>(np), ptTableUsable, j)) {
        return false;
    }
    const int codeBits = ptLen[j];
    if (j <= 1) {
        reader.Fill(input, codeBits);
        position = j;
        return true;
    }
    // Symbol j covers 2^(j-1) to 2^j - 1: its j - 1 extra bits follow the
    // code and are consumed with it.
    const int extraBits = static_cast<int>(j) - 1;
    position = (1U << extraBits) + ((reader.bitBuf << codeBits) >> (32 - extraBits));
    reader.Fill(input, codeBits + extraBits);
    return true;
}

void LzhDecoder::CopyMatch(std::uint32_t& r, std::uint32_t n)
{
    // The common case at once: source and destination neither overlap nor
    // wrap around the ring.
    const auto count = static_cast<std::uint32_t>(copyCount);
    if (copyCount > 0 && r + count <= n && copyPos + count <= kRingSize &&
        (copyPos + count <= r || r + count <= copyPos)) {
        std::memcpy(&ring[r], &ring[copyPos], count);
        r += count;
        copyPos = (copyPos + count) & kRingMask;
        copyCount = 0;
        return;
    }
    // Otherwise byte by byte, so that a match overlapping its own output
    // repeats a pattern (distance 1 repeats one byte).
    while (copyCount > 0 && r < n) {
        ring[r++] = ring[copyPos];
        copyPos = (copyPos + 1) & kRingMask;
        --copyCount;
    }
}

bool LzhDecoder::DecodeChunk(CFile& input, std::uint32_t n)
{
    std::uint32_t r = 0;
    CopyMatch(r, n);  // the rest of a match cut by the previous chunk
    while (r < n) {
        std::uint32_t c = 0;
        if (!DecodeLiteralLength(input, c)) {
            return false;
        }
        if (c <= 0xFF) {
            ring[r++] = static_cast<std::uint8_t>(c);
            continue;
        }
        copyCount = static_cast<std::int32_t>(c) - kMatchOffset;
        std::uint32_t p = 0;
        if (!DecodePosition(input, p)) {
            return false;
        }
        copyPos = (r - p - 1) & kRingMask;
        CopyMatch(r, n);
    }
    return true;
}

bool LzhDecoder::DataUsedUp(const LzhHeader& header) const
{
    // An encoder's stream ends with the member's last code. A decoder that
    // has consumed more bits than the member's data holds is decoding the
    // zero bits that stand in for missing data: the member is damaged or
    // cut short, and going on would only write up to its announced size of
    // such bytes before failing on the CRC.
    const std::int32_t size = header.DataSize();
    return size >= 0 && reader.ConsumedBits() > 8U * static_cast<std::uint64_t>(size);
}

bool LzhDecoder::DecodeMember(CFile& output, CFile& input, const LzhHeader& header)
{
    const auto fail = [this](DecodeFailure cause) {
        lastFailure = cause;
        return false;
    };
    lastFailure = DecodeFailure::none;
    const std::int32_t method = header.method;
    if (method == kMethodDirectory) {
        return fail(DecodeFailure::directory);
    }
    if (header.decodedSize > kMaxDecodedSize) {
        return fail(DecodeFailure::tooLarge);
    }
    if (method != kMethodStored) {
        const MethodParameters parameters = ParametersOf(method);
        np = parameters.np;
        pbit = parameters.pbit;
        reader.Begin(input, header.DataSize());
        copyCount = 0;
        blockSize = 0;
    }
    crc = 0;
    std::uint32_t remaining = header.decodedSize;
    while (remaining != 0) {
        const std::uint32_t n = std::min(remaining, kRingSize);
        if (method == kMethodStored) {
            if (input.Read(ring.data(), n) != n) {
                return fail(DecodeFailure::storedDataShort);
            }
        } else if (!DecodeChunk(input, n)) {
            return fail(DecodeFailure::corruptTables);
        } else if (DataUsedUp(header)) {
            return fail(DecodeFailure::dataUsedUp);
        }
        output.Write(ring.data(), n);
        crc = UpdateCrc16Fast(crc, ring.data(), n);
        remaining -= n;
    }
    return crc == header.crc16 || fail(DecodeFailure::crcMismatch);
}

}  // namespace veskari
