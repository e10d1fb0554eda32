#pragma once

#include <array>
#include <cstdint>

#include "platform/file.h"
#include "segment/segment_header.h"

namespace veskari {

/// Decodes the data of compressed segments: LZSS over a 4 KiB window that
/// starts filled with spaces, written from position 0xFEE on. A flag byte
/// announces eight items, lowest bit first: 1, one literal byte; 0, a
/// match of two bytes, the window position in the first byte and the high
/// four bits of the second, the length less three in its low four bits (3
/// to 18 bytes, copied one at a time, so a match may overlap what it
/// writes). The segment ends when its compressed data is used up.
/// All working storage is fixed arrays inside the object; nothing is
/// allocated while decoding, and a segment costs time linear in what it
/// announces, whatever its data says.
class SegmentDecoder {
public:
    static constexpr std::uint32_t kWindowSize = 4096;
    static constexpr std::uint32_t kWindowMask = kWindowSize - 1;
    static constexpr std::uint32_t kFirstPosition = 0xFEE;
    static constexpr std::uint8_t kWindowFill = ' ';
    static constexpr std::uint32_t kMinMatch = 3;
    static constexpr std::uint32_t kMaxMatch = 18;
    /// Segments that announce more than this are refused without decoding,
    /// as LZH members are: far above any firmware module.
    static constexpr std::uint32_t kMaxDecodedSize = 256U << 20;

    enum class Failure { none, tooLarge, dataEndsEarly, overrun };

    /// Decodes the segment that `header` describes from `input`, which
    /// stands at its data, appending its bytes to `output`. True when its
    /// compressed data decoded to exactly the size it announces; a match
    /// that would run past that size, or data (or the file) that ends
    /// before it, fails the segment. Throws AnalysisStopped, between
    /// chunks, when this thread's stop request has been raised.
    [[nodiscard]] bool DecodeSegment(File& output, File& input, const SegmentHeaderFields& header);

    [[nodiscard]] Failure LastFailure() const noexcept { return lastFailure_; }

private:
    void Flush(File& output);

    Failure lastFailure_ = Failure::none;
    std::array<std::uint8_t, kWindowSize> window_{};
    // Decoded bytes wait here and are written a chunk at a time.
    std::array<std::uint8_t, 64 * 1024> chunk_{};
    std::size_t chunkUsed_ = 0;
};

}  // namespace veskari
