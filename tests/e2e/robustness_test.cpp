// Hostile input end to end: every refused file operation of a nested
// analysis, and inputs made to multiply the work.

#include <filesystem>
#include <memory>
#include <gtest/gtest.h>

#include "analysis/analyzer.h"
#include "platform/cfile.h"
#include "support/faults.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::Bytes;
using test::TempDir;

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
        auto hook = std::make_unique<test::RefusingHook>(test::RefusingHook::Rule{std::nullopt, nullptr, step});
        StringReport report;
        Analyzer analyzer(report);
        bool failed = false;
        try {
            analyzer.AnalyzePath(path);
        } catch (const FileError&) {
            failed = true;
        }
        const bool refused = hook->refused;
        const FileOperation refusedOperation = hook->refusedOperation;
        hook.reset();
        EXPECT_TRUE(test::LeftoverTemporaryFiles().empty()) << "step " << step;
        EXPECT_TRUE(report.Text().starts_with("<< " + path + " >>\r\n")) << "step " << step;
        // What was written before an error is a prefix of the clean report,
        // except that a member whose file could not be opened or created is
        // passed over silently.
        if (failed) {
            EXPECT_TRUE(refused);
            EXPECT_NE(refusedOperation, FileOperation::open);
            EXPECT_NE(refusedOperation, FileOperation::create);
        }
        if (!refused) {
            EXPECT_EQ(report.Text(), clean.Text());
            break;
        }
    }
    EXPECT_GT(step, 20);
}

// Work bounded by the input: an archive whose members hold the members
// after them (2^22 routes) and a folder tree in which every folder links
// twice to the next (2^25 routes) are each walked in linear work, and the
// reached limit is told.
TEST(HostileInputTest, SelfSimilarArchiveAndLinkedFoldersCostLinearWork)
{
    const TempDir dir;
    const Bytes archive = test::MakeSelfSimilarArchive(22);
    const std::string path = dir.Write("self.lzh", archive);
    struct Count final : AnalysisObserver {
        void MemberStarted(const MemberInfo& /*member*/) override { ++members; }
        void ProblemFound(const Problem& problem) override { problems.push_back(problem); }
        std::size_t members = 0;
        std::vector<Problem> problems;
    } count;
    StringReport report;
    Analyzer analyzer(report, &count);
    analyzer.AnalyzePath(path);
    const WorkLimits limits;
    EXPECT_EQ(count.members, limits.MembersFor(archive.size()));
    ASSERT_EQ(count.problems.size(), 1U);
    EXPECT_EQ(count.problems[0].Text(Language::English),
              path + ": members beyond " + std::to_string(count.members) + " per file not analysed");

    VESKARI_SKIP_ON_WINDOWS("symbolic links");
    for (int i = 0; i < 25; ++i) {
        const std::string next = "../d" + std::to_string(i + 1);
        (void)dir.MakeFolder("d" + std::to_string(i));
        std::filesystem::create_directory_symlink(next, dir / ("d" + std::to_string(i) + "/a"));
        std::filesystem::create_directory_symlink(next, dir / ("d" + std::to_string(i) + "/b"));
    }
    (void)dir.Write("d25/end.bin", Bytes(10, 0));
    std::string route = dir / "d0";
    for (int i = 0; i < 25; ++i) {
        route += "/a";  // the first route, in byte order; the others lead to folders already walked
    }
    StringReport walked;
    AnalyzePath(walked, dir / "d0");
    EXPECT_EQ(walked.Text(), "<< " + route + "/end.bin >>\r\n");
}

}  // namespace
}  // namespace veskari
