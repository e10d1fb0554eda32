#include "segment/segment_header.h"

#include <algorithm>
#include <span>
#include <cstdio>

#include "records/byte_pair.h"
#include "records/little_endian.h"
#include "records/processor_extensions.h"

namespace veskari {
namespace {

constexpr std::size_t kTypeOffset = 7;
constexpr std::size_t kLoadSegmentOffset = 8;
constexpr std::size_t kDecodedSizeOffset = 10;
constexpr std::size_t kCompressedSizeOffset = 14;

}  // namespace

bool SegmentHeader::IsCandidate(const std::uint8_t* bytes) noexcept
{
    // Tested in pieces, so that neither the program's code nor its data nor
    // its debugging information holds the signature whole: a scan of the
    // program itself would otherwise find a segment there.
    const std::span<const std::uint8_t> start(bytes, kLookAhead);
    return ReadLe16(start, 0) == 0x4342 && ReadLe32(start, 2) == 0x0000F1D6 && start[6] == 0x12;
}

bool SegmentHeader::Read(File& file)
{
    error = false;
    message.clear();
    start = file.GetPosition();
    std::array<std::uint8_t, kHeaderSize> bytes{};
    if (file.Read(bytes.data(), bytes.size()) < bytes.size()) {
        error = true;
        message = kEndOfFileDiagnostic;
        return false;
    }
    if (!IsCandidate(bytes.data())) {
        error = true;
        message = "セグメントの印がない";
        return false;
    }
    type = bytes[kTypeOffset];
    loadSegment = static_cast<std::uint16_t>(ReadLe16(bytes, kLoadSegmentOffset));
    decodedSize = ReadLe32(bytes, kDecodedSizeOffset);
    compressedSize = ReadLe32(bytes, kCompressedSizeOffset);
    name_ = SegmentName(*this, start);
    return true;
}

std::string SegmentName(const SegmentHeaderFields& fields, std::uint64_t start)
{
    char text[40];
    if (fields.loadSegment != 0) {
        std::snprintf(text, sizeof text, "seg%02X-%05X", fields.type, static_cast<unsigned>(fields.loadSegment) << 4);
    } else {
        std::snprintf(text, sizeof text, "seg%02X-at-%08llX", fields.type, static_cast<unsigned long long>(start));
    }
    return text;
}

#if defined(VESKARI_WIDE_VECTORS)
namespace {

// The first "BC" D6 F1 whose 'B' lies in [from, end), thirty-two positions
// at a time, or `end`; `from` is where the search stands when fewer than
// 36 bytes are left.
VESKARI_TARGET_WIDE std::size_t WideFindSignature(const std::uint8_t* window, std::size_t size, std::size_t& from,
                                                  std::size_t end) noexcept
{
    const auto at = [window](std::size_t offset) VESKARI_TARGET_WIDE {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + offset));
    };
    const __m256i d6 = _mm256_set1_epi8(static_cast<char>(0xD6));
    const __m256i f1 = _mm256_set1_epi8(static_cast<char>(0xF1));
    for (; from + 32 <= end && from + 32 + 4 <= size; from += 32) {
        // D6 F1 alone is rare enough: "BC" and the rest are tested per hit.
        const __m256i hits =
            _mm256_and_si256(_mm256_cmpeq_epi8(at(from + 2), d6), _mm256_cmpeq_epi8(at(from + 3), f1));
        for (auto lanes = static_cast<unsigned>(_mm256_movemask_epi8(hits)); lanes != 0; lanes &= lanes - 1) {
            const std::size_t candidate = from + static_cast<std::size_t>(__builtin_ctz(lanes));
            if (SegmentHeader::IsCandidate(window + candidate)) {
                return candidate;
            }
        }
    }
    return end;
}

}  // namespace
#endif

std::size_t SegmentListingLane::NextCandidate(const std::uint8_t* window, std::size_t size, std::size_t from,
                                              std::size_t end) const noexcept
{
#if defined(VESKARI_WIDE_VECTORS)
    if (HasWideVectors()) {
        if (const std::size_t found = WideFindSignature(window, size, from, end); found != end) {
            return found;
        }
    }
#else
    (void)size;
#endif
    // D6 F1 is rare in firmware; "BC" before it and the bytes after it decide.
    for (std::size_t at = FindBytePair(window, from + 2, end + 2, 0xD6, 0xF1); at < end + 2;
         at = FindBytePair(window, at + 1, end + 2, 0xD6, 0xF1)) {
        if (SegmentHeader::IsCandidate(window + at - 2)) {
            return at - 2;
        }
    }
    return end;
}

std::uint64_t SegmentListingLane::Try(File& file, std::uint64_t position)
{
    if (segments.size() >= maxSegments_) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    if (!header_.Read(file)) {
        if (rejections_ != nullptr) {
            rejections_->Rejected(header_);
        }
        return position + 1;
    }
    segments.push_back(ListedSegment{header_.start, header_, header_.Name()});
    // Segments do not overlap: the search goes on after the data, which
    // may lie past the end of the file (the segment is then cut short).
    return header_.start + SegmentHeader::kHeaderSize + header_.compressedSize;
}

}  // namespace veskari
