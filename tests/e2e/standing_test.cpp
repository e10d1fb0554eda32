// veskari-scan's standing of each update against the public releases and
// against a reference of the user's own: JSON, CSV, --verbose, --standing.

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "support/lzh_writer.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::Bytes;
using test::CommandResult;
using test::RunCommand;
using test::ShellQuote;
using test::TempDir;

const std::string kScan = ShellQuote(VESKARI_SCAN_BINARY);

Bytes Update(std::uint32_t signature, std::uint32_t flags, std::uint32_t revision)
{
    test::MicrocodeFields fields;
    fields.signature = signature;
    fields.platformFlags = flags;
    fields.revision = revision;
    return test::MakeMicrocodeUpdate(fields);
}

// The CSV records of a run, split into fields as RFC 4180 quotes them.
std::vector<std::vector<std::string>> CsvRecords(const std::string& text)
{
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                records.back().back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                records.back().back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            records.emplace_back(1);
            ++i;
        } else {
            records.back().back() += c;
        }
    }
    records.pop_back();  // after the last CR LF
    return records;
}

// Every update of the public files and of the classic files comes from the
// newest release: each is the newest published, carried up to it, and JSON
// and CSV say the same of each line.
TEST(StandingTest, PublicFilesAreNewestInJsonAndCsvAlike)
{
    const std::string shared = test::SharedDir();
    if (shared.empty()) {
        GTEST_SKIP() << "shared test data not present";
    }
    std::string arguments;
    std::size_t files = 0;
    for (const char* folder : {"/testdata/microcode", "/testdata/microcode-modern"}) {
        for (const fs::directory_entry& entry : fs::directory_iterator(shared + folder)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && name.find('.') == std::string::npos && !name.starts_with("LICENSE")) {
                arguments += " " + ShellQuote(entry.path().string());
                ++files;
            }
        }
    }
    ASSERT_EQ(files, 36U);
    const CommandResult jsonRun = RunCommand(kScan + " --all-formats --json" + arguments);
    ASSERT_EQ(jsonRun.exitStatus, 0) << jsonRun.err;
    const json document = json::parse(jsonRun.out);
    EXPECT_EQ(document["reference"]["sources"].size(), 1U);
    EXPECT_EQ(document["reference"]["sources"][0]["bundled"], true);
    std::vector<json> updates;
    for (const json& argument : document["paths"]) {
        const json& file = argument["files"].at(0);
        std::set<std::pair<unsigned, unsigned>> processors;
        for (const json& update : file["updates"]) {
            updates.push_back(update);
            processors.emplace(update["signature"], update["platformFlags"]);
            EXPECT_EQ(update["standing"]["state"], "newest") << update["line"];
            EXPECT_EQ(update["standing"]["published"], true) << update["line"];
            EXPECT_EQ(update["standing"]["lastRelease"], "microcode-20251111") << update["line"];
            EXPECT_EQ(update["standing"]["newestRevision"], update["revision"]) << update["line"];
        }
        ASSERT_EQ(file["processors"].size(), processors.size()) << file["path"];
        for (const json& processor : file["processors"]) {
            EXPECT_EQ(processor["standing"]["state"], "newest") << processor["signatureText"];
        }
    }
    EXPECT_EQ(updates.size(), 48U + 28U + 4U);  // classic, later, and extended lines of other processors

    const CommandResult csvRun = RunCommand(kScan + " --all-formats --csv" + arguments);
    ASSERT_EQ(csvRun.exitStatus, 0) << csvRun.err;
    const std::vector<std::vector<std::string>> records = CsvRecords(csvRun.out);
    ASSERT_EQ(records.size(), updates.size() + 1);
    ASSERT_EQ(records[0].size(), 18U);
    EXPECT_EQ(records[0][10], "standing");
    for (std::size_t i = 0; i < updates.size(); ++i) {
        const std::vector<std::string>& record = records[i + 1];
        ASSERT_EQ(record.size(), 18U) << i;
        EXPECT_EQ(record[3], updates[i]["signatureText"]) << i;
        EXPECT_EQ(record[10], updates[i]["standing"]["state"]) << i;
        EXPECT_EQ(record[11], updates[i]["standing"]["newestRevisionText"]) << i;
        EXPECT_EQ(record[12], updates[i]["standing"]["newestDateText"]) << i;
        EXPECT_EQ(record[15], updates[i]["standing"]["lastRelease"]) << i;
        EXPECT_EQ(record[16], record[5]) << i;  // each file holds one revision per processor
    }
}

