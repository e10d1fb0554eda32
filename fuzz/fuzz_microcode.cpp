// The microcode sweep of one file, in both modes.

#include <vector>

#include "fuzz_input.h"
#include "platform/descriptor_file.h"
#include "microcode/microcode_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static veskari::fuzz::MemoryFile input;
    veskari::OwnedFile file;
    if (!file.Open(input.Hold(data, size))) {
        return 0;
    }
    for (const auto formats : {veskari::MicrocodeFormats::classic, veskari::MicrocodeFormats::all}) {
        file.Seek(0);
        veskari::MicrocodeLane lane(formats, false, nullptr);
        veskari::SweepLane* const lanes[] = {&lane};
        veskari::Sweep(file, lanes);
        std::vector<veskari::UpdateRecord> lines;
        lane.collector.Finish(lines);
    }
    return 0;
}
