// The command line beyond the report: JSON, verbose diagnostics, checksums,
// extraction and parallel jobs.

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#if defined(_WIN32)
#include "platform/windows/windows_api.h"
#else
#include <sys/stat.h>
#endif

#include "output/csv_output.h"
#include "output/extraction.h"
#include "output/json_text.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::Bytes;
using test::CommandResult;
using test::MakeStoredMember;
using test::RunCommand;
using test::ShellQuote;
using test::TempDir;

const std::string kScan = ShellQuote(VESKARI_SCAN_BINARY);

Bytes Update(std::uint32_t revision, bool validChecksum = true)
{
    test::MicrocodeFields fields;
    fields.revision = revision;
    Bytes update = test::MakeMicrocodeUpdate(fields);
    if (validChecksum) {
        // Make the 512 dwords add up to 0 through the checksum field.
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < update.size(); i += 4) {
            sum += static_cast<std::uint32_t>(update[i]) | (static_cast<std::uint32_t>(update[i + 1]) << 8) |
                   (static_cast<std::uint32_t>(update[i + 2]) << 16) | (static_cast<std::uint32_t>(update[i + 3]) << 24);
        }
        test::PutLe32(update, 16, 0U - sum);
    }
    return update;
}

json Scan(const std::string& arguments, int exitStatus = 0)
{
    const CommandResult result = RunCommand(kScan + " --json " + arguments);
    EXPECT_EQ(result.exitStatus, exitStatus) << result.err;
    return json::parse(result.out);
}

TEST(CliJsonTest, FilesMembersAndUpdatesWithTheirFields)
{
    const TempDir dir;
    Bytes image;
    Bytes inner = Update(2);
    test::Append(inner, MakeStoredMember("deep.bin", Update(3), 2));
    test::Append(image, MakeStoredMember("sub\\m.bin", inner, 1));
    test::Append(image, MakeStoredMember("m.bin", Bytes(10, 0)));
    test::Append(image, MakeStoredMember("\x97\x5C\x92\xE8.bin", Bytes(10, 0)));  // 予定 in code page 932
    test::Append(image, MakeStoredMember("ctl\x1B[31m.bin", Bytes(10, 0)));
    Bytes damaged = MakeStoredMember("bad.bin", Bytes(100, 1));
    damaged[damaged.size() - 1] ^= 1;
    test::Append(image, damaged);
    test::Append(image, Update(1, false));
    const std::string path = dir.Write("fw.bin", image);

    const json document = Scan(ShellQuote(path) + " " + ShellQuote(dir / "missing"), 3);
    EXPECT_EQ(document["tool"], "veskari-scan");
    EXPECT_TRUE(document["error"].is_null());
    ASSERT_EQ(document["paths"].size(), 2U);
    const json& file = document["paths"][0]["files"][0];
    EXPECT_EQ(file["path"], path);
    EXPECT_EQ(file["displayName"], "fw.bin");
    EXPECT_TRUE(file["opened"]);
    const json& missing = document["paths"][1]["files"][0];
    EXPECT_FALSE(missing["opened"]);
    EXPECT_EQ(missing["problems"][0]["kind"], "cannotOpen");
    EXPECT_EQ(missing["problems"][0]["cause"], "fileNotFound");

    const json& members = file["members"];
    ASSERT_EQ(members.size(), 5U);
    EXPECT_EQ(members[0]["name"], "sub\\m.bin");
    EXPECT_EQ(members[0]["nameHex"], "7375625c6d2e62696e");
    EXPECT_EQ(members[0]["displayName"], "fw.bin/m.bin");
    EXPECT_EQ(members[0]["method"], "-lh0-");
    EXPECT_EQ(members[0]["headerLevel"], 1);
    EXPECT_EQ(members[0]["headerOffset"], 0);
    EXPECT_EQ(members[0]["outcome"], "analysed");
    const json& nested = members[0]["analysis"];
    EXPECT_EQ(nested["members"][0]["analysis"]["updates"][0]["chain"], json({"fw.bin", "m.bin", "deep.bin"}));
    EXPECT_EQ(nested["updates"][0]["revision"], 2);
    EXPECT_EQ(members[1]["displayName"], "fw.bin/m.bin");  // a second member of the same name
    EXPECT_EQ(members[2]["name"], "予定.bin");
    EXPECT_EQ(members[3]["name"], "ctl\x1B[31m.bin");  // escaped by the JSON writer
    EXPECT_EQ(members[4]["outcome"], "crc mismatch");

    const json& updates = file["updates"];
    ASSERT_EQ(updates.size(), 3U);  // the stored members' updates are in the file's bytes too
    const json& last = updates[2];
    EXPECT_EQ(last["revision"], 1);
    EXPECT_EQ(last["signature"], 0x652);
    EXPECT_EQ(last["platformFlags"], 4);
    EXPECT_EQ(last["dateText"], "1999/05/25");
    EXPECT_EQ(last["date"], 0x05251999);
    EXPECT_EQ(last["loaderRevision"], 1);
    EXPECT_EQ(last["package"], "SECC");
    EXPECT_EQ(last["processor"], "Pentium II Xeon Processor");
    EXPECT_FALSE(last["checksumValid"]);
    EXPECT_TRUE(updates[0]["checksumValid"]);
    EXPECT_EQ(last["line"], "1999/05/25 Rev. 0x01 (CPUID 0x652) SECC Pentium II Xeon Processor");
}

