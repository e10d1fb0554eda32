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
constexpr MethodParameters ParametersOf(std::int32_t method) noexcept
{
    return method <= 5 ? MethodParameters{14, 4} : MethodParameters{17, 5};
}

}  // namespace

LzhDecoder::LzhDecoder() = default;

// The size that the class's comment gives; on 64-bit targets the fields'
// sizes and alignments fix the layout.
static_assert(sizeof(void*) != 8 || sizeof(LzhDecoder) == 83016);

bool LzhDecoder::StartBlock(CFile& input)
{
    blockSize = reader.GetBits(input, kBlockSizeBits);
    return tables.ReadPtLengths(reader, input, HuffmanTables::kCodeLengthSymbols, kCodeLengthCountBits,
                                kCodeLengthSpecialIndex) &&
           tables.ReadCLengths(reader, input) &&
           tables.ReadPtLengths(reader, input, np, pbit, HuffmanTables::kNoSpecialIndex);
}

inline bool LzhDecoder::DecodeLiteralLength(CFile& input, BitReader& bits, std::uint32_t& symbol)
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

inline bool LzhDecoder::DecodePosition(CFile& input, BitReader& bits, std::uint32_t& position)
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

bool LzhDecoder::DecodeChunk(CFile& input, std::uint32_t n)
{
    // The reader is a local while the chunk is decoded, so that it stays in
    // registers: a byte stored into the ring may alias any member, which
    // would send every step of the member reader through memory.
    BitReader bits = reader;
    bool ok = true;
    std::uint32_t r = CopyMatch(0, n);  // the rest of a match cut by the previous chunk
    while (r < n) {
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
