// Decoded MB/s of LzhDecoder on a 64 MiB member made by lha, to a
// discarding output, for lh5 and lh7; and of SegmentDecoder on a segment of
// the same kind of text made by the tests' encoder.

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <string>

#include "platform/descriptor_file.h"
#include "platform/memory_file.h"
#include "bench_files.h"
#include "segment/segment_decoder.h"
#include "support/reference_scan.h"
#include "support/segment_writer.h"

namespace veskari::bench {
namespace {

constexpr std::size_t kMemberSize = 64U << 20;

// Text-like data that compresses about as well as firmware modules do.
const std::string& Original()
{
    static const std::string path = [] {
        std::mt19937 random(7);
        const char* words[] = {"firmware ", "module ", "microcode ", "update ", "0x652 ", "header ", "lzh ",
                               "member\n", "BIOS ", "image ", "checksum ", "revision "};
        std::string text;
        text.reserve(kMemberSize);
        while (text.size() < kMemberSize) {
            text += words[random() % std::size(words)];
            if (random() % 5 == 0) {
                text += std::to_string(random() % 100000);
            }
        }
        text.resize(kMemberSize);
        const std::string file = WorkDir() + "/member.bin";
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }();
    return path;
}

// The archive of the original made by lha with this method, or empty when
// lha is not installed.
std::string Archive(int method)
{
    const std::string archive = WorkDir() + "/lh" + std::to_string(method) + ".lzh";
    if (!std::ifstream(archive)) {
        Original();
        const std::string command = "cd '" + WorkDir() + "' && lha a1o" + std::to_string(method) + " lh" +
                                    std::to_string(method) + ".lzh member.bin >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) {
            return {};
        }
    }
    return archive;
}

void BM_DecodeMember(benchmark::State& state)
{
    const std::string archive = Archive(static_cast<int>(state.range(0)));
    if (archive.empty()) {
        state.SkipWithError("lha (jlha-utils) is not installed");
        return;
    }
    const auto source = std::make_unique<test::LzhScan>();
    if (!source->Open(archive)) {
        state.SkipWithError("cannot open the archive");
        return;
    }
    OwnedFile discard(::open("/dev/null", O_WRONLY | O_CLOEXEC), "/dev/null");
    for (auto _ : state) {
        source->file->Seek(0);
        if (!source->FindMember("member.bin") || !source->decoder.DecodeMember(discard, *source->file, source->header)) {
            state.SkipWithError("decoding failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kMemberSize));
}
BENCHMARK(BM_DecodeMember)->Arg(5)->Arg(7)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Segments are firmware modules of up to some hundred KiB: 16 MiB of the
// same text, decoded as one segment, gives a steady figure.
constexpr std::size_t kSegmentSize = 16U << 20;

void BM_DecodeSegment(benchmark::State& state)
{
    static const test::Bytes data = [] {
        std::ifstream original(Original(), std::ios::binary);
        test::Bytes content(kSegmentSize);
        original.read(reinterpret_cast<char*>(content.data()), static_cast<std::streamsize>(content.size()));
        return test::LzssEncode(content);
    }();
    SegmentHeaderFields header;
    header.decodedSize = kSegmentSize;
    header.compressedSize = static_cast<std::uint32_t>(data.size());
    const auto decoder = std::make_unique<SegmentDecoder>();
    OwnedFile discard(::open("/dev/null", O_WRONLY | O_CLOEXEC), "/dev/null");
    for (auto _ : state) {
        MemoryReader input(data, "segment");
        if (!decoder->DecodeSegment(discard, input, header)) {
            state.SkipWithError("decoding failed");
            return;
        }
    }
    state.counters["ratio"] = static_cast<double>(kSegmentSize) / static_cast<double>(data.size());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kSegmentSize));
}
BENCHMARK(BM_DecodeSegment)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace veskari::bench
