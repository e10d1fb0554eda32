#include "segment/segment_decoder.h"

#include "platform/stop_request.h"

namespace veskari {

// The size that the documentation of the bounds gives; on 64-bit targets
// the fields' sizes and alignments fix the layout.
static_assert(sizeof(void*) != 8 || sizeof(SegmentDecoder) == 69648);

void SegmentDecoder::Flush(File& output)
{
    output.Write(chunk_.data(), chunkUsed_);
    chunkUsed_ = 0;
    PollStop();
}

bool SegmentDecoder::DecodeSegment(File& output, File& input, const SegmentHeaderFields& header)
{
    lastFailure_ = Failure::none;
    if (header.decodedSize > kMaxDecodedSize) {
        lastFailure_ = Failure::tooLarge;
        return false;
    }
    window_.fill(kWindowFill);
    chunkUsed_ = 0;
    std::uint32_t position = kFirstPosition;
    std::uint32_t left = header.compressedSize;  // compressed bytes not yet read
    std::uint64_t owed = header.decodedSize;     // decoded bytes still to come
    // The next compressed byte, or -1 once the data (or the file) has ended.
    const auto next = [&]() -> int {
        if (left == 0) {
            return -1;
        }
        --left;
        return input.ReadByte();
    };
    const auto put = [&](std::uint8_t byte) {
        window_[position] = byte;
        position = (position + 1) & kWindowMask;
        chunk_[chunkUsed_++] = byte;
        if (chunkUsed_ == chunk_.size()) {
            Flush(output);
        }
    };

    // Bit 8 set marks the flags as used up: eight items per flag byte.
    std::uint32_t flags = 0;
    while (owed != 0) {
        flags >>= 1;
        if ((flags & 0x100) == 0) {
            const int byte = next();
            if (byte < 0) {
                break;
            }
            flags = static_cast<std::uint32_t>(byte) | 0xFF00;
        }
        if ((flags & 1) != 0) {
            const int literal = next();
            if (literal < 0) {
                break;
            }
            put(static_cast<std::uint8_t>(literal));
            --owed;
            continue;
        }
        const int low = next();
        const int high = next();
        if (low < 0 || high < 0) {
            break;
        }
        std::uint32_t from = static_cast<std::uint32_t>(low) | ((static_cast<std::uint32_t>(high) & 0xF0) << 4);
        const std::uint32_t length = (static_cast<std::uint32_t>(high) & 0x0F) + kMinMatch;
        if (length > owed) {
            lastFailure_ = Failure::overrun;
            break;
        }
        for (std::uint32_t i = 0; i < length; ++i) {
            put(window_[from]);
            from = (from + 1) & kWindowMask;
        }
        owed -= length;
    }
    if (owed != 0 && lastFailure_ == Failure::none) {
        lastFailure_ = Failure::dataEndsEarly;
    }
    output.Write(chunk_.data(), chunkUsed_);
    chunkUsed_ = 0;
    return lastFailure_ == Failure::none;
}

}  // namespace veskari
