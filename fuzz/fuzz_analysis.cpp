// The whole analysis of one file: archive members decoded into anonymous
// files and analysed in turn, nested down to the analysis's own limit. The
// decoding budget is smaller than the tool's, so that inputs that reach it
// stay within the fuzzer's time limit; the logic is the same.

#include "analysis/analyzer.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static veskari::fuzz::MemoryFile input;
    const std::string path = input.Hold(data, size);
    veskari::StringReport report;
    veskari::Analyzer analyzer(report);
    veskari::WorkLimits limits;
    limits.decodedBytes = 8U << 20;
    analyzer.SetLimits(limits);
    analyzer.AnalyzePath(path, path);
    return 0;
}
