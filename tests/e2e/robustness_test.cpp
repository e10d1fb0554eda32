// Hostile input end to end: every refused file operation of a nested
// analysis, and the worst patterns for the scans.

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>

#include "analysis/analyze_path.h"
#include "platform/cfile.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::Bytes;
using test::TempDir;

// Counts every file operation of the process and refuses the n-th one.
struct RefuseNth final : FileFaultHook {
    explicit RefuseNth(int nth) : countdown(nth) {}
    bool Refuse(FileOperation operation, const std::string& /*fileName*/) override
    {
        if (--countdown != 0) {
            return false;
        }
        refused = true;
        refusedOperation = operation;
        return true;
    }
    int countdown;
    bool refused = false;
    FileOperation refusedOperation = FileOperation::open;
};

TEST(FaultInjectionTest, EveryStepOfANestedAnalysisEndsCleanly)
{
    const TempDir dir;
    test::MicrocodeFields fields;
    Bytes inner = test::MakeMicrocodeUpdate(fields);
    test::Append(inner, test::MakeStoredMember("deep.bin", test::MakeMicrocodeUpdate(fields)));
    Bytes image(3000, 0xFF);
    test::Append(image, test::MakeStoredMember("m.bin", inner, 1));
    test::Append(image, test::MakeStoredMember("n.bin", test::MakeMicrocodeUpdate(fields), 2));
    const std::string path = dir.Write("fw.bin", image);

    StringReport clean;
    AnalyzePath(clean, path);

    int step = 1;
    for (;; ++step) {
        ASSERT_LT(step, 10000) << "the analysis never completes";
        RefuseNth hook(step);
        SetFileFaultHook(&hook);
        StringReport report;
        Analyzer analyzer(report);
        bool failed = false;
        try {
            analyzer.AnalyzePath(path, path);
        } catch (const FileError&) {
            failed = true;
        }
        SetFileFaultHook(nullptr);
        EXPECT_TRUE(test::LeftoverTemporaryFiles().empty()) << "step " << step;
        EXPECT_TRUE(report.Text().starts_with("<< " + path + " >>\r\n")) << "step " << step;
        // What was written before an error is a prefix of the clean report,
        // except that a member whose file could not be opened or created is
        // passed over silently.
        if (failed) {
            EXPECT_TRUE(hook.refused);
            EXPECT_NE(hook.refusedOperation, FileOperation::open);
            EXPECT_NE(hook.refusedOperation, FileOperation::create);
        }
        if (!hook.refused) {
            EXPECT_EQ(report.Text(), clean.Text());
            break;
        }
    }
    EXPECT_GT(step, 20);
}

// Prints how long the analysis of a megabyte of a pattern takes; the figure
// is for the reader (linear time is the expectation), not a pass condition.
double SecondsFor(const std::string& path)
{
    const auto started = std::chrono::steady_clock::now();
    StringReport report;
    AnalyzePath(report, path);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

TEST(WorstPatternTest, EveryFewBytesACandidate)
{
    const TempDir dir;
    constexpr std::size_t kSize = 1U << 20;

    // A microcode candidate every 16 bytes, each rejected at its last check.
    Bytes microcode(kSize);
    for (std::size_t i = 0; i < kSize; ++i) {
        static constexpr std::uint8_t kUnit[16] = {1, 0, 0, 0, 1, 0, 0, 0, 0x99, 0x19, 0x25, 0x05, 0x52, 0x06, 0, 0};
        microcode[i] = kUnit[i % 16];
    }
    // An LZH identifier every 4 bytes.
    Bytes identifiers(kSize);
    for (std::size_t i = 0; i < kSize; ++i) {
        identifiers[i] = static_cast<std::uint8_t>("-lh5"[i % 4]);
    }
    // Level-2 headers every 64 bytes whose chains all lead into one long run
    // of small extended headers.
    Bytes chains(kSize, 0);
    for (std::size_t at = kSize / 2; at + 3 <= kSize; at += 3) {
        chains[at] = 3;
        chains[at + 2] = 0x7F;
    }
    for (std::size_t start = 0; start + 64 <= kSize / 2; start += 64) {
        test::LzhMemberFields spec;
        spec.level = 2;
        Bytes header = test::MakeLzhMember(spec);
        const std::size_t jump = kSize / 2 - (start + 24);
        test::PutLe16(header, 24, static_cast<std::uint32_t>(std::min<std::size_t>(jump, 0xFFFF)));
        std::copy(header.begin(), header.begin() + 26, chains.begin() + static_cast<std::ptrdiff_t>(start));
    }

    for (const auto& [name, bytes] : {std::pair{"microcode", microcode}, std::pair{"identifiers", identifiers},
                                      std::pair{"chains", chains}}) {
        const double seconds = SecondsFor(dir.Write(name, bytes));
        std::printf("worst pattern %-12s 1 MiB analysed in %.3f s\n", name, seconds);
    }
}

}  // namespace
}  // namespace veskari
