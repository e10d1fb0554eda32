#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

#include "lzh/bit_reader.h"
#include "lzh/crc16.h"
#include "lzh/huffman_table.h"
#include "lzh/lzh_decoder.h"
#include "lzh/lzh_source.h"
#include "platform/stop_request.h"
#include "platform/descriptor_file.h"
#include "platform/memory_file.h"
#include "records/processor_extensions.h"
#include "support/lzh_writer.h"
#include "support/reference_scan.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::BitWriter;
using test::BlockCodes;
using test::Bytes;
using test::Literal;
using test::LzhEncoder;
using test::Match;
using test::TempDir;
using test::Token;

struct Decoded {
    bool ok = false;
    Bytes output;
};

// Decodes `data` as one member with these header fields, through files as
// the archive pass does, with `decoder` or a new one.
// `after` stands in the file after the member's data.
Decoded Decode(int method, const Bytes& data, std::size_t decodedSize, std::uint32_t crc,
               LzhDecoder* decoder = nullptr, const Bytes& after = {})
{
    const auto own = decoder == nullptr ? std::make_unique<LzhDecoder>() : nullptr;
    const TempDir dir;
    OwnedFile input;
    Bytes file = data;
    file.insert(file.end(), after.begin(), after.end());
    EXPECT_TRUE(input.Open(dir.Write("data", file)));
    LzhHeader header;
    header.method = method;
    header.compressedSize = static_cast<std::int32_t>(data.size());
    header.decodedSize = static_cast<std::uint32_t>(decodedSize);
    header.crc16 = crc;
    Decoded result;
    MemoryWriter output;
    output.Open(result.output, "output");
    result.ok = (decoder != nullptr ? *decoder : *own).DecodeMember(output, input, header);
    return result;
}

// Bytes without structure, the same on every run.
Bytes Noise(std::size_t size, unsigned shift)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 2654435761U) >> shift);
    }
    return bytes;
}

// `count` literals, the i-th of them byteOf(i).
template <typename ByteOf>
std::vector<Token> Literals(int count, ByteOf byteOf)
{
    std::vector<Token> tokens;
    for (int i = 0; i < count; ++i) {
        tokens.push_back(Literal(byteOf(i)));
    }
    return tokens;
}

// An input file holding these bytes, for the bit reader and table tests.
struct BitsFile {
    explicit BitsFile(const Bytes& bytes) { EXPECT_TRUE(file.Open(dir.Write("bits", bytes))); }
    TempDir dir;
    OwnedFile file;
};

TEST(BitReaderTest, ZerosFlowAfterTheCompressedSizeOrTheEndOfTheFile)
{
    BitsFile in(Bytes{0xAB, 0xCD, 0xEF, 0x12});
    BitReader reader;
    reader.Begin(in.file, 2);
    EXPECT_EQ(reader.bitBuf, 0xABCD0000U);
    EXPECT_EQ(reader.bytesLeft, 0);
    reader.Fill(in.file, 16);
    EXPECT_EQ(reader.bitBuf, 0U);
    EXPECT_EQ(in.file.GetPosition(), 2U);

    BitsFile all(Bytes{0x80, 0x01});
    reader.Begin(all.file, -5);  // negative: reads until the file ends
    EXPECT_EQ(reader.bitBuf, 0x80010000U);
    EXPECT_EQ(reader.GetBits(all.file, 1), 1U);
    EXPECT_EQ(reader.GetBits(all.file, 16), 0x0002U);
    EXPECT_EQ(reader.bytesLeft, -5);
}

using Fields = std::initializer_list<std::pair<std::uint32_t, int>>;

// Tables and a bit reader over these (value, width) bit fields.
struct TableInput {
    explicit TableInput(Fields fields) : in(Bits(fields)) { reader.Begin(in.file, -1); }
    static Bytes Bits(Fields fields)
    {
        BitWriter bits;
        for (const auto& [value, width] : fields) {
            bits.Put(value, width);
        }
        return bits.Finish();
    }
    bool Pt(int symbols, int countBits, int special)
    {
        return tables->ReadPtLengths(reader, in.file, symbols, countBits, special);
    }
    bool C() { return Pt(19, 5, 3) && tables->ReadCLengths(reader, in.file); }
    // The code-length or position symbol at the front and its length, then consumed.
    std::pair<std::uint32_t, int> PtSymbol()
    {
        std::pair<std::uint32_t, int> found{~0U, 0};
        EXPECT_TRUE(tables->PeekPtSymbol(reader, found.first, found.second));
        reader.Fill(in.file, found.second);
        return found;
    }

