#include <gtest/gtest.h>

#include "microcode/microcode_header.h"
#include "microcode/microcode_source.h"
#include "microcode/naming.h"
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
    CFile file;
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
    CFile file;
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
    CFile file;
    Bytes bytes = MakeMicrocodeHeader({});
    bytes.resize(47);  // the last reserved byte is missing, not zero
    ASSERT_TRUE(file.Open(dir.Write("h", bytes)));
    MicrocodeHeader header;
    EXPECT_FALSE(header.Read(file));
    EXPECT_TRUE(header.error);
}

// Scans a file through the source and returns the report lines.
std::vector<std::string> Collect(const Bytes& bytes)
{
    const TempDir dir;
    MicrocodeSource source;
    EXPECT_TRUE(source.Open(dir.Write("image", bytes)));
    std::vector<std::string> lines;
    EXPECT_TRUE(source.Collect(lines));
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

TEST(MicrocodeScanTest, CandidateInTheLastSixteenBytesIsNeverTried)
{
    const Bytes pattern{1, 0, 0, 0, 1, 0, 0, 0, 0x99, 0x19, 0x25, 0x05, 0x52, 0x06};
    const auto scan = [&](std::size_t offset) {
        Bytes image(100, 0);
        Place(image, offset, pattern);
        image.resize(100);
        const TempDir dir;
        CFile file;
        EXPECT_TRUE(file.Open(dir.Write("tail", image)));
        MicrocodeHeader header;
        EXPECT_FALSE(header.FindNext(file));
        return header.message;
    };
    EXPECT_EQ(scan(84), "もう次のヘッダーはないよん");  // 16 bytes before the end: not a candidate
    EXPECT_EQ(scan(83), "ファイル終端か？\r\nもう次のヘッダーはないよん");  // tried, cut short
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

TEST(MicrocodeScanTest, EndOfScanNoticeFollowsTheLastDiagnostic)
{
    const TempDir dir;
    CFile file;
    ASSERT_TRUE(file.Open(dir.Write("short", Bytes(10, 0))));
    MicrocodeHeader fresh;
    EXPECT_FALSE(fresh.FindNext(file));
    EXPECT_EQ(fresh.message, "もう次のヘッダーはないよん");

    Bytes image(200, 0);
    Place(image, 10, MakeMicrocodeHeader(Revision(0)));
    CFile rejected;
    ASSERT_TRUE(rejected.Open(dir.Write("rejected", image)));
    MicrocodeHeader header;
    EXPECT_FALSE(header.FindNext(rejected));
    EXPECT_EQ(header.message, "コードリビジョンが大きすぎる 0\r\nもう次のヘッダーはないよん");
    EXPECT_TRUE(header.error);
}

struct NamingCase {
    std::uint32_t signature;
    std::uint32_t flags;
    const char* package;
    const char* name;
};

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
    for (const NamingCase& c : cases) {
        std::string package = "stale";
        std::string name = "stale";
        NameProcessor(c.signature, c.flags, package, name);
        EXPECT_EQ(package, c.package) << std::hex << c.signature << " flags " << c.flags;
        EXPECT_EQ(name, c.name) << std::hex << c.signature << " flags " << c.flags;
    }
}

}  // namespace
}  // namespace veskari
