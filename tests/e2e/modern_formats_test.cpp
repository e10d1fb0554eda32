// The later microcode formats end to end, on the unmodified public update
// files of 2003-2025: every update listed with the fields their provenance
// table gives, raw at odd offsets and inside lh5 members at two depths; a
// changed byte or a cut drops exactly its update; the classic lines stay.
// The files may only be copied unmodified, so every image that embeds them
// is built here, in a temporary folder.

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <tuple>

#include "analysis/analyzer.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::Bytes;
using test::TempDir;

// One row of the provenance table: an update as the file holds it.
struct Provenance {
    std::string file;
    std::uint64_t offset = 0;
    std::uint32_t signature = 0;
    std::uint32_t mask = 0;
    std::uint32_t date = 0;
    std::uint32_t revision = 0;
    std::uint32_t totalSize = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> extended;
};

std::uint32_t Number(const std::string& text)
{
    return static_cast<std::uint32_t>(std::stoul(text, nullptr, 0));
}

// Reads "| `06-9a-04` | 0 | 0x906A3 | 0x80 | 2025-10-12 | 0x43A | 224256 | 0 (ok) | 0x906A3/0x80, ... |".
std::vector<Provenance> ReadProvenance(const std::string& folder)
{
    std::vector<Provenance> rows;
    std::istringstream table(test::ReadFile(folder + "/PROVENANCE.md"));
    for (std::string line; std::getline(table, line);) {
        if (!line.starts_with("| `")) {
            continue;
        }
        std::vector<std::string> cells;
        std::istringstream cellStream(line.substr(1));
        for (std::string cell; std::getline(cellStream, cell, '|');) {
            cells.push_back(cell.substr(1, cell.size() - 2));  // without the spaces around it
        }
        Provenance row;
        row.file = cells[0].substr(1, cells[0].size() - 2);
        row.offset = Number(cells[1]);
        row.signature = Number(cells[2]);
        row.mask = Number(cells[3]);
        // The date as stored: year, month and day digits read as hexadecimal.
        row.date = Number("0x" + cells[4].substr(0, 4)) | (Number("0x" + cells[4].substr(8, 2)) << 16) |
                   (Number("0x" + cells[4].substr(5, 2)) << 24);
        row.revision = Number(cells[5]);
        row.totalSize = Number(cells[6]);
        std::istringstream extended(cells[8]);
        for (std::string entry; std::getline(extended, entry, ',');) {
            const std::size_t slash = entry.find('/');
            if (slash != std::string::npos) {
                row.extended.emplace_back(Number(entry.substr(0, slash)), Number(entry.substr(slash + 1)));
            }
        }
        rows.push_back(row);
    }
    return rows;
}

// What a report line says of its update.
using Listed = std::tuple<std::uint64_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                          bool>;  // offset, signature, mask, date, revision, total size, checksum valid

Listed Of(const UpdateRecord& update)
{
    const MicrocodeHeaderFields& h = update.header;
    std::uint32_t signature = h.signature;
    std::uint32_t mask = h.platformFlags;
    if (update.extendedIndex >= 0) {
        const ExtendedSignature& entry = update.ExtendedSignatures()[static_cast<std::size_t>(update.extendedIndex)];
        signature = entry.signature;
        mask = entry.platformFlags;
    }
    return {update.offset, signature, mask, h.date, h.revision, h.totalSize, update.checksumValid};
}

// The modern files one after the other at odd offsets, with where each went.
struct Image {
    Bytes bytes;
    std::map<std::string, std::uint64_t> placed;
};

Image RawImage(const std::string& folder, const std::vector<Provenance>& rows)
{
    Image image;
    for (const Provenance& row : rows) {
        if (image.placed.contains(row.file)) {
            continue;
        }
        image.bytes.resize(image.bytes.size() + (image.bytes.empty() ? 1001 : 1002), 0xFF);
        image.placed[row.file] = image.bytes.size();
        const std::string content = test::ReadFile(folder + "/" + row.file);
        test::Append(image.bytes, content);
    }
    return image;
}

