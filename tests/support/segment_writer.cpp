#include "support/segment_writer.h"

#include <algorithm>
#include <array>

namespace veskari::test {
namespace {

constexpr std::size_t kWindow = 4096;
constexpr std::size_t kStart = 0xFEE;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kChain = 64;

}  // namespace

Bytes LzssEncode(const Bytes& content)
{
    // The text as the window sees it: the 0xFEE spaces it starts with, then
    // the content, so that index i lies at window position i mod 4096.
    Bytes text(kStart, ' ');
    Append(text, content);
    // Hash chains over three bytes; sources lie at most 0xFEE back, so a
    // match never reads a position that the decoder has written over, nor
    // the unwritten tail of the first window.
    std::vector<std::int64_t> head(1 << 16, -1);
    std::vector<std::int64_t> previous(text.size(), -1);
    const auto hash = [&](std::size_t i) {
        return ((text[i] << 8) ^ (text[i + 1] << 4) ^ text[i + 2]) & 0xFFFF;
    };
    const auto insert = [&](std::size_t i) {
        if (i + kMinMatch <= text.size()) {
            const auto h = static_cast<std::size_t>(hash(i));
            previous[i] = head[h];
            head[h] = static_cast<std::int64_t>(i);
        }
    };
    for (std::size_t i = 0; i < kStart; ++i) {
        insert(i);
    }

    Bytes out;
    std::size_t flagAt = 0;
    int items = 8;
    for (std::size_t i = kStart; i < text.size();) {
        if (items == 8) {
            flagAt = out.size();
            out.push_back(0);
            items = 0;
        }
        std::size_t bestLength = 0;
        std::size_t bestFrom = 0;
        if (i + kMinMatch <= text.size()) {
            std::int64_t candidate = head[static_cast<std::size_t>(hash(i))];
            for (std::size_t steps = 0; candidate >= 0 && steps < kChain; ++steps) {
                const auto from = static_cast<std::size_t>(candidate);
                if (i - from > kStart) {
                    break;
                }
                std::size_t length = 0;
                const std::size_t limit = std::min(kMaxMatch, text.size() - i);
                while (length < limit && text[from + length] == text[i + length]) {
                    ++length;
                }
                if (length > bestLength) {
                    bestLength = length;
                    bestFrom = from;
                }
                candidate = previous[from];
            }
        }
        if (bestLength >= kMinMatch) {
            const std::size_t position = bestFrom % kWindow;
            out.push_back(static_cast<std::uint8_t>(position & 0xFF));
            out.push_back(static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (bestLength - kMinMatch)));
            for (std::size_t k = 0; k < bestLength; ++k) {
                insert(i + k);
            }
            i += bestLength;
        } else {
            out[flagAt] = static_cast<std::uint8_t>(out[flagAt] | (1U << items));
            out.push_back(text[i]);
            insert(i);
            ++i;
        }
        ++items;
    }
    return out;
}

Bytes MakeSegmentHeader(const SegmentFields& fields)
{
    Bytes header = kSegmentSignature;
    header.push_back(fields.type);
    header.resize(18);
    PutLe16(header, 8, fields.loadSegment);
    PutLe32(header, 10, fields.decodedSize);
    PutLe32(header, 14, fields.compressedSize);
    return header;
}

Bytes MakeSegment(const Bytes& content, std::uint8_t type, std::uint16_t loadSegment)
{
    const Bytes data = LzssEncode(content);
    Bytes segment = MakeSegmentHeader(SegmentFields{type, loadSegment, static_cast<std::uint32_t>(content.size()),
                                                    static_cast<std::uint32_t>(data.size())});
    Append(segment, data);
    return segment;
}

Bytes ReferenceLzssDecode(const Bytes& data)
{
    std::array<std::uint8_t, kWindow> window{};
    window.fill(' ');
    std::size_t r = kStart;
    Bytes out;
    std::size_t in = 0;
    while (in < data.size()) {
        const std::uint8_t flags = data[in++];
        for (int bit = 0; bit < 8 && in < data.size(); ++bit) {
            if ((flags >> bit) & 1) {
                const std::uint8_t byte = data[in++];
                out.push_back(byte);
                window[r] = byte;
                r = (r + 1) % kWindow;
                continue;
            }
            if (in + 2 > data.size()) {
                return out;
            }
            const std::size_t position = std::size_t{data[in]} | (std::size_t{data[in + 1] & 0xF0u} << 4);
            const std::size_t length = std::size_t{data[in + 1] & 0x0Fu} + kMinMatch;
            in += 2;
            for (std::size_t k = 0; k < length; ++k) {
                const std::uint8_t byte = window[(position + k) % kWindow];
                out.push_back(byte);
                window[r] = byte;
                r = (r + 1) % kWindow;
            }
        }
    }
    return out;
}

}  // namespace veskari::test
