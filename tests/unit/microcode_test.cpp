#include <gtest/gtest.h>
#include <random>
#include <span>

#include "microcode/microcode_header.h"
#include "microcode/microcode_source.h"
#include "lzh/lzh_source.h"
#include "microcode/naming.h"
#include "platform/descriptor_file.h"
#include "platform/memory_file.h"
#include "platform/read_ahead.h"
#include "records/record_text.h"
#include "records/little_endian.h"
#include "records/processor_extensions.h"
#include "records/sweep.h"
#include "segment/segment_header.h"
#include "support/lzh_writer.h"
#include "support/segment_writer.h"
#include "support/reference_scan.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::Bytes;
using test::MakeMicrocodeHeader;
using test::MakeMicrocodeUpdate;
using test::MicrocodeDate;
using test::MicrocodeFields;
using test::TempDir;

struct ReadCase {
    const char* what;
    MicrocodeFields fields;
    std::size_t corruptOffset;  // a reserved byte to set, or 0 for none
    const char* message;        // empty: accepted
};

// A case prints as its name: the bytes of its fields would hold addresses.
void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.what;
}

class MicrocodeReadTest : public ::testing::TestWithParam<ReadCase> {};

MicrocodeFields With(void (*change)(MicrocodeFields&))
{
    MicrocodeFields fields;
    change(fields);
    return fields;
}

const ReadCase kReadCases[] = {
    {"accepted", {}, 0, ""},
    {"version", With([](MicrocodeFields& f) { f.headerVersion = 2; }), 0, "知らないヘッダーバージョン 2"},
    {"version signed", With([](MicrocodeFields& f) { f.headerVersion = 0xFFFFFFFF; }), 0, "知らないヘッダーバージョン -1"},
    {"revision 0", With([](MicrocodeFields& f) { f.revision = 0; }), 0, "コードリビジョンが大きすぎる 0"},
    {"revision 256", With([](MicrocodeFields& f) { f.revision = 256; }), 0, "コードリビジョンが大きすぎる 256"},
    {"year 1989", With([](MicrocodeFields& f) { f.date = MicrocodeDate(0x1989, 1, 1); }), 0, "変な年 6537"},
    {"year 2101", With([](MicrocodeFields& f) { f.date = MicrocodeDate(0x2101, 1, 1); }), 0, "変な年 8449"},
    {"month 0x13", With([](MicrocodeFields& f) { f.date = MicrocodeDate(0x1999, 0x13, 1); }), 0, "変な月 19"},
    {"month 0", With([](MicrocodeFields& f) { f.date = MicrocodeDate(0x1999, 0, 1); }), 0, "変な月 0"},
    {"day 0x32", With([](MicrocodeFields& f) { f.date = MicrocodeDate(0x1999, 1, 0x32); }), 0, "変な日 50"},
    {"day 0", With([](MicrocodeFields& f) { f.date = MicrocodeDate(0x1999, 1, 0); }), 0, "変な日 0"},
    {"year 0x198F", With([](MicrocodeFields& f) { f.date = MicrocodeDate(0x198F, 1, 1); }), 0, "変な年 6543"},
    // Every bound itself is accepted.
    {"first day", With([](MicrocodeFields& f) { f.date = MicrocodeDate(0x1990, 0x01, 0x01); }), 0, ""},
    {"last day", With([](MicrocodeFields& f) { f.date = MicrocodeDate(0x2100, 0x12, 0x31); }), 0, ""},
    {"revision 1", With([](MicrocodeFields& f) { f.revision = 1; }), 0, ""},
    {"revision 255", With([](MicrocodeFields& f) { f.revision = 255; }), 0, ""},
    {"hex digits", With([](MicrocodeFields& f) { f.date = MicrocodeDate(0x19A5, 0x0A, 0x1F); }), 0, ""},
    {"family", With([](MicrocodeFields& f) { f.signature = 0xF29; }), 0, "CPUの世代が変 0F29"},
    {"loader", With([](MicrocodeFields& f) { f.loaderRevision = 2; }), 0, "ローダーバージョンが変 2"},
    {"flags 0x80", With([](MicrocodeFields& f) { f.platformFlags = 0x80; }), 0, ""},
    {"flags 0x81", With([](MicrocodeFields& f) { f.platformFlags = 0x81; }), 0, "パッケージタイプが変 129"},
    {"first reserved", {}, 28, "ブランクの数が足りない 0"},
    {"fifth reserved", {}, 32, "ブランクの数が足りない 16"},
    {"last reserved", {}, 47, "ブランクの数が足りない 76"},
};

