// LZH header reading and scanning: list every member, then find each by name.

#include <vector>

#include "fuzz_input.h"
#include "lzh/lzh_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static veskari::fuzz::MemoryFile input;
    const std::string path = input.Hold(data, size);
    static veskari::LzhSource source;  // its decoder is 88,136 bytes: kept between inputs
    if (!source.Open(path)) {
        return 0;
    }
    std::vector<std::string> names;
    (void)source.Collect(names);
    source.file.Seek(0);
    for (const std::string& name : names) {
        if (!source.FindMember(name)) {
            break;
        }
        source.header.SkipPast(source.file);
    }
    source.Close();
    return 0;
}
