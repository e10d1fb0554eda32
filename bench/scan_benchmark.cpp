// Throughput of the microcode scan over a 64 MiB image with few candidates,
// of the scan in both microcode modes over a 256 MiB image that holds
// updates of both layouts, and of the analysis of the 256 MiB discovery
// image with and without the standing of its updates.

#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include <filesystem>

#include "analysis/analyzer.h"
#include "microcode/release_reference.h"
#include "bench_files.h"
#include "lzh/lzh_source.h"
#include "microcode/microcode_source.h"
#include "platform/descriptor_file.h"
#include "records/little_endian.h"
#include "records/sweep.h"

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

// Sweeps the file at `path` with one lane, as the analysis reads a file.
bool SweepFile(const std::string& path, SweepLane& lane)
{
    OwnedFile file;
    if (!file.Open(path)) {
        return false;
    }
    SweepLane* const lanes[] = {&lane};
    Sweep(file, lanes);
    return true;
}

// The report lines of a microcode sweep of the file at `path`.
bool ScanUpdates(const std::string& path, MicrocodeFormats formats, std::vector<UpdateRecord>& lines)
{
    MicrocodeLane lane(formats, false, nullptr);
    if (!SweepFile(path, lane)) {
        return false;
    }
    lane.collector.Finish(lines);
    return true;
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
        std::vector<UpdateRecord> lines;
        if (!ScanUpdates(path, MicrocodeFormats::classic, lines)) {
            state.SkipWithError("cannot open the image");
            return;
        }
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
        std::vector<UpdateRecord> lines;
        if (!ScanUpdates(path, all ? MicrocodeFormats::all : MicrocodeFormats::classic, lines)) {
            state.SkipWithError("cannot open the image");
            return;
        }
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
        LzhHeader header;
        LzhListingLane lane(header, nullptr);
        if (!SweepFile(path, lane)) {
            state.SkipWithError("cannot open the image");
            return;
        }
        benchmark::DoNotOptimize(lane.members.data());
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

// The discovery image of bench/compare-peers: 256 MiB of random bytes with
// 200 real classic updates (of the third-party test data) at random offsets.
const std::string& DiscoveryImage()
{
    static const std::string path = [] {
        std::vector<std::vector<std::uint8_t>> updates;
        for (const char* folder : {"/tests/data/testdata/microcode"}) {
            const std::filesystem::path dir = std::string(VESKARI_SOURCE_DIR) + folder;
            std::error_code error;
            if (!updates.empty() || !std::filesystem::is_directory(dir, error)) {
                continue;
            }
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(dir)) {
                if (entry.is_regular_file() && entry.path().filename().string().starts_with("06-")) {
                    files.push_back(entry.path());
                }
            }
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                std::ifstream in(file, std::ios::binary);
                const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
                for (std::size_t at = 0; at + 2048 <= bytes.size(); at += 2048) {
                    updates.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                         bytes.begin() + static_cast<std::ptrdiff_t>(at + 2048));
                }
            }
        }
        if (updates.empty()) {
            return std::string();
        }
        constexpr std::size_t kCount = 200;
        std::vector<std::uint8_t> image = RandomBytes(kFormatsImageSize, 1);
        std::mt19937_64 random(1);
        const std::size_t slot = image.size() / kCount;
        for (std::size_t i = 0; i < kCount; ++i) {
            const std::size_t at = i * slot + 1 + random() % (slot - 2 * 2048);
            std::copy(updates[i % updates.size()].begin(), updates[i % updates.size()].end(),
                      image.begin() + static_cast<std::ptrdiff_t>(at));
        }
        return WriteImage("discovery.bin", image);
    }();
    return path;
}

// What the outputs that carry the standing do besides their own writing:
// each update's standing, and the file's summary of processors at its end.
class StandingObserver final : public AnalysisObserver {
public:
    explicit StandingObserver(bool standing) : standing_(standing) {}

    void UpdateAccepted(const FileInfo& /*file*/, const UpdateRecord& update) override
    {
        ++updates;
        if (standing_) {
            const UpdateStanding standing = ReleaseReference::Public().StandingOf(
                update.LineSignature(), update.LinePlatformFlags(), update.header.revision);
            benchmark::DoNotOptimize(standing);
            summary_.Add(update.LineSignature(), update.LinePlatformFlags(), update.header.revision,
                         update.header.date);
        }
    }
    void FileFinished(const FileInfo& file) override
    {
        if (standing_ && file.depth == 0) {
            const std::vector<ProcessorSummary::Row> rows = summary_.Rows(ReleaseReference::Public());
            benchmark::DoNotOptimize(rows.data());
            summary_ = ProcessorSummary();
        }
    }

    std::size_t updates = 0;

private:
    bool standing_;
    ProcessorSummary summary_;
};

// The analysis of the discovery image without (0) and with (1) the standing
// of each update against the public releases.
void BM_DiscoveryStanding(benchmark::State& state)
{
    const std::string& path = DiscoveryImage();
    if (path.empty()) {
        state.SkipWithError("no microcode test data");
        return;
    }
    (void)ReleaseReference::Public();  // built once per process, as the outputs do
    for (auto _ : state) {
        StringReport report;
        StandingObserver observer(state.range(0) != 0);
        Analyzer analyzer(report, &observer);
        analyzer.AnalyzePath(path);
        if (observer.updates != 200) {
            state.SkipWithError("wrong number of updates");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kFormatsImageSize));
}
BENCHMARK(BM_DiscoveryStanding)->Arg(0)->Arg(1)->ArgName("standing")->Unit(benchmark::kMillisecond);

// One standing: a binary search on the signature and the few published
// rows of that processor. Half the lookups are of published updates, half
// of processors that no release covers.
void BM_StandingLookup(benchmark::State& state)
{
    const ReleaseReference& reference = ReleaseReference::Public();
    std::vector<std::uint32_t> signatures = {0x652, 0x906A4, 0x806F4, 0x1632, 0x6C0, 0x12345, 0x50654, 0x6FB};
    std::size_t i = 0;
    for (auto _ : state) {
        const UpdateStanding standing = reference.StandingOf(signatures[i % signatures.size()], 0x10, 0x20);
        benchmark::DoNotOptimize(standing);
        ++i;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_StandingLookup);

}  // namespace
}  // namespace veskari::bench
