// veskari-scan as a user runs it: the golden reports, options, exit
// statuses and error texts.

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::CommandResult;
using test::RunCommand;
using test::ShellQuote;
using test::TempDir;

const std::string kScan = ShellQuote(VESKARI_SCAN_BINARY);

class GoldenTest : public ::testing::TestWithParam<const char*> {};

TEST_P(GoldenTest, ReportIsByteForByteTheExpectedOne)
{
    const std::string shared = test::SharedDir();
    const std::string golden = shared + "/golden";
    const std::string name = GetParam();
    const CommandResult result = RunCommand(kScan + " --crlf " + name, golden);
    // A member that fails its CRC-16 leaves the report incomplete: told,
    // with status 3, and the report keeps its bytes.
    const bool damaged = name == "lzh_badcrc.bin";
    EXPECT_EQ(result.exitStatus, damaged ? 3 : 0) << result.err;
    EXPECT_EQ(result.err.find("member not analysed, its data is damaged") != std::string::npos, damaged) << result.err;
    // Headlines name what the walk found with the system's separator.
    std::string expected = test::ReadFile(golden + "/" + name + ".expected");
    for (std::size_t at = expected.find("<< "); at != std::string::npos; at = expected.find("<< ", at + 1)) {
        std::replace(expected.begin() + static_cast<std::ptrdiff_t>(at),
                     expected.begin() + static_cast<std::ptrdiff_t>(expected.find(" >>", at)), '/', test::kWalkSeparator);
    }
    EXPECT_EQ(result.out, expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest,
                         ::testing::Values("mc_one.bin", "mc_order.bin", "mc_dates.bin", "mc_skip2048.bin",
                                           "mc_window.bin", "fold_tree", "lzh_l0_lh5.lzh", "lzh_l2_lh7.lzh",
                                           "fw_nested.bin", "lzh_samename.bin", "lzh_dirpart.bin",
                                           "lzh_cp932.bin", "lzh_badcrc.bin"),
                         [](const auto& param) { return test::ParamName(param.param); });

TEST(CliTest, LineEndingsAreLfUnlessAskedForTheReportsOwn)
{
    const TempDir dir;
    test::MicrocodeFields fields;
    const std::string file = dir.Write("one.bin", test::MakeMicrocodeUpdate(fields));
    const std::string missing = dir / "missing";
    const CommandResult lf = RunCommand(kScan + " " + ShellQuote(file) + " " + ShellQuote(missing));
    EXPECT_EQ(lf.exitStatus, 3);  // the missing path is told: the report is incomplete
    EXPECT_EQ(lf.err, "veskari-scan: " + missing + ": cannot be read: not found\n");
    EXPECT_EQ(lf.out, "<< " + file + " >>\n < one.bin >\n1999/05/25 Rev. 0x2A (CPUID 0x652) SECC Pentium II Xeon "
                      "Processor\n\n<< " + missing + " >>\n");
    const CommandResult crlf = RunCommand(kScan + " --crlf -- " + ShellQuote(file));
    EXPECT_EQ(crlf.out, "<< " + file + " >>\r\n < one.bin >\r\n1999/05/25 Rev. 0x2A (CPUID 0x652) SECC Pentium II "
                        "Xeon Processor\r\n");
}

TEST(CliTest, UsageHelpAndVersion)
{
    CommandResult result = RunCommand(kScan);
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_TRUE(result.out.empty());
    EXPECT_EQ(result.err, "veskari-scan: no PATH given\nTry 'veskari-scan --help' for more information.\n");

    result = RunCommand("LC_ALL=C " + kScan + " --bogus x");
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.err.find("veskari-scan: unrecognized option '--bogus'"), std::string::npos) << result.err;

    result = RunCommand(kScan + " --help");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(result.out.starts_with("Usage: veskari-scan [OPTION]... PATH...\n"));

    result = RunCommand(kScan + " --version");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, "veskari-scan 1.0.0.0\n");

    // Usage errors speak the user's language, and the bound of --jobs is where it says.
    result = RunCommand("LC_ALL=ja_JP.UTF-8 " + kScan);
    EXPECT_EQ(result.err, "veskari-scan: PATH が指定されていません\n詳しくは 'veskari-scan --help' を実行してください。\n");
    result = RunCommand("LC_ALL=ja_JP.UTF-8 " + kScan + " --bogus x");
    EXPECT_EQ(result.err, "veskari-scan: 不明なｵﾌﾟｼｮﾝ '--bogus'\n詳しくは 'veskari-scan --help' を実行してください。\n");
    result = RunCommand(kScan + " --jobs 1025 x");
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_TRUE(result.err.starts_with("veskari-scan: --jobs needs a number from 1 to 1024, not '1025'\n")) << result.err;
    // A file of known content: what a scan finds in a built program depends on its compiler.
    const TempDir dir;
    EXPECT_EQ(RunCommand(kScan + " --jobs 1024 " + ShellQuote(dir.Write("one.bin", test::MakeMicrocodeUpdate({}))))
                  .exitStatus,
              0);

    // Output that cannot be written fails, as coreutils do, with the reason.
    VESKARI_SKIP_ON_WINDOWS("/dev/full and a shell to redirect to it");
    for (const char* redirection : {" --help >/dev/full", " --version >&-"}) {
        result = RunCommand("sh -c " + ShellQuote("exec " + kScan + redirection));
        EXPECT_EQ(result.exitStatus, 1) << redirection;
        EXPECT_TRUE(result.err.starts_with("veskari-scan: write error on standard output: ")) << result.err;
        EXPECT_EQ(result.err.find("Success"), std::string::npos) << result.err;
    }
}

