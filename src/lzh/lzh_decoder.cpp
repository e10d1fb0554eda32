#include "lzh/lzh_decoder.h"

#include <algorithm>
#include <cstring>

#include "lzh/crc16.h"
#include "platform/stop_request.h"

namespace veskari {
namespace {

constexpr int kCodeLengthCountBits = 5;
constexpr int kBlockSizeBits = 16;
// After the third code length of the code-length set stands a 2-bit run of zeros.
constexpr int kCodeLengthSpecialIndex = 3;

struct MethodParameters {
    int np;    // position alphabet size
    int pbit;  // width of the position-lengths count
};

// lh4 and lh5 address up to 8 KiB back, lh6 and lh7 up to 64 KiB; all are
// decoded over the full 64 KiB ring.
constexpr int kNearPositionSymbols = 14;

// An entry of the literal/length table is a literal of the table when its
// symbol is below 256 and it is no long code: both tested at once.
constexpr std::uint32_t kLiteralMask = HuffmanTables::kLongCode | 0xFF00U;

constexpr MethodParameters ParametersOf(std::int32_t method) noexcept
{
    return method <= 5 ? MethodParameters{kNearPositionSymbols, 4} : MethodParameters{17, 5};
}

}  // namespace

LzhDecoder::LzhDecoder() = default;

// The size that the class's comment gives; on 64-bit targets the fields'
// sizes and alignments fix the layout.
static_assert(sizeof(void*) != 8 || sizeof(LzhDecoder) == 89160);

bool LzhDecoder::StartBlock(File& input)
{
    blockSize = reader.GetBits(input, kBlockSizeBits);
    return tables.ReadPtLengths(reader, input, HuffmanTables::kCodeLengthSymbols, kCodeLengthCountBits,
                                kCodeLengthSpecialIndex) &&
           tables.ReadCLengths(reader, input) &&
           tables.ReadPtLengths(reader, input, np, pbit, HuffmanTables::kNoSpecialIndex) &&
           (tables.PreparePositions(), true);
}

inline bool LzhDecoder::DecodeLiteralLength(File& input, BitReader& bits, std::uint32_t& symbol)
{
    if (blockSize == 0) [[unlikely]] {
        // The block header is read through the member, so that the chunk's
        // local reader never has its address taken.
        reader = bits;
        const bool started = StartBlock(input);
        bits = reader;
        if (!started) {
            return false;
        }
    }
    // A block size of 0 passes below zero: its tables then stay in force
    // for the rest of the member.
    --blockSize;
    return tables.ReadCSymbol(bits, input, symbol);
}

inline bool LzhDecoder::DecodePosition(File& input, BitReader& bits, std::uint32_t& position)
{
    std::uint32_t j = 0;
    int codeBits = 0;
    if (!tables.PeekPtSymbol(bits, j, codeBits)) {
        return false;
    }
    if (j <= 1) {
        bits.Fill(input, codeBits);
        position = j;
        return true;
    }
    // Symbol j covers 2^(j-1) to 2^j - 1: its j - 1 extra bits follow the
    // code and are consumed with it.
    const int extraBits = static_cast<int>(j) - 1;
    position = (1U << extraBits) + ((bits.bitBuf << codeBits) >> (32 - extraBits));
    bits.Fill(input, codeBits + extraBits);
    return true;
}

std::uint32_t LzhDecoder::CopyMatch(std::uint32_t r, std::uint32_t n)
{
    // The common case at once: source and destination neither overlap nor
    // wrap around the ring.
    const auto count = static_cast<std::uint32_t>(copyCount);
    if (copyCount > 0 && r + count <= n && copyPos + count <= kRingSize &&
        (copyPos + count <= r || r + count <= copyPos)) {
        std::memcpy(&ring[r], &ring[copyPos], count);
        copyPos = (copyPos + count) & kRingMask;
        copyCount = 0;
        return r + count;
    }
    // Otherwise byte by byte, so that a match overlapping its own output
    // repeats a pattern (distance 1 repeats one byte).
    while (copyCount > 0 && r < n) {
        ring[r++] = ring[copyPos];
        copyPos = (copyPos + 1) & kRingMask;
        --copyCount;
    }
    return r;
}

namespace {

// Moves N bytes through a register: source and target may overlap.
template <std::size_t N>
inline void Move(std::uint8_t* to, const std::uint8_t* from) noexcept
{
    std::uint8_t word[N];
    std::memcpy(word, from, N);
    std::memcpy(to, word, N);
}

// Copies `count` bytes (3 or more) forward, with the result of a copy byte
// by byte, where every source byte lies at least Step bytes before its
// target or the source does not overlap the target at all: each step then
// reads only bytes that are final. The last step ends exactly at the
// match's end (it may rewrite bytes of the step before with the same
// values), so nothing past the match is touched.
template <std::size_t Step>
inline void CopyInSteps(std::uint8_t* to, const std::uint8_t* from, std::uint32_t count) noexcept
{
    if (count >= Step) {
        std::uint32_t i = 0;
        for (; i + Step < count; i += Step) {
            Move<Step>(to + i, from + i);
        }
        Move<Step>(to + count - Step, from + count - Step);
    } else if (count >= 8) {
        Move<8>(to, from);
        Move<8>(to + count - 8, from + count - 8);
    } else if (count >= 4) {
        Move<4>(to, from);
        Move<4>(to + count - 4, from + count - 4);
    } else {
        for (std::uint32_t i = 0; i < count; ++i) {
            to[i] = from[i];
        }
    }
}

}  // namespace

inline std::uint32_t LzhDecoder::CopyWholeMatch(std::uint32_t r, std::uint32_t distance, std::uint32_t count)
{
    const std::uint32_t from = (r - distance) & kRingMask;
    std::uint8_t* const to = &ring[r];
    if (from < r) {
        if (distance >= 16) {
            CopyInSteps<16>(to, &ring[from], count);
            return r + count;
        }
        if (distance >= 8) {
            CopyInSteps<8>(to, &ring[from], count);
            return r + count;
        }
        if (distance == 1) {
            std::memset(to, ring[from], count);
            return r + count;
        }
    } else if (from >= r + count && from + count <= kRingSize) {
        // Bytes of the previous chunk, high in the ring, past the target.
        CopyInSteps<16>(to, &ring[from], count);
        return r + count;
    }
    // Short distances repeat a pattern of 2 to 7 bytes; a source that wraps
    // around the ring or runs into the target comes byte by byte.
    for (std::uint32_t i = 0; i < count; ++i) {
        to[i] = ring[(from + i) & kRingMask];
    }
    return r + count;
}

inline std::uint32_t LzhDecoder::CopyMatchWithSlack(std::uint32_t r, std::uint32_t distance, std::uint32_t count)
{
    if (distance <= r && distance >= 8) {
        // Whole steps from the start: each reads only bytes written before
        // it, and the last may write up to Step - 1 bytes past the match.
        std::uint8_t* const to = &ring[r];
        const std::uint8_t* const from = to - distance;
        std::uint32_t i = 0;
        if (distance >= 16) {
            do {
                Move<16>(to + i, from + i);
                i += 16;
            } while (i < count);
        } else {
            do {
                Move<8>(to + i, from + i);
                i += 8;
            } while (i < count);
        }
        return r + count;
    }
    return CopyWholeMatch(r, distance, count);
}

template <bool kCounted, bool kSlack>
inline bool LzhDecoder::BurstRound(BitReader::Burst& burst, std::uint32_t& r, std::uint32_t n, std::uint32_t& left)
{
    const std::uint32_t* const cTable = tables.LiteralLengthTable();
    BitReader::Refill(burst);
    const std::uint32_t entry = cTable[burst.bits >> (64 - HuffmanTables::kCTableBits)];
    if ((entry & kLiteralMask) == 0) {
        const int codeBits = static_cast<int>(entry >> HuffmanTables::kLengthShift);
        const std::uint32_t symbol = entry & 0xFFU;
        burst.bits <<= codeBits;
        burst.count -= codeBits;
        ring[r++] = static_cast<std::uint8_t>(symbol);
        --left;
        // A literal leaves 44 bits or more, enough for three more literals
        // of the table without a refill; the tested rounds take one more
        // at most.
        constexpr int kMoreLiterals = kCounted ? 3 : 1;
        for (int k = 0; k < kMoreLiterals; ++k) {
            const std::uint32_t next = cTable[burst.bits >> (64 - HuffmanTables::kCTableBits)];
            const bool literal = (next & kLiteralMask) == 0;
            if (!literal || (!kCounted && (left == 0 || r >= n))) {
                break;
            }
            const int nextBits = static_cast<int>(next >> HuffmanTables::kLengthShift);
            burst.bits <<= nextBits;
            burst.count -= nextBits;
            ring[r++] = static_cast<std::uint8_t>(next);
            --left;
        }
        return true;
    }
    if ((entry & HuffmanTables::kLongCode) != 0) {
        return false;
    }
    const int codeBits = static_cast<int>(entry >> HuffmanTables::kLengthShift);
    const std::uint32_t count = (entry & 0xFFFFU) - kMatchOffset;
    if (!kCounted && count > n - r) {
        return false;  // the careful steps cut the match at the chunk's end
    }
    const std::uint64_t after = burst.bits << codeBits;
    const std::uint64_t position = tables.PositionTable()[after >> (64 - HuffmanTables::kPtTableBits)];
    if ((position & HuffmanTables::kLongPosition) != 0) {
        return false;
    }
    // The code and its extra bits read as one number; (x >> 1) >> (63 -
    // bits) takes the top bits of x, none when there are none.
    const auto positionBits = static_cast<int>(position >> HuffmanTables::kPositionBitsShift);
    const auto distance =
        static_cast<std::uint32_t>(position) + static_cast<std::uint32_t>((after >> 1) >> (63 - positionBits));
    const int used = codeBits + positionBits;
    burst.bits <<= used;
    burst.count -= used;
    --left;
    r = kCounted && kSlack ? CopyMatchWithSlack(r, distance, count) : CopyWholeMatch(r, distance, count);
    return true;
}

std::uint32_t LzhDecoder::DecodeBurst(File& input, BitReader& bits, std::uint32_t r, std::uint32_t n)
{
    // lh4 and lh5 reach at most 8 KiB back: bytes just past a match, which
    // held the previous chunk, are never read before the chunk rewrites
    // them, so matches may be copied in whole steps past their end. lh6
    // and lh7 reach the whole ring, up to the byte about to be written.
    return np <= kNearPositionSymbols ? DecodeBurstWith<true>(input, bits, r, n)
                                      : DecodeBurstWith<false>(input, bits, r, n);
}

template <bool kSlack>
std::uint32_t LzhDecoder::DecodeBurstWith(File& input, BitReader& bits, std::uint32_t r, std::uint32_t n)
{
    // The fast loop needs a block under way with usable tables and eight
    // bytes of the member's data in the file's buffer to load at every
    // round.
    BitReader::Burst burst{};
    if (blockSize == 0 || r >= n || !tables.BothUsable() || !bits.BeginBurst(input, burst)) {
        return r;
    }
    std::uint32_t left = blockSize;
    // A round refills to 56 bits or more, which moves the input on by at
    // most 7 bytes, and decodes one literal/length symbol of the table
    // with, for a match, a position code of its table and its extra bits
    // (at most 12 + 8 + 15 bits), or up to four literals; it writes at most
    // kLongestMatch bytes. Longer codes end the burst before anything of
    // them is consumed; the careful path decodes them. Rounds that surely
    // fit the block, the input and the chunk are counted in advance, so
    // that each costs no test of its own; the last few are tested one by
    // one.
    for (;;) {
        if (burst.next > burst.last) {
            break;
        }
        const auto inputRounds = static_cast<std::uint32_t>((burst.last - burst.next) / 7 + 1);
        const std::uint32_t rounds = std::min({left / 4, inputRounds, (n - r) / kLongestMatch});
        if (rounds == 0) {
            while (left != 0 && r < n && burst.next <= burst.last && BurstRound<false, kSlack>(burst, r, n, left)) {
            }
            break;
        }
        std::uint32_t k = rounds;
        while (k != 0 && BurstRound<true, kSlack>(burst, r, n, left)) {
            --k;
        }
        if (k != 0) {
            break;
        }
    }
    blockSize = left;
    bits.EndBurst(input, burst);
    return r;
}

bool LzhDecoder::DecodeChunk(File& input, std::uint32_t n)
{
    // The reader is a local while the chunk is decoded, so that it stays in
    // registers: a byte stored into the ring may alias any member, which
    // would send every step of the member reader through memory.
    BitReader bits = reader;
    bool ok = true;
    std::uint32_t r = CopyMatch(0, n);  // the rest of a match cut by the previous chunk
    while (r < n) {
        // Most symbols go through the fast loop; it stops short of what it
        // cannot take at once, which the careful steps below decode one
        // symbol at a time.
        r = DecodeBurst(input, bits, r, n);
        if (r >= n) {
            break;
        }
        std::uint32_t c = 0;
        if (!DecodeLiteralLength(input, bits, c)) {
            ok = false;
            break;
        }
        if (c <= 0xFF) {
            ring[r++] = static_cast<std::uint8_t>(c);
            continue;
        }
        copyCount = static_cast<std::int32_t>(c) - kMatchOffset;
        std::uint32_t p = 0;
        if (!DecodePosition(input, bits, p)) {
            ok = false;
            break;
        }
        copyPos = (r - p - 1) & kRingMask;
        r = CopyMatch(r, n);
    }
    reader = bits;
    return ok;
}

bool LzhDecoder::RanFarPastData(const LzhHeader& header) const
{
    // Past the member's compressed data the reader supplies zero bits, and
    // the CRC decides: an encoder may leave out the zero bytes that end its
    // stream. No real stream needs more than a few of them; a decoder this
    // far past the data is decoding a member that announces far more than
    // it holds, and going on would only write up to its announced size of
    // such bytes before failing on the CRC.
    const std::int32_t size = header.DataSize();
    return size >= 0 && reader.ConsumedBits() > 8U * (static_cast<std::uint64_t>(size) + kMaxBytesPastData);
}

bool LzhDecoder::DecodeMember(File& output, File& input, const LzhHeader& header)
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
        if (!ringCleared) {
            // Matches of damaged data may read ring bytes that no member
            // wrote: they read zeros, never what the memory held before.
            ring.fill(0);
            ringCleared = true;
        }
        reader.Begin(input, header.DataSize());
        copyCount = 0;
        blockSize = 0;
    }
    crc = 0;
    std::uint32_t remaining = header.decodedSize;
    while (remaining != 0) {
        // A stop request ends even a huge member within one chunk. What
        // carries over between members is set afresh by the next call.
        PollStop();
        const std::uint32_t n = std::min(remaining, kRingSize);
        if (method == kMethodStored) {
            if (input.Read(ring.data(), n) != n) {
                return fail(DecodeFailure::storedDataShort);
            }
        } else if (!DecodeChunk(input, n)) {
            return fail(DecodeFailure::corruptTables);
        } else if (RanFarPastData(header)) {
            return fail(DecodeFailure::dataUsedUp);
        }
        output.Write(ring.data(), n);
        crc = UpdateCrc16Fast(crc, ring.data(), n);
        remaining -= n;
    }
    return crc == header.crc16 || fail(DecodeFailure::crcMismatch);
}

}  // namespace veskari
