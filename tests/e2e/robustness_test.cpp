// Hostile input end to end: every refused file operation of a nested
// analysis, and inputs made to multiply the work.

#include <filesystem>
#include <memory>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "analysis/analyzer.h"
#include "output/json_output.h"
#include "platform/file.h"
#include "verbose_output.h"
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
// The JSON object and the verbose lines of one top-level file, drawing
// from `budget` (nullptr: unbounded).
std::pair<std::string, std::string> JsonAndVerbose(const std::string& path, output::OutputBudget* budget)
{
    output::JsonRecorder json(output::JsonStyle{}, 0, true, false, Language::English,
                              &ReleaseReference::Public(), budget);
    cli::VerboseRecorder verbose(ReleaseReference::Public(), Language::English, budget);
    ObserverFanOut both;
    both.Add(&json);
    both.Add(&verbose);
    StringReport report;
    Analyzer analyzer(report, &both);
    analyzer.AnalyzePath(path);
    return {json.Text(), verbose.Text()};
}

// Members that repeat themselves multiply the detail of their file far past
// its size: what its JSON object and verbose lines hold stays within the
// budget, the members kept are the outer ones, with their analyses, and the
// cut is told in the object. An ordinary nested image is not touched by it.
TEST(HostileInputTest, RepeatingMembersKeepTheirDetailWithinTheOutputBudget)
{
    const TempDir dir;
    const std::string hostile = dir.Write("self.lzh", test::MakeSelfSimilarArchive(22));
    constexpr std::uint64_t kLimit = 256 << 10;
    const auto [unboundedJson, unboundedVerbose] = JsonAndVerbose(hostile, nullptr);
    ASSERT_GT(unboundedJson.size() + unboundedVerbose.size(), 8 * kLimit);

    output::OutputBudget budget(kLimit);
    const auto [json, verbose] = JsonAndVerbose(hostile, &budget);
    EXPECT_TRUE(budget.Reached());
    EXPECT_LE(json.size() + verbose.size(), kLimit);
    EXPECT_GT(json.size() + verbose.size(), kLimit / 2);
    const nlohmann::json object = nlohmann::json::parse(json);
    EXPECT_EQ(object["cut"], true);
    ASSERT_FALSE(object["problems"].empty());
    EXPECT_EQ(object["problems"].back()["kind"], "outputLimit");
    EXPECT_EQ(object["problems"].back()["amount"], kLimit);
    ASSERT_EQ(object["members"].size(), 1U);
    EXPECT_EQ(object["members"][0]["name"], "m1");
    EXPECT_FALSE(object["members"][0]["analysis"]["members"].empty());

    test::MicrocodeFields fields;
    Bytes inner = test::MakeMicrocodeUpdate(fields);
    test::Append(inner, test::MakeStoredMember("deep.bin", test::MakeMicrocodeUpdate(fields)));
    Bytes image(3000, 0xFF);
    test::Append(image, test::MakeStoredMember("m.bin", inner, 1));
    test::Append(image, test::MakeStoredMember("n.bin", test::MakeMicrocodeUpdate(fields), 2));
    const std::string ordinary = dir.Write("fw.bin", image);
    output::OutputBudget ample(64 << 10);
    EXPECT_EQ(JsonAndVerbose(ordinary, &ample), JsonAndVerbose(ordinary, nullptr));
    EXPECT_FALSE(ample.Reached());
}

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

// Level-2 headers every 32 bytes, each stating a size of 32 bytes but with
// a chain that names it with almost 64,000 bytes running over the headers
// after it (the chains end on zero bytes of later headers). Listed, 256 KiB
// would hold some 6,000 such names; every header is rejected, having
// walked no further than its stated size.
TEST(HostileInputTest, NamesRunningOverTheHeadersAfterThemAreRejected)
{
    constexpr std::size_t kStride = 32;
    constexpr std::size_t kFileSize = 256 * 1024;
    test::LzhMemberFields fields;
    fields.level = 2;
    fields.extended = {{1, Bytes{'n'}}};
    Bytes unit = test::MakeLzhMember(fields);
    unit.resize(kStride);
    test::PutLe16(unit, 0, kStride);
    // The chain ends on bytes 17 and 18 (the time stamp, zero) of the
    // header 2,000 places further on.
    test::PutLe16(unit, 24, 2000 * kStride + 17 - 24);
    Bytes file;
    while (file.size() < kFileSize) {
        test::Append(file, unit);
    }
    const TempDir dir;
    const std::string path = dir.Write("names.bin", file);

    struct Seen final : AnalysisObserver {
        [[nodiscard]] bool WantsRejections() const override { return true; }
        void MemberStarted(const MemberInfo& member) override { nameBytes += member.rawName.size(); }
        void CandidateRejected(RecordKind kind, std::uint64_t /*offset*/, const std::string& message,
                               bool /*malformed*/) override
        {
            if (kind == RecordKind::lzh && message == "未知のヘッダー形式") {
                ++malformed;
            }
        }
        std::size_t nameBytes = 0;
        std::size_t malformed = 0;
    } seen;
    StringReport report;
    Analyzer analyzer(report, &seen);
    analyzer.AnalyzePath(path);
    EXPECT_EQ(seen.malformed, kFileSize / kStride);
    EXPECT_LE(seen.nameBytes, kFileSize);
}

}  // namespace
}  // namespace veskari
