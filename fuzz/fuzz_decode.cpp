// Member decoding: the first byte picks the method (stored or lh4 to lh7),
// the next two the decoded size in units of 4 bytes; the rest is the
// member's data.

#include <fcntl.h>

#include "platform/descriptor_file.h"
#include "fuzz_input.h"
#include "lzh/lzh_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) {
        return 0;
    }
    static constexpr std::int32_t kMethods[] = {0, 4, 5, 6, 7};
    static veskari::fuzz::MemoryFile input;
    static veskari::LzhDecoder decoder;
    static veskari::OwnedFile output(::open("/dev/null", O_WRONLY | O_CLOEXEC), "/dev/null");
    veskari::LzhHeader header;
    header.method = kMethods[data[0] % 5];
    header.decodedSize = (static_cast<std::uint32_t>(data[1]) | (static_cast<std::uint32_t>(data[2]) << 8)) * 4U;
    header.compressedSize = static_cast<std::int32_t>(size - 3);
    header.crc16 = 0;
    veskari::OwnedFile file;
    if (!file.Open(input.Hold(data + 3, size - 3))) {
        return 0;
    }
    (void)decoder.DecodeMember(output, file, header);
    return 0;
}
