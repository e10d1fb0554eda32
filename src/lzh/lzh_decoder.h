#pragma once

#include <array>
#include <cstdint>

#include "lzh/bit_reader.h"
#include "lzh/huffman_table.h"
#include "lzh/lzh_header.h"
#include "platform/file.h"

namespace veskari {

/// Why the last member failed to decode.
/// dataUsedUp: decoding ran far past the end of the compressed data.
enum class DecodeFailure { none, directory, tooLarge, storedDataShort, corruptTables, dataUsedUp, crcMismatch };

/// Decodes LZH members: stored (lh0) and the static-Huffman LZSS methods
/// lh4 to lh7, which share one decoder and differ only in the size of the
/// position alphabet. All working storage is fixed arrays inside the
/// object: 89,160 bytes on 64-bit targets (measured, and checked where the
/// decoder is defined), 64 KiB of them the ring. Nothing is allocated while
/// a member is decoded.
/// One decoder serves every member of a file in turn. The ring is not
/// cleared between members: a sound member's matches reach back only into
/// its own output, so what earlier members left there is read only by
/// damaged data, and such reads stay within the ring.
class LzhDecoder {
public:
    static constexpr std::uint32_t kRingSize = 65536;
    static constexpr std::uint32_t kRingMask = kRingSize - 1;
    /// Symbols 256 to 509 are match lengths 3 to 256.
    static constexpr int kMatchOffset = 253;
    static constexpr std::uint32_t kLongestMatch = 256;
    /// Members that announce more than this are refused without decoding:
    /// far above any real firmware module, and a bound on what a hostile
    /// header can make the tool write to the disk.
    static constexpr std::uint32_t kMaxDecodedSize = 256U << 20;
    /// How far decoding may run on the zero bits that follow a member's
    /// compressed data before the member fails: a margin no real stream
    /// reaches, checked once per chunk.
    static constexpr std::uint64_t kMaxBytesPastData = 65536;

    LzhDecoder();

    /// Decodes the member that `header` describes from `input`, which stands
    /// at the member's data, appending its bytes to `output` in chunks of up
    /// to 65536 bytes. True only when the whole member was decoded and its
    /// CRC-16 matched. A directory entry, a member above kMaxDecodedSize,
    /// stored data that ends early, corrupt Huffman data and decoding that
    /// runs kMaxBytesPastData beyond the compressed data fail. Short of
    /// that, compressed data that ends early is read on as zero bits.
    /// Throws AnalysisStopped, between chunks, when this thread's stop
    /// request has been raised.
    [[nodiscard]] bool DecodeMember(File& output, File& input, const LzhHeader& header);

    /// The cause when the last DecodeMember failed.
    [[nodiscard]] DecodeFailure LastFailure() const noexcept { return lastFailure; }

private:
    [[nodiscard]] bool DecodeChunk(File& input, std::uint32_t n);
    [[nodiscard]] bool DecodeLiteralLength(File& input, BitReader& bits, std::uint32_t& symbol);
    [[nodiscard]] bool DecodePosition(File& input, BitReader& bits, std::uint32_t& position);
    [[nodiscard]] bool StartBlock(File& input);
    /// Decodes whole symbols from ring position r on in a fast loop while
    /// the file's buffer and the chunk have room for any symbol; returns
    /// where it stopped (r when it could not start).
    [[nodiscard]] std::uint32_t DecodeBurst(File& input, BitReader& bits, std::uint32_t r, std::uint32_t n);
    /// DecodeBurst for lh4 and lh5 (kSlack: a match may be copied in whole
    /// steps past its end) or for lh6 and lh7.
    template <bool kSlack>
    [[nodiscard]] std::uint32_t DecodeBurstWith(File& input, BitReader& bits, std::uint32_t r, std::uint32_t n);
    /// One round of the fast loop: a literal/length symbol with its
    /// position, or up to four literals. kCounted: the caller has made sure
    /// that the block, the input and the chunk have room for the round;
    /// otherwise the round tests them itself and takes two literals at
    /// most. kSlack: see DecodeBurstWith; used in counted rounds only, which
    /// leave kLongestMatch bytes of room. False, with nothing of the symbol
    /// consumed, when the careful steps must take it.
    template <bool kCounted, bool kSlack>
    [[nodiscard]] bool BurstRound(BitReader::Burst& burst, std::uint32_t& r, std::uint32_t n, std::uint32_t& left);
    /// Copies a whole match of `count` bytes from `distance` bytes back
    /// (1 to 65536) to ring positions r onward, which the chunk has room
    /// for; returns the position after it.
    [[nodiscard]] std::uint32_t CopyWholeMatch(std::uint32_t r, std::uint32_t distance, std::uint32_t count);
    /// CopyWholeMatch that may write up to 15 bytes past the match where
    /// source and target lie 8 or more bytes apart in one piece of the ring.
    [[nodiscard]] std::uint32_t CopyMatchWithSlack(std::uint32_t r, std::uint32_t distance, std::uint32_t count);
    /// Copies what is owed of the current match to ring positions r onward,
    /// short of n; returns the position after the last byte copied.
    [[nodiscard]] std::uint32_t CopyMatch(std::uint32_t r, std::uint32_t n);
    [[nodiscard]] bool RanFarPastData(const LzhHeader& header) const;

    DecodeFailure lastFailure = DecodeFailure::none;
    std::uint32_t crc = 0;
    BitReader reader;
    /// Cleared before the first compressed member only: a decoder that
    /// meets stored members alone (or none) never pays for it.
    std::array<std::uint8_t, kRingSize> ring;
    HuffmanTables tables;
    std::uint32_t blockSize = 0;
    int np = 0;
    int pbit = 0;
    std::int32_t copyCount = 0;
    std::uint32_t copyPos = 0;
    bool ringCleared = false;
};

}  // namespace veskari