// The lines that the rows give in `image`, all of them or those of the
// rows that `keep` accepts; extended signatures that repeat the header's
// own, or an earlier entry's, give no line of their own.
std::vector<Listed> Expected(const Image& image, const std::vector<Provenance>& rows,
                             const std::function<bool(const Provenance&)>& keep = nullptr)
{
    std::vector<Listed> listed;
    for (const Provenance& row : rows) {
        if (keep && !keep(row)) {
            continue;
        }
        const std::uint64_t offset = image.placed.at(row.file) + row.offset;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> named{{row.signature, row.mask}};
        for (const auto& entry : row.extended) {
            if (std::find(named.begin(), named.end(), entry) == named.end()) {
                named.push_back(entry);
            }
        }
        for (const auto& [signature, mask] : named) {
            listed.emplace_back(offset, signature, mask, row.date, row.revision, row.totalSize, true);
        }
    }
    std::sort(listed.begin(), listed.end());
    return listed;
}

// Collects every update of an analysis by the name it is reported under.
class Collector final : public AnalysisObserver {
public:
    void UpdateAccepted(const FileInfo& file, const UpdateRecord& update) override
    {
        byName[file.displayName].push_back(Of(update));
    }

    std::map<std::string, std::vector<Listed>> byName;
};

std::map<std::string, std::vector<Listed>> Analyze(const std::string& path, MicrocodeFormats formats,
                                                   std::string* report = nullptr)
{
    Collector collector;
    StringReport sink;
    Analyzer analyzer(sink, &collector);
    analyzer.SetMicrocodeFormats(formats);
    analyzer.AnalyzePath(path);
    for (auto& [name, listed] : collector.byName) {
        std::sort(listed.begin(), listed.end());
    }
    if (report != nullptr) {
        *report = sink.Text();
    }
    return collector.byName;
}

class ModernFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string shared = test::SharedDir();
        folder_ = shared + "/testdata/microcode-modern";
        rows_ = ReadProvenance(folder_);
        ASSERT_EQ(rows_.size(), 28U);
        image_ = RawImage(folder_, rows_);
    }

    std::string folder_;
    std::vector<Provenance> rows_;
    Image image_;
};

TEST_F(ModernFilesTest, EveryUpdateListedRawAndInsideLh5MembersAtTwoDepths)
{
    // The raw image first, then a member holding it, then a member holding
    // an archive of such a member.
    Bytes fw = image_.bytes;
    test::Append(fw, test::MakeLh5Member("modern.bin", image_.bytes));
    test::Append(fw, test::MakeLh5Member("outer.lzh", test::MakeLh5Member("modern.bin", image_.bytes, 2), 0));
    const TempDir dir;
    const std::string path = dir.Write("fw.bin", fw);

    const auto all = Analyze(path, MicrocodeFormats::all);
    const std::vector<Listed> expected = Expected(image_, rows_);
    ASSERT_EQ(expected.size(), 32U);  // 28 updates, 4 further extended signatures
    EXPECT_EQ(all.at("fw.bin"), expected);
    EXPECT_EQ(all.at("fw.bin/modern.bin"), expected);
    EXPECT_EQ(all.at("fw.bin/outer.lzh/modern.bin"), expected);

    // The classic rules take none of them.
    std::string classicReport;
    EXPECT_TRUE(Analyze(path, MicrocodeFormats::classic, &classicReport).empty());
    EXPECT_EQ(classicReport, "<< " + path + " >>\r\n");
}

TEST_F(ModernFilesTest, AChangedByteOrACutDropsExactlyItsUpdate)
{
    const TempDir dir;
    const auto start = [this](const Provenance& row) { return image_.placed.at(row.file) + row.offset; };
    std::vector<std::uint64_t> cuts{image_.bytes.size() - 4};  // the last update loses its last dword
    for (const Provenance& broken : rows_) {
        Bytes changed = image_.bytes;
        ++changed[start(broken) + 48 + (broken.totalSize - 48) / 2];
        EXPECT_EQ(Analyze(dir.Write("changed.bin", changed), MicrocodeFormats::all)["changed.bin"],
                  Expected(image_, rows_, [&](const Provenance& row) { return &row != &broken; }))
            << broken.file << " at " << broken.offset;
        cuts.push_back(start(broken) + broken.totalSize / 2);
    }
    for (const std::uint64_t keep : cuts) {
        Bytes cut = image_.bytes;
        cut.resize(keep);
        EXPECT_EQ(Analyze(dir.Write("cut.bin", cut), MicrocodeFormats::all)["cut.bin"],
                  Expected(image_, rows_, [&](const Provenance& row) { return start(row) + row.totalSize <= keep; }))
            << "cut at " << keep;
    }
}

