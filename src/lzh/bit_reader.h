#pragma once

#include <cstdint>

#include "platform/cfile.h"

namespace veskari {

/// The bit input of compressed LZH data, most significant bit first.
/// `bitBuf` holds the next 32 bits of the stream. Bytes are read one at a
/// time, strictly in order and each once, through the buffered input file,
/// into a 64-bit reservoir behind `bitBuf`, so that most steps cost a shift.
/// Once the member's compressed size is used up (`bytesLeft` reaches 0),
/// or the file has ended, zero bits flow: the reader never fails. A
/// negative compressed size never stops the reading; zeros then flow only
/// once the file has ended.
class BitReader {
public:
    void Begin(CFile& input, std::int32_t compressedSize)
    {
        reservoir_ = 0;
        reservoirBits_ = 0;
        consumedBits_ = 0;
        bytesLeft = compressedSize;
        Refill(input);
        bitBuf = static_cast<std::uint32_t>(reservoir_ >> 32);
    }

    /// Drops the top n bits of bitBuf (n from 0 to 32) and brings n new
    /// bits in at the bottom.
    void Fill(CFile& input, int n)
    {
        reservoir_ = n >= 64 ? 0 : reservoir_ << n;
        reservoirBits_ -= n;
        consumedBits_ += static_cast<std::uint64_t>(n);
        if (reservoirBits_ < 32) {
            Refill(input);
        }
        bitBuf = static_cast<std::uint32_t>(reservoir_ >> 32);
    }

    /// The top n bits (n from 1 to 16) as a number, then consumed.
    [[nodiscard]] std::uint32_t GetBits(CFile& input, int n)
    {
        const std::uint32_t value = bitBuf >> (32 - n);
        Fill(input, n);
        return value;
    }

    /// How many bits have been consumed since Begin.
    [[nodiscard]] std::uint64_t ConsumedBits() const noexcept { return consumedBits_; }

    std::uint32_t bitBuf = 0;
    std::int32_t bytesLeft = 0;

private:
    void Refill(CFile& input)
    {
        // Locals, so that the compiler keeps them in registers while the
        // file's buffer is read.
        std::uint64_t reservoir = reservoir_;
        int bits = reservoirBits_;
        std::int32_t left = bytesLeft;
        // Most of the time the bytes that fit are all in the file's buffer
        // and within the member's data: take them at once.
        const auto fit = static_cast<std::int32_t>((64 - bits) / 8);
        if (left < 0 || left >= fit) {
            if (const std::uint8_t* data = input.TakeBuffered(static_cast<std::size_t>(fit))) {
                for (std::int32_t k = 0; k < fit; ++k) {
                    reservoir |= static_cast<std::uint64_t>(data[k]) << (56 - bits);
                    bits += 8;
                }
                if (left > 0) {
                    left -= fit;
                }
            }
        }
        while (bits <= 56) {
            std::uint64_t byte = 0;
            if (left != 0) {
                const int got = input.ReadByte();
                if (got >= 0) {
                    byte = static_cast<std::uint64_t>(got);
                }
                if (left > 0) {
                    --left;
                }
            }
            reservoir |= byte << (56 - bits);
            bits += 8;
        }
        reservoir_ = reservoir;
        reservoirBits_ = bits;
        bytesLeft = left;
    }

    std::uint64_t reservoir_ = 0;  // the next bits, left-aligned; bitBuf is its top half
    int reservoirBits_ = 0;        // how many of them came from the stream
    std::uint64_t consumedBits_ = 0;
};

}  // namespace veskari