    BitsFile in;
    BitReader reader;
    std::unique_ptr<HuffmanTables> tables = std::make_unique<HuffmanTables>();
};

TEST(HuffmanTableTest, MakeTableFillsShortCodesAndRefusesBadSums)
{
    auto tables = std::make_unique<HuffmanTables>();
    std::array<std::uint16_t, 256> table{};
    const std::uint8_t two[] = {1, 1};
    ASSERT_TRUE(tables->MakeTable(2, two, 8, table.data()));
    EXPECT_EQ(std::count(table.begin(), table.begin() + 128, 0), 128);
    EXPECT_EQ(std::count(table.begin() + 128, table.end(), 1), 128);

    table.fill(0x7777);
    // Incomplete, over-full, and over-full by a whole code (sums to 2 x 65536).
    for (const Bytes& lengths : {Bytes{1, 2}, Bytes{1, 1, 1}, Bytes{1, 1, 1, 1}}) {
        EXPECT_FALSE(tables->MakeTable(static_cast<int>(lengths.size()), lengths.data(), 8, table.data()));
    }
    EXPECT_EQ(std::count(table.begin(), table.end(), 0x7777), 256);  // nothing written
}

// Lengths are checked by looking symbols up: the code of a symbol finds it
// only when every length before it was read right.
TEST(HuffmanTableTest, CodeLengthSetsWithTheirSpecialCodings)
{
    using Found = std::pair<std::uint32_t, int>;
    // Count 0, then the value 4: every lookup yields 4 and consumes nothing.
    TableInput single({{0, 5}, {4, 5}, {0xFFFF, 16}});
    ASSERT_TRUE(single.Pt(19, 5, 3));
    EXPECT_EQ(single.PtSymbol(), Found(4, 0));
    EXPECT_EQ(single.reader.ConsumedBits(), 10U);

    // Count 6: lengths 2, 2, 2, a run of 2 zeros, then entry 5, the last
    // (the run counts); then the code of entry 5.
    TableInput run({{6, 5}, {0b010'010'010, 9}, {2, 2}, {0b010, 3}, {0b11, 2}});
    ASSERT_TRUE(run.Pt(19, 5, 3));
    EXPECT_EQ(run.reader.ConsumedBits(), 19U);
    EXPECT_EQ(run.PtSymbol(), Found(5, 2));

    // Lengths 1 to 9 and 9 (111 0 is 7, 111 11 0 is 9); the codes of 9 bits
    // go past the 8-bit table into the tree.
    TableInput unary({{10, 5}, {0b001'010'011, 9}, {0, 2}, {0b100'101'110, 9}, {0b1110'11110, 9},
                      {0b111110'111110, 12}, {0b111111111, 9}, {0b1111110, 7}});
    ASSERT_TRUE(unary.Pt(19, 5, 3));
    EXPECT_EQ(unary.PtSymbol(), Found(9, 9));
    EXPECT_EQ(unary.PtSymbol(), Found(6, 7));
}

TEST(HuffmanTableTest, CorruptLengthSetsFailWithoutTouchingMemoryOutside)
{
    EXPECT_FALSE(TableInput({{20, 5}}).Pt(19, 5, 3));  // count above 19
    // 14 position symbols: the single code 14 is outside.
    EXPECT_FALSE(TableInput({{0, 4}, {14, 4}}).Pt(14, 4, HuffmanTables::kNoSpecialIndex));
    EXPECT_FALSE(TableInput({{3, 5}, {0xFFFFFFFF, 32}}).Pt(19, 5, 3));  // a unary length far beyond 16

    // Literal/length sets after a code-length code of one symbol: a count
    // above 510, a single code outside, a zero run past the end (symbol 2
    // with nine one bits: 531 zeros).
    EXPECT_FALSE(TableInput({{0, 5}, {3, 5}, {511, 9}}).C());
    EXPECT_FALSE(TableInput({{0, 5}, {0, 5}, {0, 9}, {510, 9}}).C());
    EXPECT_FALSE(TableInput({{0, 5}, {2, 5}, {100, 9}, {511, 9}}).C());

    // Symbol 2 with nine zero bits: a run of 20 zeros, twice, ends a count
    // of 30. An all-zero set is accepted; a lookup in it finds no symbol.
    TableInput zeros({{0, 5}, {2, 5}, {30, 9}, {0, 18}});
    EXPECT_TRUE(zeros.C());
    std::uint32_t symbol = 0;
    EXPECT_FALSE(zeros.tables->ReadCSymbol(zeros.reader, zeros.in.file, symbol));
}

class DecoderMethodTest : public ::testing::TestWithParam<int> {
protected:
    [[nodiscard]] int Np() const { return GetParam() <= 5 ? 14 : 17; }

    // Decodes what `encoder` wrote for these tokens and compares the bytes.
    void ExpectDecodes(LzhEncoder& encoder, const std::vector<Token>& tokens) const
    {
        const Bytes expected = test::Expand(tokens);
        const Decoded decoded = Decode(GetParam(), encoder.Finish(), expected.size(), test::Crc16(expected));
        EXPECT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.output, expected);
    }
};

TEST_P(DecoderMethodTest, MatchesOfEveryDistanceKind)
{
    // distance 1 (position 0), 2 (symbol 1), 17 (symbol 5, extra 0000), a long one
    std::vector<Token> tokens = Literals(20, [](int i) { return 'b' + i; });
    tokens.insert(tokens.begin(), {Literal('a'), Match(10, 1)});
    tokens.push_back(Match(3, 2));
    tokens.push_back(Match(256, 17));
    tokens.push_back(Match(5, 290));
    LzhEncoder encoder(Np());
    encoder.Block(tokens);
    ExpectDecodes(encoder, tokens);
    EXPECT_EQ(test::Expand(tokens)[10], 'a');
}

TEST_P(DecoderMethodTest, MatchCrossingAChunkBoundaryGoesOnInTheNextChunk)
{
    std::vector<Token> tokens = Literals(65534, [](int i) { return (i * 13) & 0xFF; });
    tokens.push_back(Match(200, Np() == 14 ? 8000 : 60000));  // starts 2 bytes before the chunk ends
    tokens.push_back(Literal('z'));
    LzhEncoder encoder(Np());
    // Blocks hold at most 65535 codes: split the tokens.
    encoder.Block(std::vector<Token>(tokens.begin(), tokens.begin() + 40000));
    encoder.Block(std::vector<Token>(tokens.begin() + 40000, tokens.end()));
    ExpectDecodes(encoder, tokens);
}

TEST_P(DecoderMethodTest, BlockSizeZeroKeepsItsTablesForTheRestOfTheMember)
{
    const std::vector<Token> tokens = Literals(70000, [](int i) { return i % 7 == 0 ? 'x' : 'y'; });
    LzhEncoder encoder(Np());
    encoder.Block(tokens, test::FullCodes(Np()), 0);
    ExpectDecodes(encoder, tokens);
}

TEST_P(DecoderMethodTest, LongCodesWalkTheTree)
{
    BlockCodes codes = test::FullCodes(Np());
    // Symbol s has length s + 1 up to 13; symbols 13 and 14 have 14 bits.
    codes.cLen = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 14};
    codes.cLen.resize(510);
    const std::vector<Token> tokens{Literal(14), Literal(13), Literal(0), Literal(12), Literal(14)};
    LzhEncoder encoder(Np());
    encoder.Block(tokens, codes);
    ExpectDecodes(encoder, tokens);
}

// Matches are copied in 16- or 8-byte steps, as one run of a byte, or byte
// by byte where the source repeats a short pattern, wraps around the end of
// the ring or runs into the target. Every kind, with sources in this chunk
// and in the previous one high in the ring, gives what a copy byte by byte
// gives, and nothing past a match's end is touched (the longest distances
// read the bytes there).
TEST_P(DecoderMethodTest, EveryKindOfMatchCopyGivesTheBytesOfACopyByteByByte)
{
    const int farthest = Np() == 14 ? 8192 : 65536;
    // A first chunk of noise, so that every distance reaches back into it.
    std::vector<Token> tokens = Literals(66000, [](int i) { return static_cast<int>((static_cast<unsigned>(i) * 2654435761U) >> 13) & 0xFF; });
    int size = 66000;
    const auto add = [&](Token token) {
        tokens.push_back(token);
        size += token.literal >= 0 ? 1 : token.length;
    };
    // Early in the second chunk: sources in the first chunk that wrap
    // around the ring's end, that end before it, and (lh6 and lh7) that
    // run into the target.
    add(Match(200, size % 65536 + 100));
    add(Match(256, size % 65536 + 300));
    if (farthest == 65536) {
        add(Match(100, 65536 - 50));
    }
    // A short match, then one that reads the bytes just past it as they
    // stood in the first chunk (lh6 and lh7; lh4 and lh5 read near).
    add(Match(3, 16));
    add(Match(3, farthest - 6));
    for (const int distance : {1, 2, 3, 7, 8, 9, 15, 16, 17, 300, farthest - 17, farthest - 1, farthest}) {
        for (const int length : {3, 4, 7, 8, 15, 16, 17, 33, 256}) {
            add(Match(length, distance));
            add(Literal((distance + length) & 0xFF));
        }
    }
    LzhEncoder encoder(Np());
    encoder.Block(std::vector<Token>(tokens.begin(), tokens.begin() + 40000));
    encoder.Block(std::vector<Token>(tokens.begin() + 40000, tokens.end()));
    ExpectDecodes(encoder, tokens);
}

// Zero bits stand in for data past the member's end, and the CRC decides:
// an encoder may leave out the zero bytes that end its stream; the bytes
// that follow in the file are never read as the member's. Data cut
// shorter than that decodes to the full size and fails on the CRC.
TEST_P(DecoderMethodTest, CutShortDataDecodesOnZeroBitsAndTheCrcDecides)
{
    // Literal 0 has the all-zero code.
    const std::vector<Token> tokens = Literals(4000, [](int i) { return i < 3000 ? i & 0xFF : 0; });
    LzhEncoder encoder(Np());
    encoder.Block(tokens);
    Bytes data = encoder.Finish();
    const auto zeros = std::find_if(data.rbegin(), data.rend(), [](std::uint8_t b) { return b != 0; }).base();
    ASSERT_GE(data.end() - zeros, 64);
    data.erase(zeros, data.end());
    const Bytes expected = test::Expand(tokens);
    auto decoder = std::make_unique<LzhDecoder>();
    Decoded decoded = Decode(GetParam(), data, expected.size(), test::Crc16(expected), decoder.get(), Bytes(64, 0xFF));
    EXPECT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.output, expected);

    data.resize(data.size() / 2);
    decoded = Decode(GetParam(), data, expected.size(), test::Crc16(expected), decoder.get());
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(decoder->LastFailure(), DecodeFailure::crcMismatch);
    EXPECT_EQ(decoded.output.size(), expected.size());
}

TEST_P(DecoderMethodTest, GarbageAnnouncingAHugeSizeStopsEarly)
{
    // Garbage, and a valid first block whose codes then run on past the data.
    LzhEncoder encoder(Np());
    encoder.Block(Literals(100, [](int i) { return i; }), test::FullCodes(Np()), 0);
    for (const Bytes& data : {Noise(300, 7), encoder.Finish()}) {
        const Decoded decoded = Decode(GetParam(), data, 200U << 20, 0);
        EXPECT_FALSE(decoded.ok);
        EXPECT_LE(decoded.output.size(), 65536U * 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, DecoderMethodTest, ::testing::Values(4, 5, 6, 7),
                         [](const auto& param) { return "lh" + std::to_string(param.param); });

TEST(DecoderTest, StoredEmptyAndRefusedMembers)
{
    const Bytes content = Noise(65537, 9);
    const std::uint16_t crc = test::Crc16(content);
    Decoded decoded = Decode(kMethodStored, content, 65537, crc);
    EXPECT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.output, content);

    // Stored data that ends early: the whole chunks before stay written.
    decoded = Decode(kMethodStored, Bytes(content.begin(), content.end() - 1), 65537, crc);
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(decoded.output.size(), 65536U);

    // Directory entries and members above the size bound: nothing written.
    for (const auto& [method, size] : {std::pair{kMethodDirectory, 0U}, {kMethodStored, LzhDecoder::kMaxDecodedSize + 1}}) {
        decoded = Decode(method, Bytes(100, 0), size, 0);
        EXPECT_FALSE(decoded.ok);
        EXPECT_TRUE(decoded.output.empty());
    }
    for (const int method : {0, 4, 5, 6, 7}) {  // an empty member stands with CRC 0 alone
        EXPECT_TRUE(Decode(method, Bytes{}, 0, 0).ok);
        EXPECT_FALSE(Decode(method, Bytes{}, 0, 1).ok);
    }
}

// A stop request raised while the first chunk is written ends the member
// before the second; a corrupt member fails alone. Either way the same
// decoder then decodes the next member.
TEST(DecoderTest, AStoppedOrCorruptMemberLeavesTheDecoderReadyForTheNext)
{
    struct RaiseOnWrite final : FileFaultHook {
        StopRequest request;
        int writes = 0;
        bool Refuse(FileOperation operation, const std::string&) override
        {
            if (operation == FileOperation::write && ++writes == 1) {
                request.Raise();
            }
            return false;
        }
    } hook;
    auto decoder = std::make_unique<LzhDecoder>();
    {
        const StopScope scope(hook.request);
        SetFileFaultHook(&hook);
        EXPECT_THROW((void)Decode(kMethodStored, Bytes(3 * 65536, 'x'), 3 * 65536, 0, decoder.get()), AnalysisStopped);
        SetFileFaultHook(nullptr);
    }
    EXPECT_EQ(hook.writes, 1);

    EXPECT_FALSE(Decode(5, Noise(4000, 13), 100000, 0, decoder.get()).ok);

    const std::vector<Token> tokens{Literal('o'), Literal('k'), Match(4, 2)};
    LzhEncoder encoder(14);
    encoder.Block(tokens);
    const Bytes expected = test::Expand(tokens);
    const Decoded decoded = Decode(5, encoder.Finish(), 6, test::Crc16(expected), decoder.get());
    EXPECT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.output, expected);
}

// Every production CRC against the bit-by-bit reference of the test
// support, at every length across several steps of the sliced tables and
// of the folding (with and without the carry-less multiply) and from a
// running value; the reference itself against the catalogue value.
TEST(Crc16Test, TableSlicedAndFoldedCrcsAgreeWithABitByBitReference)
{
    EXPECT_EQ(test::Crc16(Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0xBB3D);
    const Bytes bytes = Noise(700, 11);
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        const Bytes part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        const std::uint32_t expected = test::Crc16(part);
        EXPECT_EQ(UpdateCrc16(0, part.data(), length), expected) << length;
        EXPECT_EQ(UpdateCrc16Sliced(0, part.data(), length), expected) << length;
        for (const bool wide : {true, false}) {
            processorExtensionsAllowed = wide;
            EXPECT_EQ(UpdateCrc16Fast(0, part.data(), length), expected) << length;
            const std::size_t half = length / 2;
            EXPECT_EQ(UpdateCrc16Fast(UpdateCrc16(0, part.data(), half), part.data() + half, length - half), expected)
                << length;
            processorExtensionsAllowed = true;
        }
    }
}

// Archives made by an encoder nobody on this project wrote: the lha of
// jlha-utils, at every header level and method. lh4 members are lh5
// members with the method byte changed (the same stream format). The
// parameters are the header level and the method (0 stores).
class LhaRoundTripTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(LhaRoundTripTest, EveryMemberDecodesToTheOriginalBytes)
{
    VESKARI_SKIP_ON_WINDOWS("lha and a shell to run it");
    if (std::system("command -v lha >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "lha (jlha-utils) is not installed";
    }
    const auto [level, method] = GetParam();
    const TempDir dir;
    std::map<std::string, Bytes> originals;
    std::string text;
    for (int i = 0; i < 9000; ++i) {
        text += "line " + std::to_string(i * 7919 % 1000) + " of a firmware module\n";
    }
    originals["text.txt"] = Bytes(text.begin(), text.end());
    Bytes binary(150000);
    for (std::size_t i = 0; i < binary.size(); ++i) {
        binary[i] = static_cast<std::uint8_t>((i % 251) ^ (i / 4096));
    }
    originals["bin.dat"] = binary;
    originals["zero.bin"] = Bytes{};
    for (const auto& [name, bytes] : originals) {
        (void)dir.Write("in/" + name, bytes);
    }
    const int lhaMethod = method == 4 ? 5 : method;
    const std::string options = "a" + std::to_string(level) + (lhaMethod == 0 ? std::string("z") : "o" + std::to_string(lhaMethod));
    const auto run = test::RunCommand("lha " + options + " ../out.lzh text.txt bin.dat zero.bin", dir / "in");
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    std::string archive = test::ReadFile(dir / "out.lzh");
    if (method == 4) {
        // Turn each -lh5- header into -lh4- (level 0 and 1 need a new checksum).
        for (std::size_t at = archive.find("-lh5-"); at != std::string::npos; at = archive.find("-lh5-", at + 1)) {
            archive[at + 3] = '4';
            if (level < 2) {
                archive[at - 1] = static_cast<char>(archive[at - 1] - 1);
            }
        }
        test::WriteFile(dir / "out.lzh", archive);
    }

    auto source = std::make_unique<test::LzhScan>();
    ASSERT_TRUE(source->Open(dir / "out.lzh"));
    std::vector<std::string> names;
    EXPECT_TRUE(source->Collect(names));
    ASSERT_EQ(names.size(), originals.size());
    source->file->Seek(0);
    int compressedMembers = 0;
    for (const std::string& name : names) {
        ASSERT_TRUE(source->FindMember(name));
        if (source->header.method == method) {
            ++compressedMembers;
        }
        Bytes decoded;
        MemoryWriter output;
        output.Open(decoded, "decoded");
        EXPECT_TRUE(source->decoder.DecodeMember(output, *source->file, source->header)) << name;
        EXPECT_EQ(decoded, originals[name]) << name;
        source->header.SkipPast(*source->file);
    }
    EXPECT_GE(compressedMembers, 2);  // the empty member may be stored whatever was asked
}

INSTANTIATE_TEST_SUITE_P(LevelsAndMethods, LhaRoundTripTest,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Values(0, 4, 5, 6, 7)),
                         [](const auto& param) {
                             return "level" + std::to_string(std::get<0>(param.param)) + "_lh" +
                                    std::to_string(std::get<1>(param.param));
                         });

// The archives of many archivers in the shared test data: every member of
// a supported method and header level decodes with a matching CRC-16 (so a
// fault in the decoder's CRC fails them all), except
// two known cases: an archive cut short on purpose and an archiver that
// writes its own variant under the -lh7- name. The archiver whose level-2
// size field counts two bytes fewer than the header has decodes too.
TEST(LhasaArchivesTest, EverySupportedMemberDecodesWithAMatchingCrc)
{
    const std::string shared = test::SharedDir();
    const std::string archives = shared + "/testdata/lhasa/archives";
    std::ifstream index(shared + "/testdata/lhasa/INDEX.tsv");
    std::string line;
    int members = 0;
    std::vector<std::string> failures;
    while (std::getline(index, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::string path = line.substr(0, line.find('\t'));
        if (path.find("h2_huge") != std::string::npos) {
            continue;  // 4.7 GB of zeros: a case for the size bound, not for this test
        }
        auto source = std::make_unique<test::LzhScan>();
        if (!source->Open(archives + "/" + path)) {
            continue;
        }
        Bytes decoded;
        MemoryWriter discard;
        while (test::FindNext(source->header, *source->file)) {
            const LzhHeader& header = source->header;
            if (header.method != kMethodDirectory) {
                ++members;
                discard.Open(decoded, "decoded");
                source->header.SeekToData(*source->file);
                if (!source->decoder.DecodeMember(discard, *source->file, header)) {
                    failures.push_back(path + ":" + header.memberName);
                }
            }
            source->header.SkipPast(*source->file);
        }
    }
    EXPECT_GT(members, 150);
    const std::vector<std::string> expected{"regression/truncated.lzh", "lhark04d/lh7.lzh", "lhark04d/lh7_long.lzh"};
    std::erase_if(failures, [&](const std::string& failure) {
        return std::any_of(expected.begin(), expected.end(),
                           [&](const std::string& known) { return failure.starts_with(known + ":"); });
    });
    EXPECT_TRUE(failures.empty()) << ::testing::PrintToString(failures);
}

}  // namespace
}  // namespace veskari