// veskari-scan --all-formats: the same lines, the later fields in JSON and
// --verbose, the whole update extracted once, extended lines not again.
TEST_F(ModernFilesTest, TheCommandLineListsEveryFormatOnRequest)
{
    const std::string scan = test::ShellQuote(VESKARI_SCAN_BINARY);
    const std::string file = test::ShellQuote(folder_ + "/06-9a-04");
    EXPECT_EQ(test::RunCommand(scan + " " + file).out, "<< " + folder_ + "/06-9a-04 >>\n");
    const test::CommandResult all = test::RunCommand(scan + " --all-formats -v " + file);
    EXPECT_EQ(all.exitStatus, 0);
    EXPECT_NE(all.out.find("(CPUID 0x906A3) "), std::string::npos) << all.out;
    EXPECT_NE(all.err.find("later format, "), std::string::npos) << all.err;
    EXPECT_NE(all.err.find("extended signature 1 of update at 0x0 (CPUID 0x906A4, mask 0x80)"), std::string::npos)
        << all.err;
    const std::string json = test::RunCommand(scan + " --all-formats --json " + file).out;
    EXPECT_NE(json.find("\"format\": \"later\""), std::string::npos);
    EXPECT_NE(json.find("\"signatureText\": \"0x906A4\""), std::string::npos);
    EXPECT_NE(json.find("\"extendedIndex\": 1,"), std::string::npos);  // entry 0 repeats the header

    const TempDir dir;
    (void)test::RunCommand(scan + " --all-formats --extract " + test::ShellQuote(dir / "out") + " " + file);
    std::vector<std::string> extracted;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
        extracted.push_back(entry.path().filename().string());
        EXPECT_EQ(test::ReadFile(entry.path().string()).size() % 1024, 0U);  // whole updates
    }
    EXPECT_EQ(extracted.size(), 2U) << "one file per update, not per line";
}

// A file of classic updates reads the same in the all-formats mode, byte
// for byte: the public updates of the 1990s and the golden fixtures (those
// in rejected/ are of the later format).
TEST(ClassicInAllFormatsTest, ClassicReportsAreUnchanged)
{
    const std::string shared = test::SharedDir();
    for (const std::string& folder : {shared + "/testdata/microcode", shared + "/golden"}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string path = entry.path().string();
            if (path.ends_with(".expected") || path.ends_with(".md") || entry.path().filename() == "rejected") {
                continue;
            }
            std::string classic;
            std::string all;
            (void)Analyze(path, MicrocodeFormats::classic, &classic);
            (void)Analyze(path, MicrocodeFormats::all, &all);
            EXPECT_EQ(all, classic) << path;
        }
    }
}

// The first update of the published layout (1995): loader revision 0, sizes
// of zero (2000 bytes of data in 2048), and dwords that add up to 0. The
// all-formats mode lists and names it, amid zeros where the scan's quick
// test sees most candidates; one changed byte, or a loader revision above
// 1, drops it; the classic report never lists it.
TEST(FirstUpdateTest, LoaderRevisionZeroIsAnUpdateWhenItsChecksumHolds)
{
    test::MicrocodeFields fields;
    fields.signature = 0x611;
    fields.revision = 0xB0026;
    fields.date = test::MicrocodeDate(0x1995, 0x11, 0x29);
    fields.loaderRevision = 0;
    fields.platformFlags = 0;
    Bytes update = test::MakeLaterUpdate(fields, 2048);
    test::PutLe32(update, 28, 0);
    test::PutLe32(update, 32, 0);
    test::FixChecksum(update);
    const auto lines = [](const Bytes& bytes, MicrocodeFormats formats) {
        Bytes image(777, 0);
        test::Append(image, bytes);
        image.resize(image.size() + 5000, 0);
        const TempDir dir;
        std::string report;
        (void)Analyze(dir.Write("pro.bin", image), formats, &report);
        return report.substr(report.find(">>") + 4);
    };
    EXPECT_EQ(lines(update, MicrocodeFormats::all),
              " < pro.bin >\r\n1995/11/29 Rev. 0xB0026 (CPUID 0x611) Any platform (no platform ID) Pentium Pro (P6 B0)\r\n");
    EXPECT_EQ(lines(update, MicrocodeFormats::classic), "");

    Bytes changed = update;
    changed[1000] ^= 0x10;
    EXPECT_EQ(lines(changed, MicrocodeFormats::all), "");
    Bytes loader2 = update;
    test::PutLe32(loader2, 20, 2);
    test::FixChecksum(loader2);
    EXPECT_EQ(lines(loader2, MicrocodeFormats::all), "");
}