TEST(CliJsonTest, RealUpdatesHaveValidChecksumsAndAFlippedByteBreaksIt)
{
    const std::string shared = test::SharedDir();
    const std::string folder = shared + "/testdata/microcode";
    const json document = Scan(ShellQuote(folder));
    int updates = 0;
    for (const json& file : document["paths"][0]["files"]) {
        for (const json& update : file["updates"]) {
            EXPECT_TRUE(update["checksumValid"]) << file["path"];
            ++updates;
        }
    }
    EXPECT_EQ(updates, 48);

    const TempDir dir;
    std::string bytes = test::ReadFile(folder + "/06-05-00");
    bytes[1000] = static_cast<char>(bytes[1000] ^ 0x40);
    const std::string flipped = dir.Write("flipped", Bytes(bytes.begin(), bytes.end()));
    const json one = Scan(ShellQuote(flipped));
    EXPECT_FALSE(one["paths"][0]["files"][0]["updates"][0]["checksumValid"]);
    EXPECT_TRUE(one["paths"][0]["files"][0]["updates"][1]["checksumValid"]);
}

TEST(CliVerboseTest, EveryRejectionWithItsDiagnostic)
{
    const TempDir dir;
    Bytes image(64, 0);
    test::MicrocodeFields badMonth;
    badMonth.date = test::MicrocodeDate(0x1999, 0x13, 1);
    test::Append(image, test::MakeMicrocodeHeader(badMonth));
    image.resize(3000, 0);
    Bytes badSum = MakeStoredMember("x.bin", Bytes(4, 1));
    badSum[1] ^= 0xFF;
    test::Append(image, badSum);
    test::Append(image, Update(5));
    const std::string path = dir.Write("v.bin", image);

    // Rejections speak the user's language: the records' own diagnostics
    // under a Japanese locale, translated with their values elsewhere.
    const CommandResult result = RunCommand("LC_ALL=C " + kScan + " --verbose " + ShellQuote(path));
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, RunCommand(kScan + " " + ShellQuote(path)).out);  // the report is unchanged
    EXPECT_NE(result.err.find(path + ": microcode candidate at 0x40 rejected: month out of range 19\n"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find(path + ": LZH header at 0xBB8 rejected: header checksum differs 46 / B9"),
              std::string::npos)
        << result.err;
    const CommandResult japanese = RunCommand("LC_ALL=ja_JP.UTF-8 " + kScan + " --verbose " + ShellQuote(path));
    EXPECT_NE(japanese.err.find(path + ": microcode candidate at 0x40 rejected: 変な月 19\n"), std::string::npos)
        << japanese.err;
    EXPECT_NE(result.err.find(path + ": update at 0xBD9 (CPUID 0x652, flags 0x04, Rev. 0x05): checksum valid\n"),
              std::string::npos)
        << result.err;

    const json document = json::parse(RunCommand("LC_ALL=C " + kScan + " --json --verbose " + ShellQuote(path)).out);
    const json& rejected = document["paths"][0]["files"][0]["rejected"];
    ASSERT_GE(rejected.size(), 2U);
    EXPECT_EQ(rejected[0], json({{"kind", "lzh"},
                                 {"offset", 3000},
                                 {"code", "headerChecksum"},
                                 {"message", "ヘッダーチェックサムが違います 46 / B9"},
                                 {"text", "header checksum differs 46 / B9"},
                                 {"malformed", true}}))
        << rejected.dump();
}

