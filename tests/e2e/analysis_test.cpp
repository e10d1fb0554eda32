// Report assembly end to end through the analysis: headlines, blocks,
// folder walks and the unwinding of file errors.

#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "analysis/analyzer.h"
#include "platform/file.h"
#include "records/processor_extensions.h"
#include "support/faults.h"
#include "support/lzh_writer.h"
#include "support/reference_analysis.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::Bytes;
using test::MakeMicrocodeUpdate;
using test::MicrocodeFields;
using test::TempDir;

Bytes Update(std::uint32_t revision, std::uint32_t signature = 0x66D, std::uint32_t flags = 0x40)
{
    MicrocodeFields fields;
    fields.revision = revision;
    fields.signature = signature;
    fields.platformFlags = flags;
    return MakeMicrocodeUpdate(fields);
}

std::string Line(std::uint32_t revision)
{
    char text[96];
    std::snprintf(text, sizeof text, "1999/05/25 Rev. 0x%02X (CPUID 0x66D)  Mobile Pentium II Processor\r\n",
                  revision);
    return text;
}

std::string Analyze(const std::vector<std::string>& paths)
{
    StringReport report;
    Analyzer analyzer(report);
    for (const std::string& path : paths) {
        analyzer.AnalyzePath(path);
    }
    return report.Text();
}

TEST(ReportTest, HeadlinesBlocksAndEmptyLines)
{
    const TempDir dir;
    const std::string a = dir.Write("a.bin", Update(1));
    const std::string none = dir.Write("none.bin", Bytes(5000, 0));
    const std::string missing = dir / "missing.bin";
    EXPECT_EQ(Analyze({a, none, missing}),
              "<< " + a + " >>\r\n < a.bin >\r\n" + Line(1) + "\r\n<< " + none + " >>\r\n\r\n<< " + missing +
                  " >>\r\n");

    // After the report is cleared, the next headline has no empty line before it.
    StringReport report;
    Analyzer analyzer(report);
    analyzer.AnalyzePath(a);
    report.Clear();
    analyzer.AnalyzePath(none);
    EXPECT_EQ(report.Text(), "<< " + none + " >>\r\n");
}

TEST(ReportTest, FolderWalkIsSortedDepthFirstAndSkipsEmptyFolders)
{
    const TempDir dir;
    (void)dir.Write("tree/b.bin", Update(2));
    (void)dir.Write("tree/A.bin", Update(1));
    (void)dir.Write("tree/sub/deeper/x.rom", Update(3));
    (void)dir.Write("tree/sub/empty.bin", Bytes{});
    (void)dir.MakeFolder("tree/sub/nothing");
    (void)dir.Write("tree/sub2/c.bin", Update(4));
    const std::string tree = dir / "tree";
    const auto walked = [&tree](const char* below) { return test::Walked(tree, below); };
    const std::string expected = "<< " + walked("A.bin") + " >>\r\n < A.bin >\r\n" + Line(1) + "\r\n<< " +
                                 walked("b.bin") + " >>\r\n < b.bin >\r\n" + Line(2) + "\r\n<< " +
                                 walked("sub/deeper/x.rom") + " >>\r\n < x.rom >\r\n" + Line(3) + "\r\n<< " +
                                 walked("sub/empty.bin") + " >>\r\n\r\n<< " + walked("sub2/c.bin") +
                                 " >>\r\n < c.bin >\r\n" + Line(4);
    EXPECT_EQ(Analyze({tree}), expected);
    EXPECT_EQ(Analyze({tree + test::kWalkSeparator}), expected);
    EXPECT_EQ(Analyze({dir / "tree/sub/nothing"}), "");

    // A relative folder gives relative entry paths.
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    const std::string relative = Analyze({"tree/sub2"});
    std::filesystem::current_path(here);
    EXPECT_EQ(relative, "<< " + test::Walked("tree/sub2", "c.bin") + " >>\r\n < c.bin >\r\n" + Line(4));
}

TEST(ReportTest, LinksBackIntoTheWalkAreNotFollowedAndSpecialFilesNotOpened)
{
#if defined(_WIN32)
    VESKARI_SKIP_ON_WINDOWS("symbolic links and FIFOs");
#else
    const TempDir dir;
    (void)dir.Write("tree/a.bin", Update(1));
    std::filesystem::create_directory_symlink(dir / "tree", dir / "tree/loop");
    std::filesystem::create_symlink(dir / "tree/a.bin", dir / "tree/link.bin");
    ASSERT_EQ(::mkfifo((dir / "tree/pipe").c_str(), 0600), 0);
    const std::string tree = dir / "tree";
    EXPECT_EQ(Analyze({tree}), "<< " + tree + "/a.bin >>\r\n < a.bin >\r\n" + Line(1) + "\r\n<< " + tree +
                                   "/link.bin >>\r\n < link.bin >\r\n" + Line(1) + "\r\n<< " + tree +
                                   "/pipe >>\r\n");
#endif
}