// The classic report passes over the updates of the later layout; the
// command line counts them and says so once per run on standard error,
// without changing the report or the status; --verbose and JSON say it
// per file. An update is counted once, however many header-like bytes it
// holds, and a file of classic updates has nothing to tell.
TEST(UnlistedLaterTest, TheClassicModeCountsWhatItDoesNotListAndSaysSoOnce)
{
    test::MicrocodeFields later;
    later.signature = 0x906A3;
    later.platformFlags = 0x80;
    later.revision = 0x43A;
    Bytes inner = test::MakeLaterUpdate(later, 4096);
    const Bytes hidden = test::MakeLaterUpdate(later, 1024);
    std::copy(hidden.begin(), hidden.end(), inner.begin() + 1024);
    test::FixChecksum(inner);
    Bytes two(100, 0xFF);
    test::Append(two, test::MakeLaterUpdate(later, 2048, {{0x906A4, 0x80}}));
    test::Append(two, test::MakeMicrocodeUpdate({}));
    test::Append(two, inner);
    Bytes one(33, 0);
    test::Append(one, test::MakeLaterUpdate(later, 3072));

    const TempDir dir;
    const std::string scan = test::ShellQuote(VESKARI_SCAN_BINARY);
    const std::string files = test::ShellQuote(dir.Write("two.bin", two)) + " " +
                              test::ShellQuote(dir.Write("one.bin", one)) + " " +
                              test::ShellQuote(dir.Write("classic.bin", test::MakeMicrocodeUpdate({})));
    const test::CommandResult plain = test::RunCommand(scan + " " + files);
    EXPECT_EQ(plain.exitStatus, 0);
    EXPECT_EQ(plain.err, "veskari-scan: 3 updates of the later layout not listed (--all-formats lists them)\n");
    EXPECT_EQ(plain.out.find("0x906A3"), std::string::npos);
    EXPECT_NE(plain.out.find("(CPUID 0x652)"), std::string::npos);

    const test::CommandResult all = test::RunCommand(scan + " --all-formats " + files);
    EXPECT_EQ(all.err, "");
    EXPECT_NE(all.out.find("(CPUID 0x906A3)"), std::string::npos);

    const test::CommandResult verbose = test::RunCommand(scan + " -v " + files);
    EXPECT_NE(verbose.err.find("two.bin: 2 updates of the later layout not listed"), std::string::npos) << verbose.err;
    EXPECT_NE(verbose.err.find("one.bin: 1 update of the later layout not listed"), std::string::npos);
    EXPECT_EQ(verbose.err.find("classic.bin: 0"), std::string::npos);
    const test::CommandResult japanese = test::RunCommand("LC_ALL=ja_JP.UTF-8 " + scan + " -v " + files);
    EXPECT_NE(japanese.err.find("two.bin: 新しい形式のアップデート 2 件は一覧にありません"), std::string::npos)
        << japanese.err;
    EXPECT_TRUE(japanese.err.ends_with("veskari-scan: 新しい形式のアップデート 3 件は一覧にありません "
                                       "(--all-formats で一覧にします)\n"));
    const test::CommandResult json = test::RunCommand(scan + " --json " + files);
    EXPECT_NE(json.out.find("\"unlistedLaterUpdates\": 2"), std::string::npos);
    EXPECT_NE(json.out.find("\"unlistedLaterUpdates\": 1"), std::string::npos);
}

// The all-formats mode lists everything the classic mode lists: classic
// updates inside an accepted later update too, found as the classic scan
// finds them. A later update inside another is not listed again.
TEST(ClassicInAllFormatsTest, ClassicUpdatesInsideALaterUpdateAreListedToo)
{
    test::MicrocodeFields later;
    later.signature = 0x906A3;
    later.platformFlags = 0x80;
    later.revision = 0x43A;
    Bytes outer = test::MakeLaterUpdate(later, 8192);
    const auto place = [&outer](std::size_t at, const Bytes& what) {
        std::copy(what.begin(), what.end(), outer.begin() + static_cast<std::ptrdiff_t>(at));
    };
    test::MicrocodeFields classic;
    place(100, test::MakeMicrocodeUpdate(classic));
    classic.revision = 0x2B;
    place(1000, test::MakeMicrocodeUpdate(classic));  // within 2048 bytes of the first: passed over by both
    classic.revision = 0x2C;
    place(2200, test::MakeMicrocodeUpdate(classic));
    later.signature = 0x806EC;
    place(5000, test::MakeLaterUpdate(later, 1024));
    test::FixChecksum(outer);
    Bytes image(333, 0xFF);
    test::Append(image, outer);
    const TempDir dir;
    const std::string path = dir.Write("fw.bin", image);

    auto classicLines = Analyze(path, MicrocodeFormats::classic)["fw.bin"];
    auto allLines = Analyze(path, MicrocodeFormats::all)["fw.bin"];
    ASSERT_EQ(classicLines.size(), 2U);
    EXPECT_TRUE(std::includes(allLines.begin(), allLines.end(), classicLines.begin(), classicLines.end()));
    ASSERT_EQ(allLines.size(), 3U);
    EXPECT_EQ(std::get<1>(allLines[0]), 0x906A3U);  // the outer update, first in the file
}