TEST(CliExtractTest, WritesUpdatesAndMembersInsideTheFolderOnly)
{
    const TempDir dir;
    Bytes image;
    for (const char* name : {"../escape.bin", "/etc/abs.bin", "a\\..\\b.bin", "..", "dir/x.bin"}) {
        test::Append(image, MakeStoredMember(name, Update(7)));
    }
    const std::string path = dir.Write("fw.bin", image);
    const std::string out = dir / "out";
    for (int run = 0; run < 2; ++run) {
        const CommandResult result =
            RunCommand(kScan + " --extract " + ShellQuote(out) + " --extract-members " + ShellQuote(path));
        EXPECT_EQ(result.exitStatus, 0) << result.err;
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out)) {
        names.push_back(entry.path().filename().string());
        EXPECT_TRUE(entry.is_regular_file());
    }
    std::sort(names.begin(), names.end());
    EXPECT_TRUE(std::find(names.begin(), names.end(), "fw.bin_.._escape.bin") != names.end());
    EXPECT_TRUE(std::find(names.begin(), names.end(), "fw.bin__etc_abs.bin") != names.end());
    EXPECT_TRUE(std::find(names.begin(), names.end(), "fw.bin_b.bin") != names.end());
    EXPECT_TRUE(std::find(names.begin(), names.end(), "fw.bin_.._escape-1.bin") != names.end());  // never overwritten
    // The first member's header is 37 bytes long: its update starts at 0x25.
    EXPECT_TRUE(std::find(names.begin(), names.end(), "fw.bin@0x25_cpu652_pf04_rev07.bin") != names.end());
    // Nothing outside the folder.
    EXPECT_FALSE(fs::exists(dir / "escape.bin"));
    EXPECT_FALSE(fs::exists(dir.Path() + "/out/../escape.bin"));
    EXPECT_EQ(fs::file_size(out + "/fw.bin@0x25_cpu652_pf04_rev07.bin"), 2048U);
    EXPECT_EQ(names.size(), 2U * (5 + 5 + 5));  // per run: 5 members, their 5 updates, 5 updates in fw.bin
}

// Names with control bytes and bytes that are not UTF-8 keep every byte in
// JSON: controls escaped up to 0x1F (the document parses), DEL as it is, and
// beside a chain with such a name its hex form.
TEST(CliJsonTest, EveryByteOfAnyNameSurvives)
{
    VESKARI_SKIP_ON_WINDOWS("file names that are not UTF-8");
    const TempDir dir;
    const std::string name = "x\x1F\x7F\xFF.bin";
    const std::string path = dir.Write(name, MakeStoredMember("m\x1F.bin", Update(3)));
    const CommandResult result = RunCommand("LC_ALL=C " + kScan + " --json " + ShellQuote(path));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.out.find("\"m\\u001f.bin\""), std::string::npos) << result.out;
    const json document = json::parse(result.out);
    std::vector<json> chains;
    const std::function<void(const json&)> collect = [&](const json& node) {
        if (node.is_object() && node.contains("chainHex")) {
            chains.push_back(node["chainHex"]);
        }
        if (node.is_structured()) {
            for (const json& child : node) {
                collect(child);
            }
        }
    };
    collect(document);
    ASSERT_EQ(chains.size(), 2U);  // the update in the member, and the same update seen in the file
    EXPECT_EQ(chains[0], json({output::HexOf(name), output::HexOf("m\x1F.bin")})) << chains[0].dump();
    EXPECT_EQ(document["paths"][0]["files"][0]["displayNameHex"], output::HexOf(name));
}