TEST_P(MicrocodeReadTest, ChecksEveryFieldWithItsMessage)
{
    const ReadCase& c = GetParam();
    Bytes bytes = MakeMicrocodeHeader(c.fields);
    if (c.corruptOffset != 0) {
        bytes[c.corruptOffset] = 0x55;
    }
    bytes.resize(64, 0);
    const TempDir dir;
    OwnedFile file;
    ASSERT_TRUE(file.Open(dir.Write("h", bytes)));
    MicrocodeHeader header;
    const bool accepted = header.Read(file);
    EXPECT_EQ(accepted, c.message[0] == '\0');
    EXPECT_EQ(header.error, !accepted);
    EXPECT_EQ(header.message, c.message);
}

INSTANTIATE_TEST_SUITE_P(Checks, MicrocodeReadTest, ::testing::ValuesIn(kReadCases),
                         [](const auto& param) { return test::ParamName(param.param.what); });

TEST(MicrocodeHeaderTest, ReportLineAndTexts)
{
    const TempDir dir;
    OwnedFile file;
    MicrocodeFields fields;
    fields.date = MicrocodeDate(0x19A5, 0x0A, 0x1F);
    ASSERT_TRUE(file.Open(dir.Write("h", MakeMicrocodeHeader(fields))));
    MicrocodeHeader header;
    ASSERT_TRUE(header.Read(file));
    std::string line = "old";
    header.ReportLine(line);
    EXPECT_EQ(line, "19A5/0A/1F Rev. 0x2A (CPUID 0x652) SECC Pentium II Xeon Processor");
    EXPECT_EQ(header.headerVersionText, "Header Ver. 1");
    EXPECT_EQ(header.loaderText, "Loader Ver. 1");
    EXPECT_EQ(header.Key(), 0x06520004U);
    EXPECT_EQ(file.GetPosition(), 48U);
}

TEST(MicrocodeHeaderTest, HeaderCutByTheEndOfTheFileIsRejected)
{
    const TempDir dir;
    OwnedFile file;
    Bytes bytes = MakeMicrocodeHeader({});
    bytes.resize(47);  // the last reserved byte is missing, not zero
    ASSERT_TRUE(file.Open(dir.Write("h", bytes)));
    MicrocodeHeader header;
    EXPECT_FALSE(header.Read(file));
    EXPECT_TRUE(header.error);
}

// Sweeps a file for updates, as the analysis does, and returns the report lines.
std::vector<std::string> Collect(const Bytes& bytes, MicrocodeFormats formats = MicrocodeFormats::classic,
                                 RejectionObserver* rejections = nullptr)
{
    MemoryReader file;
    file.Open(bytes, "image");
    MicrocodeLane lane(formats, false, rejections);
    SweepLane* const lanes[] = {&lane};
    Sweep(file, lanes);
    std::vector<UpdateRecord> records;
    lane.collector.Finish(records);
    std::vector<std::string> lines;
    for (const UpdateRecord& record : records) {
        lines.push_back(record.line);
    }
    return lines;
}

MicrocodeFields Revision(std::uint32_t revision)
{
    MicrocodeFields fields;
    fields.revision = revision;
    return fields;
}