// Extraction reads each update's bytes from the file that holds it, a
// piece at a time: a later update of 192 KiB whole, byte for byte, and a
// classic update that the file cuts short with the bytes there are; the
// checksum of a classic update is judged on its bytes.
TEST(ClassicInAllFormatsTest, ExtractedUpdatesAreTheBytesOfTheFile)
{
    test::MicrocodeFields later;
    later.signature = 0x906A3;
    later.platformFlags = 0x80;
    later.revision = 0x43A;
    Bytes update = test::MakeLaterUpdate(later, 192 * 1024);
    for (std::size_t i = 48; i + 4 <= update.size(); i += 4) {
        test::PutLe32(update, i, static_cast<std::uint32_t>(i * 2654435761U));
    }
    test::FixChecksum(update);
    Bytes image(100, 0xFF);
    test::Append(image, update);
    const Bytes classic = test::MakeMicrocodeUpdate(test::MicrocodeFields{});
    test::Append(image, Bytes(classic.begin(), classic.begin() + 1000));
    const TempDir dir;
    const std::string path = dir.Write("fw.bin", image);
    const test::CommandResult run = test::RunCommand(test::ShellQuote(VESKARI_SCAN_BINARY) + " --all-formats --extract " +
                                                     test::ShellQuote(dir / "out") + " --csv " + test::ShellQuote(path));
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const std::string laterBytes = test::ReadFile(dir / "out/fw.bin@0x64_cpu906A3_pf80_rev43A.bin");
    EXPECT_TRUE(laterBytes == std::string(update.begin(), update.end()));
    const std::string classicBytes = test::ReadFile(dir / "out/fw.bin@0x30064_cpu652_pf04_rev2A.bin");
    EXPECT_TRUE(classicBytes == std::string(classic.begin(), classic.begin() + 1000));
    EXPECT_NE(run.out.find(",0x64,0x906A3,0x80,0x43A,1999/05/25,Platform 7,Core Gen12 (ADL L0),yes"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(",0x30064,0x652,0x04,0x2A,1999/05/25,SECC,Pentium II Xeon Processor,no"),
              std::string::npos)
        << run.out;  // cut short
}

// Lines listed (updates and extended signatures) with every format, and
// the problems told.
int AnalyzeAllFormats(const std::string& path, std::vector<Problem>& problems, const WorkLimits& limits = {})
{
    struct Observer final : AnalysisObserver {
        void UpdateAccepted(const FileInfo&, const UpdateRecord&) override { ++updates; }
        void ProblemFound(const Problem& problem) override { problems->push_back(problem); }
        std::vector<Problem>* problems = nullptr;
        int updates = 0;
    } observer;
    observer.problems = &problems;
    problems.clear();
    StringReport sink;
    Analyzer analyzer(sink, &observer);
    analyzer.SetLimits(limits);
    analyzer.SetMicrocodeFormats(MicrocodeFormats::all);
    analyzer.AnalyzePath(path);
    return observer.updates;
}

// Hostile sizes: an update is not hidden by a header before it that
// announces more than the file holds, and where lying candidates do use up
// the checksum reads, the analysis says so instead of listing less silently.
TEST(HostileLaterFormatTest, LyingSizesNeverHideUpdatesSilently)
{
    test::MicrocodeFields fields;
    fields.signature = 0x906A3;
    fields.platformFlags = 0x80;
    fields.revision = 0x43A;
    const Bytes real = test::MakeLaterUpdate(fields, 4096);
    const auto analyze = [](const Bytes& image, std::vector<Problem>& problems) {
        const TempDir dir;
        return AnalyzeAllFormats(dir.Write("fw.bin", image), problems);
    };
    constexpr std::size_t kMiB = std::size_t{1} << 20;

    // One header at the start announcing almost 4 GiB, the real update after it.
    Bytes image(4 * kMiB, 0xEE);
    Bytes liar = test::MakeMicrocodeHeader(fields);
    test::PutLe32(liar, 28, 0xFFFFF000 - 1024);
    test::PutLe32(liar, 32, 0xFFFFF000);
    std::copy(liar.begin(), liar.end(), image.begin());
    std::copy(real.begin(), real.end(), image.begin() + kMiB / 4);
    std::vector<Problem> problems;
    EXPECT_EQ(analyze(image, problems), 1);
    EXPECT_TRUE(problems.empty());

    // Liars that fit in the file and are summed in vain, then the update.
    test::PutLe32(liar, 28, 3 * kMiB - 48);
    test::PutLe32(liar, 32, 3 * kMiB);
    for (std::size_t at = 0; at < 4096; at += 64) {
        std::copy(liar.begin(), liar.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    }
    EXPECT_EQ(analyze(image, problems), 0);
    ASSERT_EQ(problems.size(), 1U);
    EXPECT_EQ(problems[0].kind, ProblemKind::checksumLimit);
    EXPECT_EQ(problems[0].amount, 64U);  // every liar after the first, and the update
}

// Members that each repeat lying candidates share the one allowance of
// their top-level file: a member's scan does not start a fresh one, and
// what was left unchecked is told once, for the top-level file.
TEST(HostileLaterFormatTest, OneChecksumAllowanceForATopLevelFileAndItsMembers)
{
    // 32 KiB of candidates every 64 bytes, each announcing the rest of
    // the member in whole KiB: summed in vain, some 8 MiB per member.
    test::MicrocodeFields fields;
    fields.signature = 0x906A3;
    fields.platformFlags = 0x80;
    fields.revision = 0x43A;
    constexpr std::uint32_t kMember = 32 * 1024;
    Bytes content(kMember, 0xEE);
    for (std::uint32_t at = 0; at + 1024 <= kMember; at += 64) {
        Bytes liar = test::MakeMicrocodeHeader(fields);
        const std::uint32_t total = (kMember - at) / 1024 * 1024;
        test::PutLe32(liar, 28, total - 48);
        test::PutLe32(liar, 32, total);
        std::copy(liar.begin(), liar.end(), content.begin() + at);
    }
    Bytes image;
    for (int i = 0; i < 8; ++i) {
        test::Append(image, test::MakeLh5Member("m" + std::to_string(i), content));
    }
    const TempDir dir;
    const std::string path = dir.Write("fw.bin", image);
    std::vector<Problem> problems;
    EXPECT_EQ(AnalyzeAllFormats(path, problems), 0);
    ASSERT_EQ(problems.size(), 1U);
    EXPECT_EQ(problems[0].kind, ProblemKind::checksumLimit);
    EXPECT_EQ(problems[0].where, path);
    // Each member's scan, with an allowance of its own, would have summed
    // its 500 candidates; with the one shared, most are left unchecked.
    EXPECT_GT(problems[0].amount, 8U * 400);
}

// A table of thousands of extended signatures costs its size once: one line
// per entry, the table written once in JSON; and no more lines than a file
// may have.
TEST(HostileLaterFormatTest, ALongExtendedTableIsListedInLinearSpace)
{
    test::MicrocodeFields fields;
    fields.signature = 0x906A3;
    fields.platformFlags = 0x80;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> table;
    for (std::uint32_t i = 0; i < 3000; ++i) {
        table.emplace_back(0x50000 + i, 0x01);
    }
    const TempDir dir;
    const std::string path = dir.Write("wide.bin", test::MakeLaterUpdate(fields, 37 * 1024, table));
    const test::CommandResult json =
        test::RunCommand(test::ShellQuote(VESKARI_SCAN_BINARY) + " --all-formats --json " + test::ShellQuote(path));
    EXPECT_EQ(json.exitStatus, 0);
    std::size_t lines = 0;
    for (std::size_t at = json.out.find("\"line\""); at != std::string::npos; at = json.out.find("\"line\"", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 3001U);
    EXPECT_LT(json.out.size(), std::size_t{8} << 20);  // once per line, it would be gigabytes

    // Lines cost memory until they are written: past a bound per file,
    // extended lines are left out and that is told.
    WorkLimits limits;
    limits.extendedLines = 2000;
    std::vector<Problem> problems;
    EXPECT_EQ(AnalyzeAllFormats(path, problems, limits), 2001);
    ASSERT_EQ(problems.size(), 1U);
    EXPECT_EQ(problems[0].kind, ProblemKind::extendedLimit);
    EXPECT_EQ(problems[0].amount, 2000U);
}

}  // namespace
}  // namespace veskari
