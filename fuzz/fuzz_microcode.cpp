// The microcode scan of one file.

#include <vector>

#include "fuzz_input.h"
#include "microcode/microcode_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static veskari::fuzz::MemoryFile input;
    veskari::MicrocodeSource source;
    if (!source.Open(input.Hold(data, size))) {
        return 0;
    }
    std::vector<std::string> lines;
    source.Collect(lines);
    return 0;
}