void Place(Bytes& image, std::size_t offset, const Bytes& what)
{
    if (image.size() < offset + what.size()) {
        image.resize(offset + what.size(), 0);
    }
    std::copy(what.begin(), what.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

TEST(MicrocodeScanTest, FindsHeadersOnBothSidesOfEveryWindowBoundary)
{
    // Windows start every 8000 bytes and are 8016 long: offsets 7999, 8000
    // and 8001 straddle or touch a boundary; 16000 - 15 lies inside the
    // overlap of the second window.
    Bytes image(40000, 0);
    const std::size_t offsets[] = {0, 7999 - 2048 - 100, 7999 + 100, 15985 + 2100, 24000 + 2100};
    std::uint32_t revision = 1;
    for (const std::size_t offset : offsets) {
        Place(image, offset, MakeMicrocodeUpdate(Revision(revision++)));
    }
    EXPECT_EQ(Collect(image).size(), 5U);

    for (const std::size_t offset : {7984UL, 7990UL, 7999UL, 8000UL, 15999UL}) {
        Bytes one(offset + 48 + 16, 0);
        Place(one, offset, MakeMicrocodeHeader({}));
        EXPECT_EQ(Collect(one).size(), 1U) << offset;
    }
}

// A sweep of every kind, as a file's analysis runs it, tries every
// position up to each kind's look-ahead before the end of the file, in the
// first window and in later ones: the last such candidate is tried (and
// rejected, cut short by the end), a pattern one byte later never; and a
// candidate whose marks lie past the end of its window is tried there.
TEST(SweepTest, TriesEveryPositionUpToTheLookAheadBeforeTheEnd)
{
    enum class Kind { microcode, lzh, segment };
    struct Tried final : RejectionObserver {
        void Rejected(const LocatedRecord& record) override { starts.push_back(record.start); }
        std::vector<std::uint64_t> starts;
    };
    const Bytes microcodePattern{1, 0, 0, 0, 1, 0, 0, 0, 0x99, 0x19, 0x25, 0x05, 0x52, 0x06};
    const Bytes lzhPattern{'-', 'l', 'h', '5', '-'};
    const Bytes segmentPattern = test::kSegmentSignature;
    using Starts = std::vector<std::uint64_t>;
    const auto triedOnce = [](std::size_t size, std::size_t at, const Bytes& pattern, Kind kind) {
        Bytes image(size, 0);
        Place(image, at, pattern);
        image.resize(size);
        const TempDir dir;
        OwnedFile file;
        EXPECT_TRUE(file.Open(dir.Write("tail", image)));
        Tried rejected;
        MicrocodeLane updates(MicrocodeFormats::all, false, kind == Kind::microcode ? &rejected : nullptr);
        LzhHeader header;
        LzhListingLane listing(header, kind == Kind::lzh ? &rejected : nullptr);
        SegmentListingLane segments(kind == Kind::segment ? &rejected : nullptr);
        Sweep(file, std::vector<SweepLane*>{&listing, &segments, &updates});
        Starts starts = rejected.starts;
        for (const ListedSegment& segment : segments.segments) {
            starts.push_back(segment.start);
        }
        return starts;
    };
    const auto tried = [&](std::size_t size, std::size_t at, const Bytes& pattern, Kind kind) {
        // Sixteen positions at a time as well as thirty-two, where the processor has them.
        std::vector<Starts> both;
        for (const bool wide : {true, false}) {
            processorExtensionsAllowed = wide;
            both.push_back(triedOnce(size, at, pattern, kind));
            processorExtensionsAllowed = true;
        }
        EXPECT_EQ(both[0], both[1]) << size << " " << at;
        return both[0];
    };
    for (const std::size_t size : {100UL, 8016UL, 8017UL, 8023UL, 16100UL}) {
        EXPECT_EQ(tried(size, size - 17, microcodePattern, Kind::microcode), Starts{size - 17}) << size;
        EXPECT_EQ(tried(size, size - 16, microcodePattern, Kind::microcode), Starts{}) << size;
        // An identifier that ends the file: its header starts 7 bytes before the end.
        EXPECT_EQ(tried(size, size - 5, lzhPattern, Kind::lzh), Starts{size - 7}) << size;
        EXPECT_EQ(tried(size, size - 8, segmentPattern, Kind::segment), Starts{size - 8}) << size;
        EXPECT_EQ(tried(size, size - 7, segmentPattern, Kind::segment), Starts{}) << size;
    }
    // Windows start every 8000 bytes: the marks (D6 F1) of a header at 7998
    // or 7999 lie past the first window's own 8000 positions, in the bytes
    // it shares with the next.
    for (const std::size_t at : {7997UL, 7998UL, 7999UL, 8000UL}) {
        EXPECT_EQ(tried(16100, at, segmentPattern, Kind::segment), Starts{at}) << at;
    }
}

TEST(MicrocodeScanTest, ResumesExactly2048BytesAfterAnAcceptedHeader)
{
    Bytes image;
    Place(image, 0, MakeMicrocodeHeader(Revision(1)));
    Place(image, 48, MakeMicrocodeHeader(Revision(2)));
    Place(image, 2000, MakeMicrocodeHeader(Revision(3)));
    Place(image, 2048, MakeMicrocodeHeader(Revision(4)));
    image.resize(8000, 0);
    const auto lines = Collect(image);
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_NE(lines[0].find("Rev. 0x01"), std::string::npos);
    EXPECT_NE(lines[1].find("Rev. 0x04"), std::string::npos);
}

TEST(MicrocodeScanTest, OrdersByKeyAndKeepsFileOrderForEqualKeys)
{
    const auto update = [](std::uint32_t revision, std::uint32_t signature, std::uint32_t flags) {
        MicrocodeFields fields;
        fields.revision = revision;
        fields.signature = signature;
        fields.platformFlags = flags;
        return MakeMicrocodeUpdate(fields);
    };
    Bytes image;
    test::Append(image, update(1, 0x653, 1));
    test::Append(image, update(2, 0x652, 4));
    test::Append(image, update(3, 0x652, 1));
    test::Append(image, update(4, 0x10652, 1));  // same key as 0x652 flags 1
    test::Append(image, update(5, 0x652, 1));
    const auto lines = Collect(image);
    ASSERT_EQ(lines.size(), 5U);
    const char* order[] = {"Rev. 0x03", "Rev. 0x04", "Rev. 0x05", "Rev. 0x02", "Rev. 0x01"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_NE(lines[i].find(order[i]), std::string::npos) << lines[i];
    }
}

struct NamingCase {
    std::uint32_t signature;
    std::uint32_t flags;
    const char* package;
    const char* name;
};

// Checks each case's package and name as `name` gives them.
void ExpectNames(std::span<const NamingCase> cases,
                 void (*name)(std::uint32_t, std::uint32_t, std::string&, std::string&))
{
    for (const NamingCase& c : cases) {
        std::string package = "stale";
        std::string processor = "stale";
        name(c.signature, c.flags, package, processor);
        EXPECT_EQ(package, c.package) << std::hex << c.signature << " flags " << c.flags;
        EXPECT_EQ(processor, c.name) << std::hex << c.signature << " flags " << c.flags;
    }
}

TEST(NamingTest, EveryRowAndSpecialCase)
{
    const NamingCase cases[] = {
        {0x612, 3, "", "Pentium Pro Processor"},
        {0x619, 0x20, "Micro-PGA1/Micro-PGA2", "Pentium Pro Processor"},
        {0x630, 4, "SECC", "Pentium II Xeon Processor"},
        {0x632, 4, "SECC", "Pentium II Xeon Processor"},
        {0x634, 2, "Mini-Cart", "Pentium II Processor"},
        {0x652, 3, "", "Pentium II Processor"},
        {0x653, 1, "SECC/SECC2", "Pentium II Processor"},
        {0x650, 1, "SECC/SEPP", "Pentium II Processor/Celeron Processor"},
        {0x651, 0x10, "PPGA", "Celeron Processor"},
        {0x651, 4, "SECC", "Pentium II Processor"},
        {0x650, 8, "MMC1/MMC2", "Pentium II Processor"},
        {0x660, 0, "SEPP", "Celeron Processor(Ondie-Cache)"},
        {0x665, 0x10, "PPGA", "Celeron Processor(Ondie-Cache)"},
        {0x66A, 2, "Mini-Cart", "Mobile Pentium II Processor/Celeron Processor"},
        {0x66D, 0x40, "", "Mobile Pentium II Processor"},
        {0x670, 4, "SECC", "Pentium III Xeon Processor"},
        {0x671, 8, "MMC1/MMC2", "Mobile Pentium III Processor"},
        {0x672, 0x20, "Micro-PGA1/Micro-PGA2", "Mobile Pentium III Processor"},
        {0x673, 0x10, "FC-PGA", "Pentium III Processor"},
        {0x680, 0x10, "FC-PGA", "Pentium III Processor(Coppermine)"},
        {0x681, 4, "SECC", "Pentium III Xeon Processor(Coppermine)"},
        {0x683, 2, "Mini-Cart", "Pentium III Processor(Coppermine)"},
        {0x686, 0x20, "Micro-PGA1/Micro-PGA2", "Mobile Pentium III Processor(Coppermine)"},
        {0x1632, 0, "PGA", "Pentium II OverDrive Processor"},
        {0x10652, 4, "SECC", "Unknown CPU"},
        {0x682, 0x80, "", "Unknown CPU"},
        {0x611, 0, "PGA", "Unknown CPU"},
        {0x66B, 1, "SECC/SECC2", "Unknown CPU"},
        {0x1650, 1, "SECC/SECC2", "Unknown CPU"},
    };
    ExpectNames(cases, NameProcessor);
}


// ---- the later formats

using test::FixChecksum;
using test::MakeLaterUpdate;
using test::PutLe32;

MicrocodeFields Later(std::uint32_t signature, std::uint32_t mask, std::uint32_t revision = 0x43A)
{
    MicrocodeFields fields;
    fields.signature = signature;
    fields.platformFlags = mask;
    fields.revision = revision;
    fields.date = MicrocodeDate(0x2025, 0x10, 0x12);
    return fields;
}

struct LaterCase {
    const char* what;
    void (*change)(Bytes& update);  // on a 4096-byte update with two extended signatures
    const char* message;            // empty: accepted
};

// Offsets of the update that MakeLaterUpdate builds: 4096 bytes, the table
// of two entries (44 bytes) at the end.
constexpr std::size_t kTable = 4096 - 44;
constexpr std::size_t kFirstEntry = kTable + 20;

const LaterCase kLaterCases[] = {
    {"accepted", [](Bytes&) {}, ""},
    {"zero sizes mean 2048", [](Bytes& u) { u = MakeLaterUpdate(Later(0xF27, 2, 0x38), 2048); PutLe32(u, 28, 0); PutLe32(u, 32, 0); FixChecksum(u); }, ""},
    {"reserved bytes after the sizes", [](Bytes& u) { PutLe32(u, 40, 0x419); PutLe32(u, 100, ReadLe32(u, 100) - 0x419); }, ""},
    {"version", [](Bytes& u) { PutLe32(u, 0, 2); FixChecksum(u); }, "知らないヘッダーバージョン 2"},
    {"revision 0", [](Bytes& u) { PutLe32(u, 4, 0); FixChecksum(u); }, "コードリビジョンがない 0"},
    {"month", [](Bytes& u) { PutLe32(u, 8, MicrocodeDate(0x2025, 0x13, 1)); FixChecksum(u); }, "変な月 19"},
    {"loader", [](Bytes& u) { PutLe32(u, 20, 2); FixChecksum(u); }, "ローダーバージョンが変 2"},
    {"mask above 8 bits", [](Bytes& u) { PutLe32(u, 24, 0x100); FixChecksum(u); }, "パッケージタイプが変 256"},
    {"data size not in dwords", [](Bytes& u) { PutLe32(u, 28, 4002); FixChecksum(u); }, "データサイズが変 4002"},
    {"total size not in KiB", [](Bytes& u) { PutLe32(u, 32, 4000); FixChecksum(u); }, "トータルサイズが変 4000"},
    {"data larger than total", [](Bytes& u) { PutLe32(u, 28, 4096); FixChecksum(u); }, "データサイズがトータルサイズを超える 4096"},
    {"table of no whole entry", [](Bytes& u) { PutLe32(u, 28, 4096 - 48 - 28); FixChecksum(u); }, "拡張シグネチャテーブルの大きさが変 28"},
    {"total beyond the file", [](Bytes& u) { PutLe32(u, 32, 7168); FixChecksum(u); }, "ファイル終端か？"},
    {"a changed data byte", [](Bytes& u) { ++u[100]; }, "チェックサムが合わない 00000001"},
    {"empty extended table", [](Bytes& u) {
         // The table's 20 bytes of header alone, with a count of 0.
         u = MakeLaterUpdate(Later(0x906A3, 0x80), 4096);
         PutLe32(u, 28, 4096 - 48 - 20);
         std::fill(u.end() - 20, u.end(), 0);
         FixChecksum(u);
     }, ""},
    {"count without its entry", [](Bytes& u) {
         u = MakeLaterUpdate(Later(0x906A3, 0x80), 4096);
         PutLe32(u, 28, 4096 - 48 - 20);
         std::fill(u.end() - 20, u.end(), 0);
         PutLe32(u, 4096 - 20, 1);
         PutLe32(u, 4096 - 16, 0xFFFFFFFF);  // the table still adds up to 0
         FixChecksum(u);
     }, "拡張シグネチャの数が変 1"},
    {"count smaller than the table", [](Bytes& u) {
         PutLe32(u, kTable, 1);
         PutLe32(u, kTable + 4, ReadLe32(u, kTable + 4) + 1);  // the sums stay 0
     }, "拡張シグネチャの数が変 1"},
    {"huge extended count", [](Bytes& u) { PutLe32(u, kTable, 0xFFFFFFFF); FixChecksum(u); }, "拡張シグネチャの数が変 4294967295"},
    {"extended table sum", [](Bytes& u) { PutLe32(u, kTable + 4, ReadLe32(u, kTable + 4) + 1); FixChecksum(u); },
     "拡張シグネチャテーブルのチェックサムが合わない 00000001"},
    {"entry checksum", [](Bytes& u) {
         PutLe32(u, kFirstEntry + 8, ReadLe32(u, kFirstEntry + 8) + 1);
         PutLe32(u, kTable + 4, ReadLe32(u, kTable + 4) - 1);
     }, "拡張シグネチャのチェックサムが合わない 906A4"},
};

void PrintTo(const LaterCase& c, std::ostream* os)
{
    *os << c.what;
}

class LaterReadTest : public ::testing::TestWithParam<LaterCase> {};

TEST_P(LaterReadTest, ChecksSizesAndEveryChecksum)
{
    const LaterCase& c = GetParam();
    Bytes update = MakeLaterUpdate(Later(0x906A3, 0x80), 4096, {{0x906A4, 0x80}, {0x906A3, 0x80}});
    c.change(update);
    const TempDir dir;
    OwnedFile file;
    ASSERT_TRUE(file.Open(dir.Write("u", update)));
    MicrocodeHeader classic;
    EXPECT_FALSE(classic.Read(file)) << "the classic rules never take these";
    file.Seek(0);
    MicrocodeHeader header(MicrocodeFormats::all);
    const bool accepted = header.Read(file);
    EXPECT_EQ(header.message, c.message);
    ASSERT_EQ(accepted, c.message[0] == '\0');
    if (accepted) {
        EXPECT_EQ(header.format, MicrocodeFormat::later);
        EXPECT_EQ(header.totalSize, update.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, LaterReadTest, ::testing::ValuesIn(kLaterCases), [](const auto& param) {
    std::string name = param.param.what;
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) {
            ch = '_';
        }
    }
    return name;
});


std::vector<std::string> CollectAll(const Bytes& bytes, RejectionObserver* rejections = nullptr)
{
    return Collect(bytes, MicrocodeFormats::all, rejections);
}

TEST(AllFormatsScanTest, ClassicLinesKeepTheirKeyLaterOnesOrderByWholeSignature)
{
    MicrocodeFields classic;  // 0x652, flags 4; its filler's checksum is not 0
    MicrocodeFields high = classic;
    high.signature = 0x10652;
    high.platformFlags = 1;
    // A classic header inside a later update's data is listed, as the
    // classic mode lists it; the later update after it is not hidden by its
    // 2048 bytes.
    Bytes family15 = MakeLaterUpdate(Later(0xF27, 0x02, 0x38), 2048);
    const Bytes hidden = test::MakeMicrocodeHeader(classic);
    std::copy(hidden.begin(), hidden.end(), family15.begin() + 100);
    FixChecksum(family15);

    Bytes image(333, 0xFF);
    test::Append(image, MakeLaterUpdate(Later(0x906A3, 0x80), 4096, {{0x906A4, 0x80}, {0x906A3, 0x80}, {0x906A4, 0x80}}));
    test::Append(image, test::MakeMicrocodeUpdate(high));
    test::Append(image, family15);
    test::Append(image, MakeLaterUpdate(Later(0x206A7, 0x12, 0x2F), 3072));
    test::Append(image, test::MakeMicrocodeUpdate(classic));
    const std::vector<std::string> expected = {
        "1999/05/25 Rev. 0x2A (CPUID 0x10652) SECC/SECC2 Unknown CPU",  // classic key 0x06520001
        "1999/05/25 Rev. 0x2A (CPUID 0x652) SECC Pentium II Xeon Processor",
        "1999/05/25 Rev. 0x2A (CPUID 0x652) SECC Pentium II Xeon Processor",
        "2025/10/12 Rev. 0x38 (CPUID 0xF27) Platform 1 Pentium 4, Mobile Pentium 4-M, Xeon, Celeron (Northwood/Prestonia C1)",
        "2025/10/12 Rev. 0x2F (CPUID 0x206A7) Platforms 1,4 Core Gen2 (SNB D2/G1/Q0)",
        "2025/10/12 Rev. 0x43A (CPUID 0x906A3) Platform 7 Core Gen12 (ADL L0)",
        "2025/10/12 Rev. 0x43A (CPUID 0x906A4) Platform 7 Core Gen12 (ADL R0)",
    };
    EXPECT_EQ(CollectAll(image), expected);
}

struct CountingRejections final : RejectionObserver {
    void Rejected(const LocatedRecord& record) override { messages.push_back(record.message); }
    std::vector<std::string> messages;
};

// The scan's quick tests of the date bytes hold the reader's range, in
// both modes: the first and last days are listed, the days around them not.
TEST(AllFormatsScanTest, TheScanKeepsTheDateRangeOfTheReader)
{
    Bytes image;
    std::uint32_t revision = 1;
    for (const std::uint32_t date : {MicrocodeDate(0x1990, 0x01, 0x01), MicrocodeDate(0x2100, 0x12, 0x31),
                                     MicrocodeDate(0x1989, 0x12, 0x31), MicrocodeDate(0x2101, 0x01, 0x01)}) {
        MicrocodeFields fields = Revision(revision++);
        fields.date = date;
        Place(image, image.size(), MakeMicrocodeUpdate(fields));
    }
    image.resize(image.size() + 64, 0);
    EXPECT_EQ(Collect(image).size(), 2U);
    EXPECT_EQ(CollectAll(image).size(), 2U);
}

TEST(AllFormatsScanTest, SumsOfLyingCandidatesAreBoundedAndTheScanGoesOn)
{
    // 1365 headers in a row, each announcing 1 MiB whose sum is wrong: the
    // first two are summed, the rest would make the scan quadratic and are
    // not; the update after them is.
    constexpr std::uint32_t kMiB = 1U << 20;
    Bytes image(2 * kMiB, 0xEE);
    Bytes liar = test::MakeMicrocodeHeader(Later(0x906A3, 0x80));
    PutLe32(liar, 28, kMiB - 48);
    PutLe32(liar, 32, kMiB);
    for (std::size_t at = 0; at + 48 <= 64 * 1024; at += 48) {
        std::copy(liar.begin(), liar.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    }
    const Bytes real = MakeLaterUpdate(Later(0x906A3, 0x80), 4096);
    std::copy(real.begin(), real.end(), image.begin() + static_cast<std::ptrdiff_t>(kMiB + kMiB / 2));
    CountingRejections rejections;
    EXPECT_EQ(CollectAll(image, &rejections).size(), 1U);
    ASSERT_EQ(rejections.messages.size(), 1365U);
    EXPECT_TRUE(rejections.messages[1].starts_with("チェックサムが合わない"));
    EXPECT_EQ(rejections.messages[2], "チェックサムを数えきれない 1048576");

    // Without lying candidates before it, an update of any size is summed.
    EXPECT_EQ(CollectAll(MakeLaterUpdate(Later(0x906A3, 0x80), 3 * kMiB)).size(), 1U);
}

TEST(NamingTest, LaterProcessorsByExactMaskElseEveryMaskElseGeneric)
{
    const NamingCase cases[] = {
        {0x906A4, 0x40, "Platform 6", "Atom C1100 (AZB A0/R0)"},
        {0x906A4, 0x80, "Platform 7", "Core Gen12 (ADL R0)"},
        {0x906A4, 0xC0, "Platforms 6,7", "Unknown CPU (family 0x6, model 0x9A, stepping 0x4)"},
        {0xA06A4, 0xE6, "Platforms 1,2,5,6,7", "Core Ultra Processor (MTL C0)"},
        {0x106A5, 0x03, "Platforms 0,1", "Core i7-900, Xeon 3500, Xeon 5500 (Bloomfield/Gainestown D0)"},
        {0xF43, 0x9D, "Platforms 0,2,3,4,7", "Pentium 4, Xeon (Prescott/Nocona/Irwindale N0)"},
        {0x20F32, 0x01, "Platform 0", "Unknown CPU (family 0xF, model 0x23, stepping 0x2)"},
        {0x100F00, 0x00, "Any platform (no platform ID)", "Unknown CPU (family 0x10, model 0x0, stepping 0x0)"},
        {0x10543, 0x01, "Platform 0", "Unknown CPU (family 0x5, model 0x4, stepping 0x3)"},
        {0x612, 0x00, "Any platform (no platform ID)", "Pentium Pro (P6 C0)"},
        {0x619, 0x01, "Platform 0", "Pentium Pro (P6 sB1)"},
    };
    ExpectNames(cases, NameLaterProcessor);
}

}  // namespace
}  // namespace veskari

namespace veskari {
namespace {

// The records' own formatter writes what printf writes, for every
// conversion their texts use.
TEST(RecordTextTest, FormatFieldWritesWhatPrintfWrites)
{
    const char* patterns[] = {"変な年 %d", "Rev. 0x%02X", "CPUの世代が変 %04X", "%08X!", "データサイズが変 %u", "-lh%d-", "(CPUID 0x%X)"};
    const std::uint32_t values[] = {0, 1, 9, 10, 0x1989, 0xFF, 0x100, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x906A3};
    for (const char* pattern : patterns) {
        const bool isSigned = std::string_view(pattern).find("%d") != std::string_view::npos;
        for (const std::uint32_t value : values) {
            char expected[64];
            if (isSigned) {
                std::snprintf(expected, sizeof expected, pattern, static_cast<std::int32_t>(value));
            } else {
                std::snprintf(expected, sizeof expected, pattern, value);
            }
            EXPECT_EQ(FormatField(pattern, value), expected) << pattern << " " << value;
        }
    }
}

}  // namespace
}  // namespace veskari

namespace veskari {
namespace {

// The scan passes over candidates that MayAccept refuses without reading
// them: it must never refuse one that Read would accept, in either mode.
TEST(MayAcceptTest, NeverRefusesWhatReadAccepts)
{
    std::mt19937 random(7);
    test::MicrocodeFields later;
    later.signature = 0x906A3;
    later.platformFlags = 0x80;
    later.revision = 0x43A;
    const test::Bytes seeds[] = {test::MakeMicrocodeUpdate({}), test::MakeLaterUpdate(later, 2048, {{0x906A4, 0x80}})};
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        test::Bytes bytes = seeds[round % 2];
        for (auto changes = random() % 3; changes > 0; --changes) {
            bytes[random() % 48] = static_cast<std::uint8_t>(random() % 4 == 0 ? random() : random() % 3);
        }
        for (const MicrocodeFormats formats : {MicrocodeFormats::classic, MicrocodeFormats::all}) {
            MemoryReader file;
            file.Open(bytes, "h");
            MicrocodeHeader header(formats);
            if (header.Read(file)) {
                ++accepted;
                EXPECT_TRUE(MicrocodeHeader::MayAccept(bytes, formats)) << round;
            }
        }
    }
    EXPECT_GT(accepted, 500);
}

// A file read ahead on a second thread is swept as its bytes in memory
// are: records that straddle the blocks handed over, a later update longer
// than a read buffer (summed in pieces of a whole buffer, so that the
// window keeps more than a block's room), and members whose headers are
// read past a block's end, after which the sweep seeks back.
TEST(SweepTest, AFileReadAheadIsSweptAsItsBytesInMemory)
{
    constexpr std::size_t kBlock = ReadAhead::kBlockSize;
    Bytes image(5 * kBlock + 3000);
    std::mt19937 random(7);
    for (std::uint8_t& byte : image) {
        byte = static_cast<std::uint8_t>(random() & 0xFE);  // never 01: no candidate by chance
    }
    Place(image, kBlock - 30, MakeMicrocodeUpdate(Revision(1)));
    Place(image, 2 * kBlock - 2048 + 100, MakeMicrocodeUpdate(Revision(2)));
    Place(image, 2 * kBlock - 10, test::MakeStoredMember("a.bin", Bytes(5000, 0x20)));
    Place(image, 3 * kBlock + 60000, MakeLaterUpdate(Later(0x906A3, 0x80), 300 * 1024));
    Place(image, 4 * kBlock + 70000 - 5, test::MakeStoredMember("b.bin", Bytes(100, 0x20), 2));
    Place(image, 5 * kBlock - 20, MakeMicrocodeHeader(Revision(3)));  // cut short by noise: rejected
    struct Tried final : RejectionObserver {
        void Rejected(const LocatedRecord& record) override { starts.push_back(record.start); }
        std::vector<std::uint64_t> starts;
    };
    struct Found {
        std::vector<std::string> lines;
        std::vector<std::uint64_t> members;
        std::vector<std::uint64_t> rejected;
        bool operator==(const Found&) const = default;
    };
    const auto sweep = [](File& file) {
        Tried rejected;
        MicrocodeLane updates(MicrocodeFormats::all, true, &rejected);
        LzhHeader header;
        LzhListingLane listing(header, &rejected);
        SegmentListingLane segments(&rejected);
        Sweep(file, std::vector<SweepLane*>{&listing, &segments, &updates});
        Found found;
        std::vector<UpdateRecord> records;
        updates.collector.Finish(records);
        for (const UpdateRecord& record : records) {
            found.lines.push_back(std::to_string(record.offset) + " " + record.line);
        }
        for (const ListedMember& member : listing.members) {
            found.members.push_back(member.start);
        }
        found.rejected = rejected.starts;
        return found;
    };
    MemoryReader memory(image, "image");
    const Found expected = sweep(memory);
    ASSERT_EQ(expected.lines.size(), 3U);
    ASSERT_EQ(expected.members.size(), 2U);

    const TempDir dir;
    OwnedFile file;
    ASSERT_TRUE(file.Open(dir.Write("image", image)));
    file.ReadAheadFromNow();
    EXPECT_EQ(sweep(file), expected);
}

}  // namespace
}  // namespace veskari
