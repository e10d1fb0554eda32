// LZH header reading and listing: list every member, then read each
// header again where the listing found it, as the analysis does.

#include <vector>

#include "fuzz_input.h"
#include "platform/descriptor_file.h"
#include "lzh/lzh_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static veskari::fuzz::MemoryFile input;
    veskari::OwnedFile file;
    if (!file.Open(input.Hold(data, size))) {
        return 0;
    }
    veskari::LzhHeader header;
    veskari::LzhListingLane listing(header, nullptr);
    veskari::SweepLane* const lanes[] = {&listing};
    veskari::Sweep(file, lanes);
    for (const veskari::ListedMember& listed : listing.members) {
        file.Seek(listed.start);
        if (!header.Read(file) || header.start != listed.start) {
            __builtin_trap();  // a listed header always reads again
        }
        header.SkipPast(file);
    }
    return 0;
}
