#include <gtest/gtest.h>
#include <set>

#include "platform/descriptor_file.h"
#include "analysis/analyzer.h"
#include "microcode/microcode_header.h"
#include "output/csv_output.h"
#include "output/rejection_texts.h"
#include "platform/file.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"

namespace veskari::output {
namespace {

TEST(CsvOutputTest, FieldsAreQuotedOnlyWhenTheyMustBe)
{
    const struct {
        std::string text;
        std::string field;
    } cases[] = {
        {"plain name.bin", "plain name.bin"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line\nbreak", "\"line\nbreak\""},
        {"cr\ronly", "\"cr\ronly\""},
        {"\r\n", "\"'\r\n\""},
        {"odd\xFF bytes\t and 'quotes'", "odd\xFF bytes\t and 'quotes'"},  // bytes stay as they are
        // What a spreadsheet would take for a formula starts with an apostrophe.
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+cmd|' /C calc'!A0", "'+cmd|' /C calc'!A0"},
        {"-2+3", "'-2+3"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\r=1", "\"'\r=1\""},
        {"a=b+c-d@e", "a=b+c-d@e"},
        {"'", "'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvField(c.text), c.field) << c.text;
    }
    EXPECT_EQ(CsvHeader(),
              "path,member chain,offset,CPUID,platform flags,revision,date,package,processor,checksum valid,"
              "standing,newest published revision,newest published date,newest published in,first published in,"
              "last published in,highest revision in file,standing of highest\r\n");
}

// Rows come from the events of a real analysis, in report order: the
// top-level path on every row, the chain of members below it (stored
// members show the update at every level), and the fields the report shows.
TEST(CsvOutputTest, RowsOfANestedMemberNameWhereTheUpdateWasFound)
{
    const test::TempDir dir;
    test::MicrocodeFields fields;
    fields.signature = 0x66A;
    fields.platformFlags = 0x20;
    fields.revision = 0x0C;
    fields.date = test::MicrocodeDate(0x1999, 0x05, 0x05);
    // A checksum that makes the update's dwords add up to 0.
    const test::Bytes unsummed = test::MakeMicrocodeUpdate(fields);
    for (std::size_t i = 0; i + 4 <= unsummed.size(); i += 4) {
        fields.checksum -= static_cast<std::uint32_t>(unsummed[i] | unsummed[i + 1] << 8 | unsummed[i + 2] << 16 |
                                                      unsummed[i + 3] << 24);
    }
    const test::Bytes inner = test::MakeStoredMember("mobile,\"x\".bin", test::MakeMicrocodeUpdate(fields));
    const std::string path = dir.Write("a,b.rom", test::MakeStoredMember("modules.bin", inner));

    StringReport report;
    UpdateRowRecorder recorder;
    Analyzer analyzer(report, &recorder);
    analyzer.AnalyzePath(path);
    // Rev. 0x0B of 1999/05/05 is the newest that was published for 0x66A on platform 0x20.
    const std::string fieldsText =
        ",0x66A,0x20,0x0C,1999/05/05,Micro-PGA1/Micro-PGA2,Mobile Pentium II Processor/Celeron Processor,yes,"
        "newer,0x0B,1999/05/05,microcode-20190312,,,0x0C,newer\r\n";
    std::string expected;
    for (const std::string_view chain : {"\"modules.bin/mobile,\"\"x\"\".bin\",0x0", "modules.bin,0x26", ",0x49"}) {
        expected += CsvField(path) + "," + std::string(chain) + fieldsText;
    }
    std::string records;
    for (const UpdateRow& row : recorder.Rows()) {
        records += CsvRecord(row);
    }
    EXPECT_EQ(records, expected);
}

// Every diagnostic that the records write has its code and English text,
// values kept; one the table does not know is shown as it is.
TEST(RejectionTextsTest, EveryDiagnosticHasACodeAndATextInEachLanguage)
{
    // Diagnostics as the records write them, the real ones included.
    test::MicrocodeFields badYear;
    badYear.date = test::MicrocodeDate(0x2101, 1, 1);
    const test::TempDir dir;
    OwnedFile file;
    test::Bytes bytes = test::MakeMicrocodeHeader(badYear);
    bytes.resize(64, 0);
    ASSERT_TRUE(file.Open(dir.Write("h", bytes)));
    MicrocodeHeader header;
    ASSERT_FALSE(header.Read(file));
    EXPECT_EQ(RejectionCode(header.message), "badYear");
    EXPECT_EQ(RejectionText(header.message, Language::English), "year out of range 8449");
    EXPECT_EQ(RejectionText(header.message, Language::Japanese), header.message);

    const struct {
        std::string_view message;
        std::string_view code;
    } cases[] = {
        {"コードリビジョンが大きすぎる 256", "revisionRange"}, {"コードリビジョンがない 0", "noRevision"},
        {"データサイズが変 5", "dataSize"}, {"データサイズがトータルサイズを超える 9", "dataExceedsTotal"},
        {"拡張シグネチャのチェックサムが合わない 906A4", "extendedChecksum"},
        {"拡張シグネチャテーブルのチェックサムが合わない 00000001", "extendedTableChecksum"},
        {"チェックサムが合わない 00000001", "checksum"}, {"ファイル終端か？", "endOfFile"},
        {"未知の圧縮形式 -lh9-", "unknownMethod"}, {"ファイルが切れてる？", "truncated"},
        {"セグメントの印がない", "noSegmentMark"},
        {"a new diagnostic", "other"},
    };
    std::set<std::string_view> codes;
    for (const auto& c : cases) {
        EXPECT_EQ(RejectionCode(c.message), c.code) << c.message;
        EXPECT_TRUE(codes.insert(RejectionCode(c.message)).second) << c.message;  // codes tell them apart
    }
    EXPECT_EQ(RejectionText("未知の圧縮形式 -lh9-", Language::English), "unknown compression method -lh9-");
    EXPECT_EQ(RejectionText("a new diagnostic", Language::English), "a new diagnostic");
    // A rejection followed by the notice that no header follows: both lines, translated.
    EXPECT_EQ(RejectionText("LZH書庫ではない\r\nもう次のヘッダーはないよん", Language::English),
              "not an LZH header; no further header in the file");
}

}  // namespace
}  // namespace veskari::output
