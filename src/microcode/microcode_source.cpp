#include "microcode/microcode_source.h"

#include <algorithm>
#include <set>
#include <utility>

#include "records/byte_pair.h"
#include "microcode/update_layout.h"
#include "records/little_endian.h"
#include "records/processor_extensions.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif


namespace veskari {
namespace {

// The 32-bit sum of all dwords of a classic update (2048 bytes, which fit
// the file's read buffer) is 0 when it is intact; one that the file cuts
// short is not.
bool ClassicChecksumValid(File& file, std::uint64_t start)
{
    static_assert(MicrocodeHeader::kUpdateSize <= File::kBufferSize);
    file.Seek(start);
    const std::uint8_t* data = nullptr;
    const std::size_t got = file.Peek(MicrocodeHeader::kUpdateSize, data);
    if (got != MicrocodeHeader::kUpdateSize) {
        return false;
    }
    return update_layout::SumOfDwords(std::span(data, got)) == 0;
}

}  // namespace

void UpdateCollector::Add(MicrocodeHeader& header, File& file)
{
    // The lines of one update share its extended signature table; each
    // line's copy of the header fields leaves the table out.
    MicrocodeHeaderFields fields = header;
    std::shared_ptr<const std::vector<ExtendedSignature>> table;
    if (!header.extendedSignatures.empty()) {
        table = std::make_shared<const std::vector<ExtendedSignature>>(std::move(fields.extendedSignatures));
    }
    fields.extendedSignatures.clear();

    UpdateRecord record;
    record.offset = header.start;
    record.header = fields;
    record.extendedSignatures = table;
    header.ReportLine(record.line);
    record.checksumValid = header.format == MicrocodeFormat::later;
    if (withBytes_ && header.format == MicrocodeFormat::classic) {
        record.checksumValid = ClassicChecksumValid(file, header.start);
    }
    const bool checksumValid = record.checksumValid;
    entries_.emplace(OrderKey(header.format, header.signature, header.platformFlags), std::move(record));
    // An entry that names a signature and mask already named by the header
    // or an earlier entry would repeat that line.
    omittedExtendedLines_ += header.extendedLeftOut;
    std::set<std::pair<std::uint32_t, std::uint32_t>> named{{header.signature, header.platformFlags}};
    for (std::size_t i = 0; i < header.extendedSignatures.size(); ++i) {
        const ExtendedSignature& entry = header.extendedSignatures[i];
        if (!named.emplace(entry.signature, entry.platformFlags).second) {
            continue;
        }
        if (extendedLinesLeft_ != nullptr) {
            if (*extendedLinesLeft_ == 0) {
                ++omittedExtendedLines_;
                continue;
            }
            --*extendedLinesLeft_;
        }
        UpdateRecord extended;
        extended.offset = header.start;
        extended.header = fields;
        extended.extendedSignatures = table;
        extended.extendedIndex = static_cast<int>(i);
        extended.checksumValid = checksumValid;
        header.ExtendedReportLine(i, extended.line);
        entries_.emplace(OrderKey(header.format, entry.signature, entry.platformFlags), std::move(extended));
    }
}

std::uint64_t UpdateCollector::Take(MicrocodeHeader& header, File& file)
{
    std::uint64_t& next = header.format == MicrocodeFormat::classic ? classicNext_ : laterNext_;
    if (header.start >= next) {
        Add(header, file);
        next = header.start + header.totalSize;
    }
    // Without the later format, classic headers alone are looked for.
    const std::uint64_t other = formats_ == MicrocodeFormats::classic ? classicNext_ : std::min(classicNext_, laterNext_);
    return std::max(header.start + 1, other);
}

std::uint64_t UpdateCollector::TryAt(File& file)
{
    MicrocodeHeader header = NewHeader();
    if (header.Read(file)) {
        return Take(header, file);
    }
    const std::uint64_t start = header.start;
    if (formats_ == MicrocodeFormats::all) {
        if (rejections_ != nullptr) {
            rejections_->Rejected(header);
        }
        return start + 1;
    }
    // The classic scan also meets the headers of the later layout, to count
    // them: only a candidate of the classic pattern is told as rejected.
    file.Seek(start);
    const std::uint8_t* bytes = nullptr;
    const std::size_t got = file.Peek(MicrocodeHeader::kHeaderSize, bytes);
    if (rejections_ != nullptr && got >= MicrocodeHeader::kLookAhead && MicrocodeHeader::IsCandidate(bytes)) {
        rejections_->Rejected(header);
    }
    if (start >= countedUpTo_ && got == MicrocodeHeader::kHeaderSize &&
        MicrocodeHeader::MayAccept(std::span(bytes, got), MicrocodeFormats::all)) {
        CountUnlistedLater(file, start);
    }
    return start + 1;
}

void UpdateCollector::CountUnlistedLater(File& file, std::uint64_t start)
{
    file.Seek(start);
    MicrocodeHeader later(MicrocodeFormats::all, &countAllowance_, 0);
    if (later.Read(file) && later.format == MicrocodeFormat::later) {
        ++unlistedLater_;
        // As the listing would, the count goes on past the update.
        countedUpTo_ = start + later.totalSize;
    }
}

void UpdateCollector::Finish(std::vector<UpdateRecord>& records)
{
    for (auto& entry : entries_) {
        records.push_back(std::move(entry.second));
    }
    entries_.clear();
}

bool MicrocodeLane::IsCandidateAt(const std::uint8_t* window, std::size_t size, std::size_t i) const noexcept
{
    const std::uint8_t* at = window + i;
    const std::span<const std::uint8_t> bytes(at, size - i);
    if (formats_ == MicrocodeFormats::all) {
        return MicrocodeHeader::IsAnyFormatCandidate(at) && (observed_ || MicrocodeHeader::MayAccept(bytes, formats_));
    }
    if (MicrocodeHeader::IsCandidate(at) && (observed_ || MicrocodeHeader::MayAccept(bytes, formats_))) {
        return true;
    }
    // An update of the later layout is not listed in the classic mode, only
    // counted, so that the user can be told; the quick test keeps the
    // loader revision 1 of the classic search, so the count costs the
    // classic scan nothing where there are no such headers.
    constexpr std::size_t kLoaderByte = 20;
    return bytes.size() >= MicrocodeHeader::kHeaderSize && at[kLoaderByte] == 1 &&
           MicrocodeHeader::IsAnyFormatCandidate(at) && MicrocodeHeader::MayAccept(bytes, MicrocodeFormats::all);
}

#if defined(VESKARI_WIDE_VECTORS)
// The sixteen-position test below, thirty-two positions at a time where
// the processor has 256-bit vectors. Returns where the search stands and
// sets `found` to the first candidate, if any.
VESKARI_TARGET_WIDE std::size_t MicrocodeLane::WideCandidateSearch(
    const std::uint8_t* window, std::size_t size, std::size_t i, std::size_t end, std::size_t& found) const noexcept
{
    constexpr std::size_t kLastByte = 26;
    const bool loaderZero = formats_ == MicrocodeFormats::all;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi8(1);
    const auto at = [window](std::size_t offset) VESKARI_TARGET_WIDE {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + offset));
    };
    for (; i + 32 <= end && i + 32 + kLastByte <= size; i += 32) {
        const __m256i loader = at(i + 20);
        const __m256i loaderHit = loaderZero ? _mm256_cmpeq_epi8(_mm256_min_epu8(loader, one), loader)
                                             : _mm256_cmpeq_epi8(loader, one);
        const __m256i fixed =
            _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(at(i), one), _mm256_cmpeq_epi8(at(i + 1), zero)),
                             _mm256_and_si256(loaderHit, _mm256_cmpeq_epi8(at(i + 25), zero)));
        for (auto lanes = static_cast<unsigned>(_mm256_movemask_epi8(fixed)); lanes != 0; lanes &= lanes - 1) {
            const std::size_t j = i + static_cast<std::size_t>(__builtin_ctz(lanes));
            if (IsCandidateAt(window, size, j)) {
                found = j;
                return i;
            }
        }
    }
    return i;
}
#endif

