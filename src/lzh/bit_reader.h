#pragma once

#include <cstdint>

#include "platform/cfile.h"

namespace veskari {

/// The bit input of compressed LZH data, most significant bit first.
/// `bitBuf` holds the next 32 bits of the stream; bytes are read one at a
/// time, strictly in order, through the buffered input file. Once the
/// member's compressed size is used up, or the file has ended, zero bits
/// flow: the reader never fails.
class BitReader {
public:
    void Begin(CFile& input, std::int32_t compressedSize)
    {
        bitBuf = 0;
        subBitBuf = 0;
        bitCount = 0;
        bytesLeft = compressedSize;
        Fill(input, 32);
    }

    /// Drops the top n bits of bitBuf (n from 0 to 32) and brings n new
    /// bits in at the bottom.
    void Fill(CFile& input, int n)
    {
        bitBuf = n >= 32 ? 0 : bitBuf << n;
        while (n > bitCount) {
            n -= bitCount;
            // n may be 32 here when bitCount is 0; shift in 64 bits.
            bitBuf |= static_cast<std::uint32_t>(static_cast<std::uint64_t>(subBitBuf) << n);
            subBitBuf = 0;
            if (bytesLeft != 0) {
                const int byte = input.ReadByte();
                if (byte >= 0) {
                    subBitBuf = static_cast<std::uint32_t>(byte);
                }
                if (bytesLeft > 0) {
                    --bytesLeft;
                }
            }
            bitCount = 8;
        }
        bitCount -= n;
        bitBuf |= subBitBuf >> bitCount;
    }

    /// The top n bits (n from 1 to 16) as a number, then consumed.
    [[nodiscard]] std::uint32_t GetBits(CFile& input, int n)
    {
        const std::uint32_t value = bitBuf >> (32 - n);
        Fill(input, n);
        return value;
    }

    std::uint32_t bitBuf = 0;
    std::uint32_t subBitBuf = 0;
    std::int32_t bitCount = 0;
    std::int32_t bytesLeft = 0;
};

}  // namespace veskari
