// The archive pass end to end: members found anywhere, decoded, analysed
// under composed names at any depth, and no temporary file left behind.

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#include "analysis/analyzer.h"
#include "lzh/lzh_decoder.h"
#include "platform/file.h"
#include "records/processor_extensions.h"
#include "support/lzh_writer.h"
#include "support/faults.h"
#include "support/segment_writer.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::Bytes;
using test::LzhMemberFields;
using test::MakeLzhMember;
using test::MakeStoredMember;
using test::MicrocodeFields;
using test::TempDir;

Bytes Update(std::uint32_t revision)
{
    MicrocodeFields fields;
    fields.revision = revision;
    fields.signature = 0x670;
    fields.platformFlags = 0;
    return test::MakeMicrocodeUpdate(fields);
}

std::string Line(std::uint32_t revision)
{
    char text[96];
    std::snprintf(text, sizeof text, "1999/05/25 Rev. 0x%02X (CPUID 0x670) PGA Pentium III Processor\r\n", revision);
    return text;
}

std::string Block(const std::string& name, const std::vector<std::uint32_t>& revisions)
{
    std::string text = " < " + name + " >\r\n";
    for (const std::uint32_t revision : revisions) {
        text += Line(revision);
    }
    return text;
}

std::string Analyze(const std::string& path, AnalysisObserver* observer = nullptr)
{
    StringReport report;
    Analyzer analyzer(report, observer);
    analyzer.AnalyzePath(path);
    return report.Text();
}

TEST(ArchivePassTest, MembersOfMembersComeFirstThenTheFilesOwnBlock)
{
    const TempDir dir;
    Bytes inner = Update(3);
    test::Append(inner, MakeStoredMember("deep.bin", Update(4)));
    Bytes image(1000, 0xFF);
    test::Append(image, test::MakeLh5Member("sub\\m.bin", inner));
    test::Append(image, MakeStoredMember("dir/n.bin", Update(2), 2));
    test::Append(image, Update(1));
    const std::string path = dir.Write("b.rom", image);
    // Stored members keep their bytes as they are, so the updates inside
    // them are also found in the file that holds them.
    EXPECT_EQ(Analyze(path), "<< " + path + " >>\r\n" + Block("b.rom/m.bin/deep.bin", {4}) +
                                 Block("b.rom/m.bin", {3, 4}) + Block("b.rom/dir/n.bin", {2}) + Block("b.rom", {2, 1}));
}

TEST(ArchivePassTest, SameNamesDirectoryEntriesAndBadCrcs)
{
    const TempDir dir;
    Bytes image;
    test::Append(image, MakeStoredMember("m.bin", Update(1)));
    LzhMemberFields directory;
    directory.method = "-lhd-";
    directory.name = "folder";
    test::Append(image, MakeLzhMember(directory));
    Bytes damaged = MakeStoredMember("bad.bin", Update(9));
    damaged[damaged.size() - 100] ^= 1;  // the CRC no longer matches
    test::Append(image, damaged);
    test::Append(image, MakeStoredMember("m.bin", Update(2)));
    Bytes empty = MakeStoredMember("empty.bin", Bytes{});
    test::Append(image, empty);
    Bytes cut = MakeStoredMember("cut.bin", Update(3));
    cut.resize(cut.size() - 1);  // its stored data ends early, with the file
    test::Append(image, cut);
    const std::string path = dir.Write("a.bin", image);
    // The damaged members leave the report incomplete: each is told, and
    // nothing else is (the directory entry and the empty member are sound).
    struct Problems final : AnalysisObserver {
        void ProblemFound(const Problem& problem) override
        {
            told.push_back(problem.Text(Language::English));
        }
        std::vector<std::string> told;
    } problems;
    // The damaged member's update is still in the outer file itself.
    EXPECT_EQ(Analyze(path, &problems), "<< " + path + " >>\r\n" + Block("a.bin/m.bin", {1}) +
                                            Block("a.bin/m.bin", {2}) + Block("a.bin", {1, 9, 2, 3}));
    EXPECT_EQ(problems.told, (std::vector<std::string>{"a.bin/bad.bin: member not analysed, its data is damaged",
                                                       "a.bin/cut.bin: member not analysed, its data is damaged"}));
}

