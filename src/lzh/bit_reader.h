#pragma once

#include <cstdint>
#include <cstring>

#include "platform/file.h"

namespace veskari {

/// The bit input of compressed LZH data, most significant bit first.
/// `bitBuf` holds the next 32 bits of the stream. Bytes are read strictly
/// in order and each once, through the buffered input file, into a 64-bit
/// reservoir behind `bitBuf`, so that most steps cost a shift. Once the
/// member's compressed size is used up (`bytesLeft` reaches 0), or the file
/// has ended, zero bits flow: the reader never fails. A negative compressed
/// size never stops the reading; zeros then flow only once the file has
/// ended.
///
/// A decoder's inner loop may take the reservoir into registers for a
/// burst (BeginBurst, EndBurst): it then refills from the file's buffer
/// eight bytes at a time, without a test per byte.
class BitReader {
public:
    void Begin(File& input, std::int32_t compressedSize)
    {
        reservoir_ = 0;
        reservoirBits_ = 0;
        bytesTaken_ = 0;
        bytesLeft = compressedSize;
        Refill(input);
        bitBuf = static_cast<std::uint32_t>(reservoir_ >> 32);
    }

    /// Drops the top n bits of bitBuf (n from 0 to 32) and brings n new
    /// bits in at the bottom.
    void Fill(File& input, int n)
    {
        reservoir_ = n >= 64 ? 0 : reservoir_ << n;
        reservoirBits_ -= n;
        if (reservoirBits_ < 32) {
            Refill(input);
        }
        bitBuf = static_cast<std::uint32_t>(reservoir_ >> 32);
    }

    /// The top n bits (n from 1 to 16) as a number, then consumed.
    [[nodiscard]] std::uint32_t GetBits(File& input, int n)
    {
        const std::uint32_t value = bitBuf >> (32 - n);
        Fill(input, n);
        return value;
    }

    /// How many bits have been consumed since Begin.
    [[nodiscard]] std::uint64_t ConsumedBits() const noexcept
    {
        return 8 * bytesTaken_ - static_cast<std::uint64_t>(reservoirBits_);
    }

    /// The reader's state in a decoder's registers: the next bits,
    /// left-aligned, of which `count` are valid, and the member's bytes in
    /// the file's buffer from `next` on, up to `last` + 8.
    struct Burst {
        std::uint64_t bits;
        int count;
        const std::uint8_t* next;
        const std::uint8_t* last;  // the last position at which eight bytes may be loaded
        const std::uint8_t* first;
    };

    /// Brings the reservoir to 56 or more valid bits straight from the
    /// buffer: one unaligned load, however many bytes it takes. The bits
    /// below `count` then hold the start of the next byte, which the next
    /// refill ORs in again unchanged. Needs burst.next <= burst.last.
    static void Refill(Burst& burst) noexcept
    {
        std::uint64_t word = 0;
        std::memcpy(&word, burst.next, sizeof word);
        burst.bits |= __builtin_bswap64(word) >> burst.count;
        burst.next += (63 - burst.count) >> 3;
        burst.count |= 56;
    }

    /// Starts a burst over what the file's buffer holds of the member's
    /// data; false when that is less than eight bytes.
    [[nodiscard]] bool BeginBurst(File& input, Burst& burst) const noexcept
    {
        const std::span<const std::uint8_t> buffered = input.Buffered();
        std::size_t usable = buffered.size();
        if (bytesLeft >= 0 && static_cast<std::size_t>(bytesLeft) < usable) {
            usable = static_cast<std::size_t>(bytesLeft);
        }
        if (usable < 8) {
            return false;
        }
        burst = Burst{reservoir_, reservoirBits_, buffered.data(), buffered.data() + usable - 8, buffered.data()};
        return true;
    }

    /// Takes the state of a burst back: the bytes it loaded are taken from
    /// the file, and the bits past its valid ones are cleared again.
    void EndBurst(File& input, const Burst& burst)
    {
        const auto taken = static_cast<std::size_t>(burst.next - burst.first);
        (void)input.TakeBuffered(taken);
        bytesTaken_ += taken;
        if (bytesLeft > 0) {
            bytesLeft -= static_cast<std::int32_t>(taken);
        }
        reservoir_ = burst.count == 0 ? 0 : burst.bits & ~(~std::uint64_t{0} >> burst.count);
        reservoirBits_ = burst.count;
        if (reservoirBits_ < 32) {
            Refill(input);
        }
        bitBuf = static_cast<std::uint32_t>(reservoir_ >> 32);
    }

    std::uint32_t bitBuf = 0;
    std::int32_t bytesLeft = 0;

private:
    void Refill(File& input)
    {
        // Locals, so that the compiler keeps them in registers while the
        // file's buffer is read. The reservoir holds at most 63 bits, so
        // that a burst's refill never shifts by 64.
        std::uint64_t reservoir = reservoir_;
        int bits = reservoirBits_;
        std::int32_t left = bytesLeft;
        const int before = bits;
        // Most of the time the bytes that fit are all in the file's buffer
        // and within the member's data: take them at once.
        const auto fit = static_cast<std::int32_t>((63 - bits) / 8);
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
        while (bits <= 55) {
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
        bytesTaken_ += static_cast<std::uint64_t>((bits - before) / 8);
        reservoir_ = reservoir;
        reservoirBits_ = bits;
        bytesLeft = left;
    }

    std::uint64_t reservoir_ = 0;  // the next bits, left-aligned; bitBuf is its top half
    int reservoirBits_ = 0;        // how many of them came from the stream (0 to 63)
    std::uint64_t bytesTaken_ = 0;  // bytes brought into the reservoir, zeros past the data included
};

}  // namespace veskari
