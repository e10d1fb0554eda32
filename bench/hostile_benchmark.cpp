// Inputs made to multiply the work, timed: each must cost work linear in its
// size. The self-similar archive (2^22 routes through its members) and a
// folder tree with two links from every folder to the next (2^25 routes)
// must each take well under a second; the worst patterns for the scans show
// their cost per MiB beside a plain scan of the same size.

#include <algorithm>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

#include "analysis/analyzer.h"
#include "bench_files.h"

namespace veskari::bench {
namespace {

constexpr std::size_t kPatternSize = 1U << 20;

std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    const std::string path = WorkDir() + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
}

void Analyze(benchmark::State& state, const std::string& path, std::size_t bytes)
{
    for (auto _ : state) {
        StringReport report;
        AnalyzePath(report, path);
        benchmark::DoNotOptimize(report.Text().data());
    }
    if (bytes != 0) {
        state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    }
}

void BM_SelfSimilarArchive(benchmark::State& state)
{
    Analyze(state, VESKARI_SOURCE_DIR "/fuzz/corpus/fuzz_analysis/self_similar", 0);
}
BENCHMARK(BM_SelfSimilarArchive)->Unit(benchmark::kMillisecond);

void BM_LinkedFolders(benchmark::State& state)
{
    static const std::string root = [] {
        const std::string base = WorkDir() + "/links/d";
        for (int i = 0; i <= 25; ++i) {
            std::filesystem::create_directories(base + std::to_string(i));
        }
        for (int i = 0; i < 25; ++i) {
            const std::string next = "../d" + std::to_string(i + 1);
            for (const char* name : {"/a", "/b"}) {
                if (::symlink(next.c_str(), (base + std::to_string(i) + name).c_str()) != 0) {
                    std::abort();
                }
            }
        }
        (void)Write("links/d25/end.bin", std::vector<std::uint8_t>(10, 0));
        return base + "0";
    }();
    Analyze(state, root, 0);
}
BENCHMARK(BM_LinkedFolders)->Unit(benchmark::kMillisecond);

// Random-looking bytes with no candidate: the plain scan to compare with.
void BM_PatternPlain(benchmark::State& state)
{
    std::vector<std::uint8_t> bytes(kPatternSize);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 2654435761U) >> 13) | 0x80;
    }
    Analyze(state, Write("plain", bytes), kPatternSize);
}
BENCHMARK(BM_PatternPlain)->Unit(benchmark::kMillisecond);

// A microcode candidate every 16 bytes, each rejected at its last check.
void BM_PatternMicrocodeCandidates(benchmark::State& state)
{
    static constexpr std::uint8_t kUnit[16] = {1, 0, 0, 0, 1, 0, 0, 0, 0x99, 0x19, 0x25, 0x05, 0x52, 0x06, 0, 0};
    std::vector<std::uint8_t> bytes(kPatternSize);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = kUnit[i % 16];
    }
    Analyze(state, Write("microcode", bytes), kPatternSize);
}
BENCHMARK(BM_PatternMicrocodeCandidates)->Unit(benchmark::kMillisecond);

// An LZH method identifier every 4 bytes.
void BM_PatternLzhIdentifiers(benchmark::State& state)
{
    std::vector<std::uint8_t> bytes(kPatternSize);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>("-lh5"[i % 4]);
    }
    Analyze(state, Write("identifiers", bytes), kPatternSize);
}
BENCHMARK(BM_PatternLzhIdentifiers)->Unit(benchmark::kMillisecond);

// Level-2 headers every 64 bytes whose extended-header chains all lead into
// one long run of small extended headers.
void BM_PatternExtendedChains(benchmark::State& state)
{
    std::vector<std::uint8_t> bytes(kPatternSize, 0);
    for (std::size_t at = kPatternSize / 2; at + 3 <= kPatternSize; at += 3) {
        bytes[at] = 3;
        bytes[at + 2] = 0x7F;
    }
    for (std::size_t start = 0; start + 64 <= kPatternSize / 2; start += 64) {
        std::uint8_t* header = bytes.data() + start;
        header[0] = 26;  // total header size
        std::copy_n("-lh0-", 5, header + 2);
        header[20] = 2;  // level
        const std::size_t jump = std::min<std::size_t>(kPatternSize / 2 - (start + 24), 0xFFFF);
        header[24] = static_cast<std::uint8_t>(jump);
        header[25] = static_cast<std::uint8_t>(jump >> 8);
    }
    Analyze(state, Write("chains", bytes), kPatternSize);
}
BENCHMARK(BM_PatternExtendedChains)->Unit(benchmark::kMillisecond);

// Level-2 headers every 32 bytes, each stating 32 bytes but naming itself
// with a chain of almost 64 KiB that runs over the headers after it and
// ends on the zero time stamp bytes of the header 2,000 places on.
void BM_PatternOverlappingNames(benchmark::State& state)
{
    constexpr std::size_t kStride = 32;
    constexpr std::size_t kChain = 2000 * kStride + 17 - 24;
    std::vector<std::uint8_t> bytes(kPatternSize, 0);
    for (std::size_t start = 0; start + kStride <= kPatternSize; start += kStride) {
        std::uint8_t* header = bytes.data() + start;
        header[0] = kStride;  // total header size
        std::copy_n("-lh0-", 5, header + 2);
        header[20] = 2;  // level
        header[24] = static_cast<std::uint8_t>(kChain);
        header[25] = static_cast<std::uint8_t>(kChain >> 8);
        header[26] = 1;  // the file name
    }
    Analyze(state, Write("names", bytes), kPatternSize);
}
BENCHMARK(BM_PatternOverlappingNames)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskari::bench