// A run whose output cannot be written stops at the first write that fails:
// status 1 and one line, not the problems of the files after it.
TEST(CliTest, WriteErrorStopsTheRunWithOneLine)
{
    VESKARI_SKIP_ON_WINDOWS("/dev/full");
    const TempDir dir;
    const std::string file = ShellQuote(dir.Write("one.bin", test::MakeMicrocodeUpdate({})));
    const std::string missing = ShellQuote(dir / "missing");
    for (const char* mode : {"", "--json-lines ", "--json ", "--csv ", "-v "}) {
        const CommandResult result = RunCommand("LC_ALL=C sh -c " + ShellQuote("exec " + kScan + " " + mode + file +
                                                                               " " + missing + " " + missing +
                                                                               " >/dev/full"));
        EXPECT_EQ(result.exitStatus, 1) << mode;
        // --verbose names the reference of the standings before anything is written.
        std::string err = result.err;
        if (err.starts_with("veskari-scan: standings against ")) {
            err.erase(0, err.find('\n') + 1);
        }
        EXPECT_EQ(err, "veskari-scan: write error on standard output: disk full\n") << mode;
        const CommandResult japanese =
            RunCommand("LC_ALL=ja_JP.UTF-8 sh -c " + ShellQuote("exec " + kScan + " " + mode + file + " >/dev/full"));
        EXPECT_TRUE(japanese.err.ends_with("\nveskari-scan: 標準出力に書き込めません: ﾃﾞｨｽｸがいっぱいです\n") ||
                    japanese.err == "veskari-scan: 標準出力に書き込めません: ﾃﾞｨｽｸがいっぱいです\n")
            << mode << japanese.err;
    }
}

// Reading /proc/self/mem at offset 0 is refused by the system with EIO,
// for any user: a real file error without root-only tricks.
TEST(CliTest, FileErrorEndsTheRunKeepsTheReportAndSpeaksTheLocale)
{
    const TempDir dir;
    const std::string first = dir.Write("first.bin", test::MakeMicrocodeUpdate({}));
    const std::string after = dir.Write("after.bin", test::MakeMicrocodeUpdate({}));
    VESKARI_SKIP_ON_WINDOWS("no file that the system refuses to read for everyone");
    const std::string arguments = " " + ShellQuote(first) + " /proc/self/mem " + ShellQuote(after);

    CommandResult result = RunCommand("LC_ALL= LC_MESSAGES= LANG=C " + kScan + arguments);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "<< " + first + " >>\n < first.bin >\n1999/05/25 Rev. 0x2A (CPUID 0x652) SECC Pentium II "
                          "Xeon Processor\n\n<< /proc/self/mem >>\n");
    EXPECT_EQ(result.err, "veskari-scan: A hardware I/O error was reported while accessing /proc/self/mem.\n");

    result = RunCommand("LC_ALL= LC_MESSAGES= LANG=ja_JP.UTF-8 " + kScan + arguments);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "veskari-scan: /proc/self/mem へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。\n");
}

}  // namespace
}  // namespace veskari