// Updates built lower, higher, for an uncovered signature and with flags 0;
// the summary takes the highest revision of the whole file, members
// included; the report itself is what it is without --standing.
TEST(StandingTest, BuiltUpdatesAndTheFilesSummary)
{
    const TempDir dir;
    Bytes image;
    test::Append(image, Update(0x652, 0x01, 0x29));  // older than the published Rev. 0x2A
    test::Append(image, Update(0x652, 0x02, 0x2D));  // newer than the published Rev. 0x2C
    test::Append(image, Update(0x6C0, 0x01, 0x05));  // no release covers 0x6C0
    test::Append(image, Update(0x652, 0x00, 0x2A));  // flags 0: 0x652 was published for platforms only
    // A stored member: the file's own scan meets its update too.
    test::Append(image, test::MakeStoredMember("m.bin", Update(0x652, 0x01, 0x2A)));
    const std::string path = dir.Write("fw.bin", image);

    const json file = json::parse(RunCommand(kScan + " --json " + ShellQuote(path)).out)["paths"][0]["files"][0];
    std::map<std::string, json> standings;  // by CPUID/flags/revision
    for (const json& update : file["updates"]) {
        standings[update["signatureText"].get<std::string>() + "/" + std::to_string(update["platformFlags"].get<int>()) +
                  "/" + update["revisionText"].get<std::string>()] = update["standing"];
    }
    ASSERT_EQ(standings.size(), 5U);
    EXPECT_EQ(standings["0x652/1/0x29"]["state"], "older");
    EXPECT_EQ(standings["0x652/1/0x29"]["newestRevisionText"], "0x2A");
    EXPECT_EQ(standings["0x652/1/0x29"]["newestDateText"], "1999/05/12");
    EXPECT_EQ(standings["0x652/1/0x29"]["published"], false);
    EXPECT_EQ(standings["0x652/2/0x2D"]["state"], "newer");
    EXPECT_EQ(standings["0x6C0/1/0x05"]["state"], "notCovered");
    EXPECT_EQ(standings["0x652/0/0x2A"]["state"], "notCovered");
    EXPECT_EQ(standings["0x652/0/0x2A"]["flagsZeroUnmatched"], true);
    EXPECT_EQ(file["members"][0]["analysis"]["updates"][0]["standing"]["state"], "newest");
    ASSERT_EQ(file["processors"].size(), 4U);
    EXPECT_EQ(standings["0x652/1/0x2A"]["state"], "newest");
    EXPECT_EQ(file["processors"][1]["revisionText"], "0x2A");  // the highest, not the first met
    EXPECT_EQ(file["processors"][1]["standing"]["state"], "newest");

    const CommandResult plain = RunCommand(kScan + " " + ShellQuote(path));
    const CommandResult standing = RunCommand(kScan + " --standing " + ShellQuote(path));
    ASSERT_EQ(standing.exitStatus, 0);
    const std::string block =
        " = standing against public releases microcode-20190312 to microcode-20251111, newest update of "
        "2025/10/12 =\n"
        "CPUID 0x652 platforms 0x00 Rev. 0x2A: not covered: platform flags 0 match only updates published "
        "without a platform, and this processor's were published for other platforms\n"
        "CPUID 0x652 platforms 0x01 Rev. 0x2A: newest published (in microcode-20190312 to microcode-20251111)\n"
        "CPUID 0x652 platforms 0x02 Rev. 0x2D: newer than any published: the newest published is Rev. 0x2C of "
        "1999/05/17 (microcode-20190312 to microcode-20251111)\n"
        "CPUID 0x6C0 platforms 0x01 Rev. 0x05: not covered: no published update for this processor and platform\n";
    EXPECT_EQ(standing.out, plain.out + block);
    const std::string crlf = RunCommand(kScan + " --crlf --standing " + ShellQuote(path)).out;
    EXPECT_NE(crlf.find("Rev. 0x05: not covered: no published update for this processor and platform\r\n"),
              std::string::npos);

    const CommandResult verbose = RunCommand(kScan + " --verbose " + ShellQuote(path));
    EXPECT_EQ(verbose.out, plain.out);
    EXPECT_NE(verbose.err.find(path + ": standing of update at 0x0 (CPUID 0x652, platforms 0x01, Rev. 0x29): older: "
                                      "Rev. 0x2A of 1999/05/12 (microcode-20190312 to microcode-20251111) is the "
                                      "newest published; this revision was never published\n"),
              std::string::npos)
        << verbose.err;
}