// A member passed over (here one announcing more than 256 MiB) hides
// nothing: the next member is analysed where the listing found it, never a
// member of the same name hidden in the passed-over member's data.
TEST(ArchivePassTest, MembersAreAnalysedWhereTheListingFoundThem)
{
    const TempDir dir;
    LzhMemberFields big;
    big.name = "big.bin";
    big.data = MakeStoredMember("fw.bin", Update(9));  // the decoy
    big.decodedSize = LzhDecoder::kMaxDecodedSize + 1;
    Bytes image = MakeLzhMember(big);
    test::Append(image, MakeStoredMember("fw.bin", Update(2)));
    const std::string path = dir.Write("a.bin", image);
    EXPECT_EQ(Analyze(path), "<< " + path + " >>\r\n" + Block("a.bin/fw.bin", {2}) + Block("a.bin", {9, 2}));
}

TEST(ArchivePassTest, Cp932NamesAreShortenedAtRealBackslashesAndConverted)
{
    const TempDir dir;
    Bytes image;
    test::Append(image, MakeStoredMember("\x97\x5C\x92\xE8\x95\x5C.bin", Update(1)));  // trail bytes 0x5C
    test::Append(image, MakeStoredMember("dir\\\xB6\xC5.bin", Update(2)));
    test::Append(image, MakeStoredMember("x\xA0.bin", Update(3)));
    const std::string path = dir.Write("c.bin", image);
    const std::string report = Analyze(path);
    EXPECT_NE(report.find(" < c.bin/予定表.bin >\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find(" < c.bin/ｶﾅ.bin >\r\n"), std::string::npos) << report;
    EXPECT_NE(report.find(" < c.bin/x\xEF\xBF\xBD.bin >\r\n"), std::string::npos) << report;
}

TEST(ArchivePassTest, ArchiveAtAnOddOffsetAcrossAWindowBoundaryAndALargeStoredMember)
{
    const TempDir dir;
    Bytes image(7997, 0x11);  // the identifier straddles the first 8000-byte step
    Bytes big(65537, 0);
    std::copy_n(Update(7).begin(), 2048, big.begin() + 63000);
    test::Append(image, MakeStoredMember("big.bin", big, 1));
    const std::string path = dir.Write("odd.bin", image);
    EXPECT_EQ(Analyze(path), "<< " + path + " >>\r\n" + Block("odd.bin/big.bin", {7}) + Block("odd.bin", {7}));
}

TEST(ArchivePassTest, RealUpdatesInsideMembers)
{
    const std::string shared = test::SharedDir();
    const TempDir dir;
    const std::string update = test::ReadFile(shared + "/testdata/microcode/06-05-00");
    Bytes image(333, 0);
    test::Append(image, test::MakeLh5Member("06-05-00", Bytes(update.begin(), update.end()), 2));
    const std::string path = dir.Write("fw.bin", image);
    EXPECT_EQ(Analyze(path), "<< " + path + " >>\r\n < fw.bin/06-05-00 >\r\n"
                              "1999/05/25 Rev. 0x40 (CPUID 0x650) SECC/SEPP Pentium II Processor/Celeron Processor\r\n"
                              "1999/05/25 Rev. 0x41 (CPUID 0x650) Mini-Cart Pentium II Processor\r\n"
                              "1999/05/25 Rev. 0x45 (CPUID 0x650) MMC1/MMC2 Pentium II Processor\r\n");
}

// A member that announces gigabytes of zeros (with a stored CRC of 0) is
// refused by the size bound instead of filling the disk.
TEST(ArchivePassTest, DecompressionBombIsRefused)
{
    const std::string shared = test::SharedDir();
    const std::string path = shared + "/testdata/lhasa/archives/morphos_lha_2717/h2_huge.lzh";
    EXPECT_EQ(Analyze(path), "<< " + path + " >>\r\n");

    const TempDir dir;
    LzhMemberFields bomb;
    bomb.method = "-lh0-";
    bomb.data = Bytes(5000, 0);
    bomb.decodedSize = 0xFFFFFFF0;
    const std::string file = dir.Write("bomb.bin", MakeLzhMember(bomb));
    EXPECT_EQ(Analyze(file), "<< " + file + " >>\r\n");
}

// All members of one top-level file share one decoding budget, nested
// members included; a member beyond it is passed over as too large.
TEST(ArchivePassTest, MembersOfOneFileShareADecodingBudget)
{
    const TempDir dir;
    Bytes image;
    for (int i = 0; i < 4; ++i) {
        Bytes content(300000, 0);
        std::copy_n(Update(static_cast<std::uint32_t>(i + 1)).begin(), 2048, content.begin());
        test::Append(image, MakeStoredMember("m" + std::to_string(i) + ".bin", content));
    }
    const std::string path = dir.Write("budget.bin", image);

    struct Outcomes final : AnalysisObserver {
        void MemberFinished(const MemberInfo& /*member*/, MemberOutcome outcome) override { seen.push_back(outcome); }
        std::vector<MemberOutcome> seen;
    } outcomes;
    StringReport report;
    Analyzer analyzer(report, &outcomes);
    WorkLimits limits;
    // Exactly three members' worth, and a byte less.
    for (const std::uint64_t budget : {900000U, 899999U}) {
        outcomes.seen.clear();
        limits.decodedBytes = budget;
        analyzer.SetLimits(limits);
        analyzer.AnalyzePath(path);
        const MemberOutcome third = budget == 900000 ? MemberOutcome::analysed : MemberOutcome::limitReached;
        EXPECT_EQ(outcomes.seen, (std::vector<MemberOutcome>{MemberOutcome::analysed, MemberOutcome::analysed, third,
                                                             MemberOutcome::limitReached}))
            << budget;
    }
    // The budget starts again for the next top-level file.
    outcomes.seen.clear();
    analyzer.AnalyzePath(path);
    EXPECT_EQ(outcomes.seen.front(), MemberOutcome::analysed);
}

// The bounds on one member's size and on the members of a file hold
// exactly: a member may announce 256 MiB but not a byte more, and a flat
// archive with one member beyond the limit has it told.
TEST(ArchivePassTest, MemberSizeAndCountAtTheirBounds)
{
    struct Seen final : AnalysisObserver {
        void MemberFinished(const MemberInfo& /*member*/, MemberOutcome outcome) override { outcomes.push_back(outcome); }
        void ProblemFound(const Problem& problem) override { problems.push_back(problem.kind); }
        std::vector<MemberOutcome> outcomes;
        std::vector<ProblemKind> problems;
    };
    const TempDir dir;
    for (const std::uint32_t announced : {LzhDecoder::kMaxDecodedSize, LzhDecoder::kMaxDecodedSize + 1}) {
        LzhMemberFields fields;
        fields.data = Bytes(10, 0);  // far less than announced: the data ends early
        fields.decodedSize = announced;
        const std::string path = dir.Write("size.bin", MakeLzhMember(fields));
        Seen seen;
        StringReport report;
        Analyzer analyzer(report, &seen);
        analyzer.AnalyzePath(path);
        const bool tooLarge = announced > LzhDecoder::kMaxDecodedSize;
        ASSERT_EQ(seen.outcomes.size(), 1U);
        EXPECT_EQ(seen.outcomes[0] == MemberOutcome::tooLarge, tooLarge) << announced;
        EXPECT_EQ(std::count(seen.problems.begin(), seen.problems.end(), ProblemKind::memberTooLarge), tooLarge ? 1 : 0);
    }

    WorkLimits limits;
    limits.baseMembers = 3;
    limits.bytesPerMember = 0;
    for (const int members : {3, 4, 5}) {
        Bytes image;
        for (int i = 0; i < members; ++i) {
            test::Append(image, MakeStoredMember("m" + std::to_string(i), Update(static_cast<std::uint32_t>(i + 1))));
        }
        const std::string path = dir.Write("flat.bin", image);
        Seen seen;
        StringReport report;
        Analyzer analyzer(report, &seen);
        analyzer.SetLimits(limits);
        analyzer.AnalyzePath(path);
        EXPECT_EQ(seen.outcomes, std::vector<MemberOutcome>(3, MemberOutcome::analysed)) << members;
        EXPECT_EQ(seen.problems, members > 3 ? std::vector<ProblemKind>{ProblemKind::memberLimit}
                                             : std::vector<ProblemKind>{})
            << members;
    }
}

TEST(ArchivePassTest, NestingStopsExpandingBelowSixteenLevels)
{
    const TempDir dir;
    Bytes current = Update(1);
    std::string expectedName = "deep.bin";
    for (int level = 0; level < 18; ++level) {
        Bytes wrapped = Update(static_cast<std::uint32_t>(level + 2));
        test::Append(wrapped, MakeStoredMember("n.bin", current));
        current = wrapped;
    }
    const std::string path = dir.Write("deep.bin", current);
    const std::string report = Analyze(path);
    // Levels 1 to 16 are expanded and scanned; level 16's own members are not.
    std::string deepest = "deep.bin";
    for (int level = 0; level < 16; ++level) {
        deepest += "/n.bin";
    }
    EXPECT_NE(report.find(" < " + deepest + " >\r\n"), std::string::npos);
    EXPECT_EQ(report.find(" < " + deepest + "/n.bin >\r\n"), std::string::npos);
}

TEST(ArchivePassTest, FileErrorsOnMemberFilesEndTheAnalysisCleanly)
{
    const TempDir dir;
    Bytes inner = MakeStoredMember("deep.bin", Update(2));
    Bytes image = MakeStoredMember("m.bin", inner);
    test::Append(image, Update(1));
    const std::string path = dir.Write("n.bin", image);
    for (const FileOperation operation :
         {FileOperation::write, FileOperation::read, FileOperation::seek, FileOperation::close}) {
        for (int step = 1; step <= 6; ++step) {
            // The files of decoded members are named by their composed names.
            auto hook = std::make_unique<test::RefusingHook>(test::RefusingHook::Rule{
                operation, [](const std::string& file) { return file.starts_with("n.bin/"); }, step});
            StringReport report;
            Analyzer analyzer(report);
            bool failed = false;
            try {
                analyzer.AnalyzePath(path);
            } catch (const FileError& failure) {
                failed = true;
                EXPECT_TRUE(failure.FileName().starts_with("n.bin/"));
            }
            hook.reset();
            EXPECT_TRUE(report.Text().starts_with("<< " + path + " >>\r\n"));
            if (!failed) {
                EXPECT_EQ(report.Text(), "<< " + path + " >>\r\n" + Block("n.bin/m.bin/deep.bin", {2}) +
                                             Block("n.bin/m.bin", {2}) + Block("n.bin", {2, 1}));
            }
            EXPECT_TRUE(test::LeftoverTemporaryFiles().empty())
                << static_cast<int>(operation) << " at step " << step;
        }
    }
}

// Compressed segments are members like LZH ones: found anywhere, decoded,
// analysed under the name their header gives (load address, or where they
// lie when it gives none), at any depth and nested both ways with LZH
// members; LZH members are expanded first, then segments, each in file
// order. A segment whose data is cut is told as damaged and gives no block.
TEST(SegmentPassTest, SegmentsNestBothWaysWithLzhMembersAndCutOnesAreDamaged)
{
    struct Outcomes final : AnalysisObserver {
        void MemberFinished(const MemberInfo& member, MemberOutcome outcome) override
        {
            seen.push_back(member.displayName + (member.container == ContainerFormat::segment ? " segment " : " lzh ") +
                           OutcomeName(outcome));
        }
        std::vector<std::string> seen;
    } outcomes;

    Bytes inLzh = test::MakeSegment(Update(6), 0x05, 0);
    Bytes image(777, 0xFF);
    test::Append(image, test::MakeSegment(Update(5)));
    test::Append(image, test::MakeLh5Member("m.bin", inLzh));
    test::Append(image, test::MakeSegment(test::MakeLh5Member("in.bin", Update(7)), 0x0A, 0xD000));
    test::Append(image, Update(1));
    const Bytes sound = image;
    // Cut: a segment at the end whose data runs past the end of the file.
    Bytes cut = test::MakeSegment(Update(8), 0x02, 0x2000);
    cut.resize(cut.size() - 10);
    test::Append(image, cut);

    const TempDir dir;
    const std::string path = dir.Write("b.rom", image);
    EXPECT_EQ(Analyze(path, &outcomes), "<< " + path + " >>\r\n" + Block("b.rom/m.bin/seg05-at-00000000", {6}) +
                                            Block("b.rom/seg09-E0000", {5}) + Block("b.rom/seg0A-D0000/in.bin", {7}) +
                                            Block("b.rom", {1}));
    const std::vector<std::string> expected = {
        "b.rom/m.bin/seg05-at-00000000 segment analysed", "b.rom/m.bin lzh analysed",
        "b.rom/seg09-E0000 segment analysed",           "b.rom/seg0A-D0000/in.bin lzh analysed",
        "b.rom/seg0A-D0000 segment analysed",           "b.rom/seg02-20000 segment damaged",
    };
    EXPECT_EQ(outcomes.seen, expected);
    // The search without 256-bit vectors finds the same.
    processorExtensionsAllowed = false;
    const std::string plain = Analyze(path);
    processorExtensionsAllowed = true;
    EXPECT_EQ(plain, Analyze(path));

    // The command line extracts a segment's decoded bytes like a member's.
    const std::string sealed = dir.Write("sound.rom", sound);
    const std::string out = dir / "out";
    const test::CommandResult run = test::RunCommand(test::ShellQuote(VESKARI_SCAN_BINARY) + " --extract " +
                                                     test::ShellQuote(out) + " --extract-members " +
                                                     test::ShellQuote(sealed));
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        if (entry.path().filename().string().find("seg09-E0000") != std::string::npos) {
            found = true;
            const std::string bytes = test::ReadFile(entry.path().string());
            EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), Update(5));
        }
    }
    EXPECT_TRUE(found);
}

}  // namespace
}  // namespace veskari