// A counter changes only the member's own part of a name, so that no
// member of one file takes the name of a member of another; a DIR that is
// a file is told as such.
TEST(CliExtractTest, CountersNeverMakeTheNameOfAnotherFilesMember)
{
    const TempDir dir;
    Bytes twice = MakeStoredMember("README", Bytes(8, 1));
    test::Append(twice, MakeStoredMember("README", Bytes(8, 2)));
    test::Append(twice, MakeStoredMember("BIOS.ROM", Bytes(8, 3)));
    test::Append(twice, MakeStoredMember("BIOS.ROM", Bytes(8, 4)));
    const std::string first = dir.Write("fw.bin", twice);
    const std::string second = dir.Write("fw-1.bin", MakeStoredMember("README", Bytes(8, 5)));
    const std::string out = dir / "out";
    const CommandResult result = RunCommand(kScan + " --extract " + ShellQuote(out) + " --extract-members " +
                                            ShellQuote(first) + " " + ShellQuote(second));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"fw-1.bin_README", "fw.bin_BIOS-1.ROM", "fw.bin_BIOS.ROM",
                                               "fw.bin_README", "fw.bin_README-1"}));
    EXPECT_EQ(test::ReadFile(out + "/fw-1.bin_README"), std::string(8, '\x05'));

    const CommandResult notFolder = RunCommand(kScan + " --extract " + ShellQuote(first) + " " + ShellQuote(second));
    EXPECT_EQ(notFolder.exitStatus, 1);
    EXPECT_EQ(notFolder.err, "veskari-scan: " + first + " is not a folder\n");
}

// An extraction folder inside the walked folder is never read, so the
// report neither grows with what the run writes nor depends on --jobs.
TEST(CliExtractTest, TheRunNeverReadsItsOwnExtractionFolder)
{
    const TempDir dir;
    for (int i = 0; i < 12; ++i) {
        (void)dir.Write("tree/f" + std::to_string(i), MakeStoredMember("m.bin", Update(static_cast<std::uint32_t>(i + 1))));
    }
    const std::string tree = ShellQuote(dir / "tree");
    const std::string expected = RunCommand(kScan + " " + tree).out;
    for (const char* jobs : {"-j1", "-j4", "-j1"}) {  // the last run meets the files of the first two
        const CommandResult result = RunCommand(kScan + " " + jobs + " -v --extract-members --extract " +
                                                ShellQuote(dir / "tree/out") + " " + tree);
        EXPECT_EQ(result.exitStatus, 0) << jobs << result.err;
        EXPECT_EQ(result.out, expected) << jobs;
        EXPECT_NE(result.err.find(test::Walked(dir / "tree", "out") + ": the extraction folder of this run, not read\n"),
                  std::string::npos)
            << result.err;
    }
    // Per run and file: the member, its update, and the same update in the file.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "tree/out"), fs::directory_iterator()), 3 * 3 * 12);
    // Named as a PATH, it is passed over too.
    EXPECT_EQ(RunCommand(kScan + " --extract " + ShellQuote(dir / "tree/out") + " " + ShellQuote(dir / "tree/out")).out,
              "");
}

TEST(CliExtractTest, NamesAreOneSafeComponent)
{
    EXPECT_EQ(output::ExtractionName("a/b/../c"), "a_b_.._c");
#if defined(_WIN32)
    EXPECT_EQ(output::ExtractionName(".."), "_._");  // Windows would drop a trailing dot
#else
    EXPECT_EQ(output::ExtractionName(".."), "_..");
#endif
    EXPECT_EQ(output::ExtractionName(""), "_");
    EXPECT_EQ(output::ExtractionName("x\ny"), "x_y");
    EXPECT_EQ(output::ExtractionName(std::string(300, 'a')).size(), 200U);
    EXPECT_EQ(output::ExtractionName("a\x7F" "b\x1F" "c d~"), "a_b_c d~");  // DEL and the last C0 control
    // A long name loses the end of its stem, never its extension nor part of a character.
    std::string wide = "aa";
    for (int i = 0; i < 100; ++i) {
        wide += "予";
    }
    std::string kept = "aa";
    for (int i = 0; i < 64; ++i) {
        kept += "予";
    }
    EXPECT_EQ(output::ExtractionName("fw.bin/" + wide + ".bin"), "fw.bin_" + kept.substr(0, 2 + 3 * 62) + ".bin");
    EXPECT_EQ(output::ExtractionName(wide + ".bin"), kept + ".bin");
    EXPECT_EQ(output::ExtensionLength("fw.bin/README"), 0U);  // the holder's extension is not the member's
    EXPECT_EQ(output::ExtensionLength("fw.bin/BIOS.ROM"), 4U);
    EXPECT_EQ(output::ExtensionLength("fw.bin/.hidden"), 0U);
    // What Windows does not allow in names, on every system's build.
    EXPECT_EQ(output::WindowsAllowedName("a<b>c:d\"e\\f|g?h*i ."), "a_b_c_d_e_f_g_h_i _");
    EXPECT_EQ(output::WindowsAllowedName("aux.rom@0x0.bin"), "_aux.rom@0x0.bin");
    EXPECT_EQ(output::WindowsAllowedName("nul .txt"), "_nul .txt");
    EXPECT_EQ(output::WindowsAllowedName("Com7"), "_Com7");
    EXPECT_EQ(output::WindowsAllowedName("COM0.bin"), "COM0.bin");
    EXPECT_EQ(output::WindowsAllowedName("console.bin"), "console.bin");
}

