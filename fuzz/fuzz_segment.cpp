// Segment decoding: the first two bytes give the decoded size in units of
// 4 bytes; the rest is the segment's compressed data.

#include <fcntl.h>

#include "platform/descriptor_file.h"
#include "fuzz_input.h"
#include "segment/segment_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    static veskari::fuzz::MemoryFile input;
    static veskari::SegmentDecoder decoder;
    static veskari::OwnedFile output(::open("/dev/null", O_WRONLY | O_CLOEXEC), "/dev/null");
    veskari::SegmentHeaderFields header;
    header.decodedSize = (static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8)) * 4U;
    header.compressedSize = static_cast<std::uint32_t>(size - 2);
    veskari::OwnedFile file;
    if (!file.Open(input.Hold(data + 2, size - 2))) {
        return 0;
    }
    (void)decoder.DecodeSegment(output, file, header);
    return 0;
}
