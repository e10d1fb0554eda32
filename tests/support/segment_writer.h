#pragma once

// Builders of compressed segments for the tests: an LZSS encoder of our own
// (4 KiB window that starts as spaces, written from 0xFEE on), the 18-byte
// header, and a reference decoder written from the format's description,
// apart from the production code, so that a fault there fails the tests.

#include <cstdint>

#include "support/bytes.h"

namespace veskari::test {

/// The seven bytes every segment header starts with.
inline const Bytes kSegmentSignature = {'B', 'C', 0xD6, 0xF1, 0x00, 0x00, 0x12};

/// LZSS data of `content`: flag bytes (lowest bit first, 1 for a literal)
/// and matches of 3 to 18 bytes into the window, which may reach the
/// spaces it starts with and overlap what they write.
[[nodiscard]] Bytes LzssEncode(const Bytes& content);

struct SegmentFields {
    std::uint8_t type = 0x09;
    std::uint16_t loadSegment = 0xE000;
    std::uint32_t decodedSize = 0;
    std::uint32_t compressedSize = 0;
};

/// The 18-byte header of these fields.
[[nodiscard]] Bytes MakeSegmentHeader(const SegmentFields& fields);

/// A whole segment of `content`: its header (sizes filled in) and data.
[[nodiscard]] Bytes MakeSegment(const Bytes& content, std::uint8_t type = 0x09, std::uint16_t loadSegment = 0xE000);

/// Decodes LZSS data until it is used up, as the firmware's own decoder
/// does: the bytes it yields, however many that is.
[[nodiscard]] Bytes ReferenceLzssDecode(const Bytes& data);

}  // namespace veskari::test