TEST(CliJobsTest, ParallelOutputIsByteIdenticalToSequential)
{
    const TempDir dir;
    for (int i = 0; i < 40; ++i) {
        Bytes image = Update(static_cast<std::uint32_t>(i + 1));
        test::Append(image, MakeStoredMember("m.bin", MakeStoredMember("deep.bin", Update(100))));
        image.resize(image.size() + static_cast<std::size_t>(i) * 5000, 0xFF);
        (void)dir.Write("tree/" + std::string(1, static_cast<char>('a' + i % 7)) + "/f" + std::to_string(i), image);
    }
#if defined(_WIN32)
    // Held open without sharing, a file cannot be opened by the scan.
    const HANDLE held = ::CreateFileW(windows::SystemPath(dir / "tree/held").c_str(), GENERIC_READ, 0, nullptr,
                                      CREATE_NEW, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
#else
    ASSERT_EQ(::mkfifo((dir / "tree/fifo").c_str(), 0600), 0);
    fs::create_symlink(dir / "nowhere", dir / "tree/dangling");
#endif
    const std::string tree = ShellQuote(dir / "tree");

    for (const std::string& mode : {std::string(), std::string("--crlf "), std::string("--json --verbose ")}) {
        const CommandResult one = RunCommand(kScan + " " + mode + "--jobs 1 " + tree);
        const CommandResult two = RunCommand(kScan + " " + mode + "--jobs 2 " + tree);
        const CommandResult eight = RunCommand(kScan + " " + mode + "-j 8 " + tree);
        EXPECT_EQ(one.exitStatus, 3);  // the FIFO and the dangling link (the held file) are told
        EXPECT_EQ(two.out, one.out) << mode;
        EXPECT_EQ(eight.out, one.out) << mode;
        EXPECT_EQ(two.err, one.err) << mode;
    }
#if defined(_WIN32)
    ::CloseHandle(held);
#endif
    VESKARI_SKIP_ON_WINDOWS("no file that the system refuses to read for everyone");

    // A file error ends the run at the same place whatever the number of jobs.
    const std::string arguments = " " + tree + " /proc/self/mem " + tree;
    const CommandResult one = RunCommand(kScan + " --jobs 1" + arguments);
    const CommandResult two = RunCommand(kScan + " --jobs 2" + arguments);
    EXPECT_EQ(one.exitStatus, 1);
    EXPECT_EQ(two.exitStatus, 1);
    EXPECT_EQ(two.out, one.out);
    EXPECT_EQ(two.err, one.err);
    EXPECT_TRUE(one.out.ends_with("<< /proc/self/mem >>\n"));
}

// One object per top-level file and line, in the order of the run, the same
// objects as in the document; a folder that cannot be read and the error
// that ends a run get lines of their own.
TEST(CliJsonLinesTest, OneObjectPerFileInRunOrder)
{
    const TempDir dir;
    for (int i = 0; i < 12; ++i) {
        (void)dir.Write("tree/f" + std::to_string(i), Update(static_cast<std::uint32_t>(i + 1)));
    }
    VESKARI_SKIP_ON_WINDOWS("no file that the system refuses to read for everyone");
    const std::string arguments = " " + ShellQuote(dir / "tree") + " /proc/self/mem";
    const json document = json::parse(RunCommand(kScan + " --json" + arguments).out);
    for (const char* jobs : {" -j1", " -j4"}) {
        const CommandResult result = RunCommand(kScan + " --json-lines" + jobs + arguments);
        EXPECT_EQ(result.exitStatus, 1);
        std::istringstream lines(result.out);
        std::vector<json> objects;
        for (std::string line; std::getline(lines, line);) {
            objects.push_back(json::parse(line));
        }
        ASSERT_EQ(objects.size(), 14U) << jobs;
        for (std::size_t i = 0; i < 12; ++i) {
            EXPECT_EQ(objects[i], document["paths"][0]["files"][i]) << jobs;
        }
        EXPECT_EQ(objects[12]["path"], "/proc/self/mem");
        EXPECT_EQ(objects[13]["error"]["cause"], "hardIO");
    }
}

// One CSV row per update in report order, a header first, names quoted
// when they hold a comma, whatever the number of jobs.
TEST(CliCsvTest, OneRowPerUpdateWithAHeader)
{
    const TempDir dir;
    Bytes image = Update(1);
    test::Append(image, MakeStoredMember("a,b.bin", Update(2)));
    const std::string path = dir.Write("fw, copy.bin", image);
    const CommandResult result = RunCommand(kScan + " --csv -j4 " + ShellQuote(path) + " " + ShellQuote(path));
    EXPECT_EQ(result.exitStatus, 0);
    const std::string row = "\"" + path + "\",\"a,b.bin\",0x0,0x652,0x04,0x02,1999/05/25,SECC,Pentium II Xeon Processor,yes,"
                            "older,0x2B,1999/05/12,microcode-20190312,,,0x02,older\r\n";
    EXPECT_TRUE(result.out.starts_with("path,member chain,offset,CPUID,platform flags,revision,date,package,processor,"
                                       "checksum valid,standing,newest published revision,newest published date,"
                                       "newest published in,first published in,last published in,"
                                       "highest revision in file,standing of highest\r\n" + row))
        << result.out;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1 + 2 * 3);  // the member's update is in the file too
}