std::size_t MicrocodeLane::NextCandidate(const std::uint8_t* window, std::size_t size, std::size_t from,
                                         std::size_t end) const noexcept
{
    // Unless its diagnostic is wanted, a candidate whose bytes Read would
    // reject is passed over here, without making a record of it: where
    // candidates are dense, that is most of the work. Sixteen positions
    // at a time, four bytes that every accepted header has are compared at
    // once: the first two of the version 01 00 00 00, the first of the
    // loader revision (1; 0 or 1 in the all-formats mode, whose earliest
    // updates carry 0) and the second of a platform mask of at most 0xFF;
    // the rest of each such position is tested one by one.
    std::size_t i = from;
#if defined(__SSE2__)
    constexpr std::size_t kLastByte = 26;  // the second byte of the platform field ends there
#if defined(VESKARI_WIDE_VECTORS)
    if (!observed_ && HasWideVectors()) {
        std::size_t found = end;
        i = WideCandidateSearch(window, size, i, end, found);
        if (found != end) {
            return found;
        }
    }
#endif
    if (!observed_) {
        const bool loaderZero = formats_ == MicrocodeFormats::all;
        const __m128i zero = _mm_setzero_si128();
        const __m128i one = _mm_set1_epi8(1);
        const auto at = [window](std::size_t offset) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + offset));
        };
        for (; i + 16 <= end && i + 16 + kLastByte <= size; i += 16) {
            const __m128i loader = at(i + 20);
            const __m128i loaderHit =
                loaderZero ? _mm_cmpeq_epi8(_mm_min_epu8(loader, one), loader) : _mm_cmpeq_epi8(loader, one);
            const __m128i fixed =
                _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(at(i), one), _mm_cmpeq_epi8(at(i + 1), zero)),
                              _mm_and_si128(loaderHit, _mm_cmpeq_epi8(at(i + 25), zero)));
            for (auto lanes = static_cast<unsigned>(_mm_movemask_epi8(fixed)); lanes != 0; lanes &= lanes - 1) {
                const std::size_t j = i + static_cast<std::size_t>(__builtin_ctz(lanes));
                if (IsCandidateAt(window, size, j)) {
                    return j;
                }
            }
        }
    }
#endif
    // Every header starts with the version 01 00 00 00.
    for (i = FindBytePair(window, i, end, 0x01, 0x00); i < end; i = FindBytePair(window, i + 1, end, 0x01, 0x00)) {
        if (IsCandidateAt(window, size, i)) {
            return i;
        }
    }
    return end;
}

std::uint64_t MicrocodeLane::Try(File& file, std::uint64_t /*position*/)
{
    return collector.TryAt(file);
}

}  // namespace veskari
