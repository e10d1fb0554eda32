// Whole-process drivers for the side-by-side comparison with other tools.
//
//   veskari-bench-driver decode ARCHIVE...     decodes every member of each
//       archive with LzhDecoder to a discarding output; fails on a bad CRC
//   veskari-bench-driver analyze IMAGE COUNT   analyses IMAGE COUNT times in
//       one process and prints the time per analysis
//   veskari-bench-driver all-formats PATH...   prints the report of PATH...
//       with every microcode format, as the command line would

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>

#include "analysis/analyzer.h"
#include "lzh/lzh_decoder.h"
#include "lzh/lzh_source.h"
#include "platform/descriptor_file.h"
#include "records/sweep.h"

namespace {

int Decode(int count, char** archives)
{
    veskari::OwnedFile discard(::open("/dev/null", O_WRONLY | O_CLOEXEC), "/dev/null");
    unsigned long long members = 0;
    unsigned long long bytes = 0;
    for (int i = 0; i < count; ++i) {
        // Members are listed as the analysis lists them, then decoded where they were found.
        const auto decoder = std::make_unique<veskari::LzhDecoder>();
        veskari::LzhHeader header;
        veskari::OwnedFile file;
        if (!file.Open(archives[i])) {
            std::fprintf(stderr, "cannot open %s\n", archives[i]);
            return 1;
        }
        veskari::LzhListingLane listing(header, nullptr);
        veskari::SweepLane* const lanes[] = {&listing};
        veskari::Sweep(file, lanes);
        for (const veskari::ListedMember& listed : listing.members) {
            file.Seek(listed.start);
            if (!header.Read(file)) {
                return 1;
            }
            header.SeekToData(file);
            if (header.method != veskari::kMethodDirectory) {
                if (!decoder->DecodeMember(discard, file, header)) {
                    std::fprintf(stderr, "%s: %s failed\n", archives[i], header.memberName.c_str());
                    return 1;
                }
                ++members;
                bytes += header.decodedSize;
            }
        }
    }
    std::printf("%llu members, %llu bytes\n", members, bytes);
    return 0;
}

int Analyze(const char* image, int count)
{
    const auto started = std::chrono::steady_clock::now();
    std::size_t reportSize = 0;
    for (int i = 0; i < count; ++i) {
        veskari::StringReport report;
        veskari::AnalyzePath(report, image);
        reportSize = report.Text().size();
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - started;
    std::printf("%.3f ms per analysis (%d analyses, report of %zu bytes)\n", elapsed.count() / count, count,
                reportSize);
    return 0;
}

int AllFormats(int count, char** paths)
{
    veskari::StringReport report;
    veskari::Analyzer analyzer(report);
    analyzer.SetMicrocodeFormats(veskari::MicrocodeFormats::all);
    for (int i = 0; i < count; ++i) {
        analyzer.AnalyzePath(paths[i]);
    }
    std::fwrite(report.Text().data(), 1, report.Text().size(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string_view command = argc > 1 ? argv[1] : "";
    if (command == "decode" && argc > 2) {
        return Decode(argc - 2, argv + 2);
    }
    if (command == "analyze" && argc == 4) {
        return Analyze(argv[2], std::atoi(argv[3]));
    }
    if (command == "all-formats" && argc > 2) {
        return AllFormats(argc - 2, argv + 2);
    }
    std::fputs("usage: veskari-bench-driver decode ARCHIVE... | analyze IMAGE COUNT | all-formats PATH...\n", stderr);
    return 2;
}