// Members that repeat themselves, each ending with an update, give a row
// for every route, each naming its whole chain of long names: the rows of
// that file stop at its 32 MiB of output, told once, and the next file
// keeps all of its rows.
TEST(CliCsvTest, RowsOfOneFileStayWithinItsOutputBudget)
{
    const TempDir dir;
    const std::string hostile = dir.Write("self.lzh", test::MakeSelfSimilarArchive(20, Update(1), 2000));
    Bytes image = Update(1);
    test::Append(image, MakeStoredMember("a.bin", Update(2)));
    const std::string ordinary = dir.Write("fw.bin", image);
    const CommandResult alone = RunCommand(kScan + " --csv " + ShellQuote(ordinary));
    const CommandResult result =
        RunCommand("LC_ALL=C " + kScan + " --csv " + ShellQuote(hostile) + " " + ShellQuote(ordinary));
    EXPECT_EQ(result.exitStatus, 3);
    const std::string told =
        "veskari-scan: " + hostile + ": details beyond 33554432 bytes of output per file left out\n";
    const std::size_t at = result.err.find(told);
    EXPECT_NE(at, std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(told, at + 1), std::string::npos) << result.err;

    const std::size_t header = alone.out.find('\n') + 1;
    ASSERT_GT(alone.out.size(), header);
    ASSERT_TRUE(result.out.ends_with(alone.out.substr(header)));
    const std::size_t hostileRows = result.out.size() - alone.out.size();
    EXPECT_LE(hostileRows, std::size_t{32} << 20);
    EXPECT_GT(hostileRows, std::size_t{24} << 20);
    EXPECT_TRUE(result.out.starts_with(alone.out.substr(0, header) + output::CsvField(hostile) + ","))
        << result.out.substr(0, 400);
}

TEST(CliJobsTest, UsageErrorsOfTheNewOptions)
{
    for (const char* arguments :
         {"--jobs 0 x", "--jobs x", "--extract-members x", "--extract", "--json --crlf x", "--json --json-lines x"}) {
        EXPECT_EQ(RunCommand(kScan + " " + arguments).exitStatus, 2) << arguments;
    }
}

}  // namespace
}  // namespace veskari