// A folder of the user's updates with a higher revision makes a published
// update older; with --reference-only the public releases no longer count.
TEST(StandingTest, AUsersReferenceFolder)
{
    const TempDir dir;
    const std::string folder = dir.MakeFolder("intel-ucode");
    dir.Write("intel-ucode/06-05-02", Update(0x652, 0x01, 0x2B));
    Bytes image = Update(0x652, 0x01, 0x2A);
    test::Append(image, Update(0x650, 0x01, 0x40));
    const std::string path = dir.Write("fw.bin", image);

    const CommandResult added = RunCommand(kScan + " --json --reference " + ShellQuote(folder) + " " + ShellQuote(path));
    ASSERT_EQ(added.exitStatus, 0) << added.err;
    const json document = json::parse(added.out);
    ASSERT_EQ(document["reference"]["sources"].size(), 2U);
    EXPECT_EQ(document["reference"]["sources"][1]["name"], folder);
    EXPECT_EQ(document["reference"]["sources"][1]["updates"], 1);
    const json& updates = document["paths"][0]["files"][0]["updates"];
    EXPECT_EQ(updates[0]["standing"]["state"], "newest");  // 0x650: the public releases still count
    EXPECT_EQ(updates[1]["standing"]["state"], "older");
    EXPECT_EQ(updates[1]["standing"]["newestRevisionText"], "0x2B");
    EXPECT_EQ(updates[1]["standing"]["newestFirstRelease"], folder);
    EXPECT_EQ(updates[1]["standing"]["firstRelease"], "microcode-20190312");

    const CommandResult alone =
        RunCommand(kScan + " --json-lines --reference-only --reference " + ShellQuote(folder) + " " + ShellQuote(path));
    ASSERT_EQ(alone.exitStatus, 0) << alone.err;
    std::istringstream lines(alone.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(json::parse(line)["reference"]["sources"].size(), 1U);
    std::getline(lines, line);
    EXPECT_EQ(json::parse(line)["updates"][0]["standing"]["state"], "notCovered");

    // A reference that cannot be read, or holds nothing, stops the run.
    const std::string empty = dir.MakeFolder("empty");
    for (const std::string& reference : {dir / "missing", empty}) {
        const CommandResult refused = RunCommand(kScan + " --reference " + ShellQuote(reference) + " " + ShellQuote(path));
        EXPECT_EQ(refused.exitStatus, 2) << reference;
        EXPECT_EQ(refused.out, "") << reference;
        EXPECT_NE(refused.err.find("--reference"), std::string::npos) << refused.err;
    }
    EXPECT_EQ(RunCommand(kScan + " --reference-only " + ShellQuote(path)).exitStatus, 2);
}

// What --reference tells speaks the user's language: the reference named
// before the files, a reference without updates, one that cannot be read.
TEST(StandingTest, ReferenceMessagesSpeakTheUsersLanguage)
{
    const TempDir dir;
    const std::string folder = dir.MakeFolder("intel-ucode");
    dir.Write("intel-ucode/06-05-02", Update(0x652, 0x01, 0x2B));
    const std::string path = ShellQuote(dir.Write("fw.bin", Update(0x652, 0x01, 0x2A)));
    const std::string reference = " --reference " + ShellQuote(folder) + " ";
    const std::string empty = dir.MakeFolder("empty");
    const std::string missing = dir / "missing";
    const std::string noUpdate = " --reference " + ShellQuote(empty) + " ";
    const std::string unreadable = " --reference " + ShellQuote(missing) + " ";

    CommandResult result = RunCommand("LC_ALL=C " + kScan + " -v" + reference + path);
    EXPECT_TRUE(result.err.starts_with("veskari-scan: standings against public releases microcode-20190312 to "
                                       "microcode-20251111 and " + folder + ", newest update of 2025/10/12\n"))
        << result.err;
    result = RunCommand("LC_ALL=ja_JP.UTF-8 " + kScan + " -v" + reference + path);
    EXPECT_TRUE(result.err.starts_with("veskari-scan: 公開ﾘﾘｰｽ microcode-20190312 から microcode-20251111 まで と " +
                                       folder + " を基準に判定します (最新のｱｯﾌﾟﾃﾞｰﾄは 2025/10/12)\n"))
        << result.err;

    result = RunCommand("LC_ALL=C " + kScan + noUpdate + path);
    EXPECT_EQ(result.err, "veskari-scan: --reference " + empty + ": no microcode update found\n");
    result = RunCommand("LC_ALL=ja_JP.UTF-8 " + kScan + noUpdate + path);
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.err, "veskari-scan: --reference " + empty + ": ﾏｲｸﾛｺｰﾄﾞのｱｯﾌﾟﾃﾞｰﾄが見つかりません\n");
    result = RunCommand("LC_ALL=ja_JP.UTF-8 " + kScan + unreadable + path);
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_TRUE(result.err.starts_with("veskari-scan: --reference: " + missing + ": 読み込めません: ")) << result.err;
}

}  // namespace
}  // namespace veskari
