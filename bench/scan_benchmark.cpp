// Throughput of the microcode scan over a 64 MiB image with few candidates,
// and of the scan in both microcode modes over a 256 MiB image that holds
// updates of both layouts.

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fstream>
#include <random>
#include <vector>

#include "analysis/analyzer.h"
#include "bench_files.h"
#include "lzh/lzh_source.h"
#include "microcode/microcode_source.h"
#include "records/little_endian.h"

namespace veskari::bench {
namespace {

constexpr std::size_t kImageSize = 64U << 20;

// A classic header: 1999/05/25, revision 0x2A, signature 0x652, flags 4.
constexpr std::uint8_t kClassicHeader[48] = {1, 0, 0, 0, 0x2A, 0, 0, 0, 0x99, 0x19, 0x25, 0x05, 0x52, 0x06, 0, 0,
                                             0, 0, 0, 0, 1, 0, 0, 0, 4};

// Random bytes: every 256th byte is a 0x01 that the pattern test must reject.
std::vector<std::uint8_t> RandomBytes(std::size_t size, std::uint64_t seed)
{
    std::vector<std::uint8_t> image(size);
    std::mt19937_64 random(seed);
    for (std::size_t i = 0; i < image.size(); i += 8) {
        const std::uint64_t value = random();
        for (std::size_t b = 0; b < 8; ++b) {
            image[i + b] = static_cast<std::uint8_t>(value >> (8 * b));
        }
    }
    return image;
}

std::string WriteImage(const std::string& name, const std::vector<std::uint8_t>& image)
{
    const std::string file = WorkDir() + "/" + name;
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                static_cast<std::streamsize>(image.size()));
    return file;
}

// Random bytes with one real-looking update per MiB.
const std::string& ScanImage()
{
    static const std::string path = [] {
        std::vector<std::uint8_t> image = RandomBytes(kImageSize, 42);
        for (std::size_t offset = 12345; offset + 48 < image.size(); offset += 1U << 20) {
            std::copy(std::begin(kClassicHeader), std::end(kClassicHeader),
                      image.begin() + static_cast<std::ptrdiff_t>(offset));
        }
        return WriteImage("scan.bin", image);
    }();
    return path;
}

void BM_MicrocodeScan(benchmark::State& state)
{
    const std::string& path = ScanImage();
    for (auto _ : state) {
        MicrocodeSource source;
        if (!source.Open(path)) {
            state.SkipWithError("cannot open the image");
            return;
        }
        std::vector<std::string> lines;
        source.Collect(lines);
        benchmark::DoNotOptimize(lines.data());
        if (lines.size() != 64) {
            state.SkipWithError("wrong number of updates");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kImageSize));
}
BENCHMARK(BM_MicrocodeScan)->Unit(benchmark::kMillisecond);

constexpr std::size_t kFormatsImageSize = 256U << 20;

// Random bytes with, in every MiB, a classic header and a 16 KiB update of
// the later layout (random data, its checksum made valid).
const std::string& FormatsImage()
{
    static const std::string path = [] {
        std::vector<std::uint8_t> image = RandomBytes(kFormatsImageSize, 7);
        constexpr std::uint32_t kLaterSize = 16U << 10;
        const std::uint32_t later[12] = {1, 0x43A, 0x10122025, 0x906A3, 0, 1, 0x80, kLaterSize - 48, kLaterSize};
        for (std::size_t offset = 4321; offset + 100003 + kLaterSize <= image.size(); offset += 1U << 20) {
            std::copy(std::begin(kClassicHeader), std::end(kClassicHeader),
                      image.begin() + static_cast<std::ptrdiff_t>(offset));
            const std::size_t at = offset + 100003;
            for (std::size_t field = 0; field < 12; ++field) {
                for (std::size_t b = 0; b < 4; ++b) {
                    image[at + 4 * field + b] = static_cast<std::uint8_t>(later[field] >> (8 * b));
                }
            }
            std::uint32_t sum = 0;
            for (std::size_t i = 0; i < kLaterSize; i += 4) {
                sum += ReadLe32(image, at + i);
            }
            const std::uint32_t checksum = 0U - sum;
            for (std::size_t b = 0; b < 4; ++b) {
                image[at + 16 + b] = static_cast<std::uint8_t>(checksum >> (8 * b));
            }
        }
        return WriteImage("formats.bin", image);
    }();
    return path;
}

// The microcode scan in the classic mode (0) and with every format (1).
void BM_FormatsScan(benchmark::State& state)
{
    const std::string& path = FormatsImage();
    const bool all = state.range(0) != 0;
    for (auto _ : state) {
        MicrocodeSource source;
        if (!source.Open(path)) {
            state.SkipWithError("cannot open the image");
            return;
        }
        source.SetFormats(all ? MicrocodeFormats::all : MicrocodeFormats::classic);
        std::vector<std::string> lines;
        source.Collect(lines);
        benchmark::DoNotOptimize(lines.data());
        if (lines.size() != (all ? 512U : 256U)) {
            state.SkipWithError("wrong number of updates");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kFormatsImageSize));
}
BENCHMARK(BM_FormatsScan)->Arg(0)->Arg(1)->ArgName("all")->Unit(benchmark::kMillisecond);

void BM_LzhHeaderScan(benchmark::State& state)
{
    const std::string& path = ScanImage();
    for (auto _ : state) {
        LzhSource source;
        if (!source.Open(path)) {
            state.SkipWithError("cannot open the image");
            return;
        }
        std::vector<std::string> names;
        source.Collect(names);
        benchmark::DoNotOptimize(names.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kImageSize));
}
BENCHMARK(BM_LzhHeaderScan)->Unit(benchmark::kMillisecond);

// The whole analysis of the image: both passes, as veskari-scan runs it.
void BM_AnalyzeImage(benchmark::State& state)
{
    const std::string& path = ScanImage();
    for (auto _ : state) {
        StringReport report;
        AnalyzePath(report, path);
        benchmark::DoNotOptimize(report.Text().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kImageSize));
}
BENCHMARK(BM_AnalyzeImage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veskari::bench