// The analysis reads each file once for both passes and finds members where
// its listing found them; it must give the bytes of the straightforward
// reading, on images of updates, near misses, members, members of members
// and junk at random offsets, window boundaries included.
TEST(ReportTest, OneReadGivesTheReportOfTheStraightforwardTwoPasses)
{
    const TempDir dir;
    std::mt19937 random(20261207);
    std::size_t nestedBlocks = 0;
    const auto pick = [&random](std::uint32_t bound) { return std::uniform_int_distribution<std::uint32_t>(0, bound - 1)(random); };
    for (int image = 0; image < 40; ++image) {
        Bytes bytes;
        for (int piece = 0; piece < 24; ++piece) {
            MicrocodeFields fields;
            fields.revision = pick(300);
            fields.platformFlags = pick(3) == 0 ? 0x81 : 1U << pick(8);
            fields.signature = 0x600 | pick(0x100);
            switch (pick(6)) {
            case 0:
                test::Append(bytes, MakeMicrocodeUpdate(fields));
                break;
            case 1:
                test::Append(bytes, test::MakeStoredMember("m" + std::to_string(pick(3)), MakeMicrocodeUpdate(fields),
                                                           static_cast<int>(pick(3))));
                break;
            case 2: {
                Bytes inner = MakeMicrocodeUpdate(fields);
                test::Append(inner, test::MakeStoredMember("deep", MakeMicrocodeUpdate(fields), 1));
                test::Append(bytes, test::MakeLh5Member("n.lzh", inner, static_cast<int>(pick(3))));
                break;
            }
            case 3:
                test::Append(bytes, test::MakeMicrocodeHeader(fields));
                break;
            default:
                for (std::uint32_t n = pick(9000); n > 0; --n) {
                    static constexpr std::uint8_t kPatternBytes[] = {'-', 'l', 'h', '5', 0x01};
                    bytes.push_back(pick(5) == 0 ? kPatternBytes[pick(5)] : static_cast<std::uint8_t>(pick(256)));
                }
            }
        }
        const std::string path = dir.Write("image" + std::to_string(image) + ".bin", bytes);
        for (const MicrocodeFormats formats : {MicrocodeFormats::classic, MicrocodeFormats::all}) {
            // With and without the 256-bit scans, where the processor has them.
            for (const bool wide : {true, false}) {
                processorExtensionsAllowed = wide;
                StringReport report;
                Analyzer analyzer(report);
                analyzer.SetMicrocodeFormats(formats);
                analyzer.AnalyzePath(path);
                processorExtensionsAllowed = true;
                EXPECT_EQ(report.Text(), test::ReferenceReport(path, formats)) << path << (wide ? "" : " (16 wide)");
                nestedBlocks += wide && report.Text().find(".lzh/deep >") != std::string::npos ? 1U : 0U;
            }
        }
    }
    EXPECT_GT(nestedBlocks, 20U);  // the images hold what they should
}

TEST(ReportTest, HugeSparseFileIsScannedPastFourGigabytes)
{
    const TempDir dir;
    const std::string path = dir / "big.bin";
    test::WriteFile(path, Update(1));
    // A hole of 4 GiB + 5, then an update: sparse, so it costs no disk.
    std::filesystem::resize_file(path, (std::uint64_t{1} << 32) + 5);
    FILE* file = std::fopen(path.c_str(), "ab");
    ASSERT_NE(file, nullptr);
    const Bytes second = Update(2);
    ASSERT_EQ(std::fwrite(second.data(), 1, second.size(), file), second.size());
    std::fclose(file);
    EXPECT_EQ(Analyze({path}), "<< " + path + " >>\r\n < big.bin >\r\n" + Line(1) + Line(2));
}

TEST(ReportTest, FileErrorUnwindsTheWalkAndKeepsTheReportSoFar)
{
    const TempDir dir;
    (void)dir.Write("tree/a.bin", Update(1));
    (void)dir.Write("tree/b.bin", Update(2));
    (void)dir.Write("tree/c.bin", Update(3));
    const std::string tree = dir / "tree";
    const std::string bad = test::Walked(tree, "b.bin");
    auto hook = std::make_unique<test::RefusingHook>(test::ReadsOf(bad));
    StringReport report;
    Analyzer analyzer(report);
    try {
        analyzer.AnalyzePath(tree);
        ADD_FAILURE() << "no file error";
    } catch (const FileError& failure) {
        EXPECT_EQ(failure.FileName(), bad);
        EXPECT_EQ(failure.Text(Language::English), "A hardware I/O error was reported while accessing " + bad + ".");
    }
    hook.reset();
    EXPECT_EQ(report.Text(), "<< " + test::Walked(tree, "a.bin") + " >>\r\n < a.bin >\r\n" + Line(1) + "\r\n<< " + bad + " >>\r\n");
}

}  // namespace
}  // namespace veskari
