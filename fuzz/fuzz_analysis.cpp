// The whole analysis of one file: archive members decoded into files
// without a name and analysed in turn, nested down to the analysis's own
// limit; once with the classic microcode rules and once with every format.
// The decoding budget is smaller than the tool's, so that inputs that reach
// it stay within the fuzzer's time limit; the logic is the same.

#include "analysis/analyzer.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static veskari::fuzz::MemoryFile input;
    const std::string path = input.Hold(data, size);
    veskari::WorkLimits limits;
    limits.decodedBytes = 8U << 20;
    for (const auto formats : {veskari::MicrocodeFormats::classic, veskari::MicrocodeFormats::all}) {
        veskari::StringReport report;
        veskari::Analyzer analyzer(report);
        analyzer.SetLimits(limits);
        analyzer.SetMicrocodeFormats(formats);
        analyzer.AnalyzePath(path);
    }
    return 0;
}
