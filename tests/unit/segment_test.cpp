// Compressed segments: the header and its name, and the LZSS decoder
// against our own encoder and a reference decoder written from the format's
// description; edges of the window that starts as spaces; data that is cut,
// lies about its size or is random never crashes and is told.

#include <gtest/gtest.h>
#include <random>

#include "platform/memory_file.h"
#include "segment/segment_decoder.h"
#include "segment/segment_header.h"
#include "support/reference_scan.h"
#include "support/segment_writer.h"

namespace veskari {
namespace {

using test::Bytes;

struct Decoded {
    bool sound = false;
    SegmentDecoder::Failure failure = SegmentDecoder::Failure::none;
    Bytes bytes;
};

// Decodes `data` as the data of a segment that announces `decodedSize`.
Decoded Decode(const Bytes& data, std::uint32_t decodedSize, std::uint32_t compressedSize)
{
    MemoryReader input;
    input.Open(data, "in");
    Decoded result;
    MemoryWriter output;
    output.Open(result.bytes, "out");
    SegmentHeaderFields fields;
    fields.decodedSize = decodedSize;
    fields.compressedSize = compressedSize;
    SegmentDecoder decoder;
    result.sound = decoder.DecodeSegment(output, input, fields);
    result.failure = decoder.LastFailure();
    output.Close();
    return result;
}

Decoded Decode(const Bytes& data, std::uint32_t decodedSize)
{
    return Decode(data, decodedSize, static_cast<std::uint32_t>(data.size()));
}

Bytes Repeating(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        static constexpr char kText[] = "microcode update header ";
        bytes[i] = static_cast<std::uint8_t>(static_cast<std::size_t>(kText[i % 24]) + (i / 5000) % 3);
    }
    return bytes;
}

Bytes Random(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// Round trips of contents that exercise literals, long and overlapping
// matches, matches into the spaces the window starts with, windows that
// wrap many times and output past one chunk of 64 KiB.
TEST(SegmentDecoderTest, RoundTripsAgreeWithTheReferenceDecoder)
{
    const Bytes contents[] = {
        {},
        {0x42},
        Bytes(5000, ' '),
        Bytes(300, 'a'),
        Random(3000, 1),
        Repeating(200 * 1024),
    };
    for (const Bytes& content : contents) {
        const Bytes data = test::LzssEncode(content);
        EXPECT_EQ(test::ReferenceLzssDecode(data), content) << content.size();
        const Decoded decoded = Decode(data, static_cast<std::uint32_t>(content.size()));
        EXPECT_TRUE(decoded.sound) << content.size();
        EXPECT_EQ(decoded.bytes, content) << content.size();
    }
    // Long matches: near the format's best of 17 bytes for 144.
    EXPECT_LT(test::LzssEncode(Repeating(200 * 1024)).size(), 200U * 1024 / 8);
    EXPECT_LT(test::LzssEncode(Bytes(5000, ' ')).size(), 5000U / 8);
}

// The window holds spaces at every position before it is written, the
// tail 0xFEE to 0xFFF included, and positions wrap at 4096.
TEST(SegmentDecoderTest, TheWindowStartsAsSpacesEverywhereAndWraps)
{
    // Flags 0: eight matches. 18 bytes from position 0; 18 from 0xFF0,
    // which the first bytes written overlap; then a literal-free run that
    // reads across the end of the window.
    const Bytes spaces = {0x00, 0x00, 0x0F, 0xF0, 0xFF, 0xFA, 0xFF};
    Decoded decoded = Decode(spaces, 18 + 18 + 3 + 15);
    EXPECT_TRUE(decoded.sound);
    EXPECT_EQ(decoded.bytes, Bytes(54, ' '));
    EXPECT_EQ(decoded.bytes, test::ReferenceLzssDecode(spaces));

    // Literals "ABC" land at 0xFEE to 0xFF0; a match from 0xFEE of 9 bytes
    // overlaps what it writes (ABCABCABC); one from 0xFF8 of 6 writes the
    // window's last positions and wraps to 0; one from 0xFFE of 4 reads
    // across the end, into what it has just written at 0 and 1.
    const Bytes wrap = {0x07, 'A', 'B', 'C', 0xEE, 0xF6, 0xF8, 0xF3, 0xFE, 0xF1};
    decoded = Decode(wrap, 3 + 9 + 6 + 4);
    EXPECT_TRUE(decoded.sound);
    const std::string expected = "ABCABCABCABCBCBCBCBCBC";
    EXPECT_EQ(decoded.bytes, Bytes(expected.begin(), expected.end()));
    EXPECT_EQ(decoded.bytes, test::ReferenceLzssDecode(wrap));
}

// Data that ends early (in the file, or by its compressed size), a size
// that a match runs past, and a size above the bound are told; nothing is
// read for a refused size, and a failed segment never writes more than it
// announced.
TEST(SegmentDecoderTest, CutLyingAndHugeSegmentsFail)
{
    const Bytes content = Repeating(10000);
    const Bytes data = test::LzssEncode(content);
    const auto size = static_cast<std::uint32_t>(content.size());

    Decoded decoded = Decode(Bytes(data.begin(), data.end() - 5), size, static_cast<std::uint32_t>(data.size()));
    EXPECT_FALSE(decoded.sound);
    EXPECT_EQ(decoded.failure, SegmentDecoder::Failure::dataEndsEarly);
    decoded = Decode(data, size, static_cast<std::uint32_t>(data.size()) - 5);
    EXPECT_EQ(decoded.failure, SegmentDecoder::Failure::dataEndsEarly);
    decoded = Decode(data, size + 1);
    EXPECT_EQ(decoded.failure, SegmentDecoder::Failure::dataEndsEarly);
    EXPECT_LE(decoded.bytes.size(), size + 1);

    // The last item of this data is a match of 18 spaces.
    decoded = Decode(test::LzssEncode(Bytes(36, ' ')), 30);
    EXPECT_EQ(decoded.failure, SegmentDecoder::Failure::overrun);
    EXPECT_LE(decoded.bytes.size(), 30U);

    decoded = Decode(data, SegmentDecoder::kMaxDecodedSize + 1);
    EXPECT_EQ(decoded.failure, SegmentDecoder::Failure::tooLarge);
    EXPECT_TRUE(decoded.bytes.empty());
}

// Random data under random sizes: the decoder never writes past what was
// announced, and what it calls sound is what the reference makes of it.
TEST(SegmentDecoderTest, RandomDataNeverRunsPastItsSize)
{
    std::mt19937 random(23);
    for (int round = 0; round < 500; ++round) {
        const Bytes data = Random(random() % 2000, static_cast<unsigned>(round));
        const auto size = static_cast<std::uint32_t>(random() % 20000);
        const Decoded decoded = Decode(data, size);
        ASSERT_LE(decoded.bytes.size(), size);
        if (decoded.sound) {
            const Bytes reference = test::ReferenceLzssDecode(data);
            ASSERT_GE(reference.size(), size);
            EXPECT_TRUE(std::equal(decoded.bytes.begin(), decoded.bytes.end(), reference.begin()));
        }
    }
}

TEST(SegmentHeaderTest, FieldsNamesAndACutHeader)
{
    Bytes bytes(5, 0xFF);
    test::Append(bytes, test::MakeSegmentHeader({0x05, 0xC000, 0x8000, 0x1234}));
    MemoryReader file;
    file.Open(bytes, "fw");
    SegmentHeader header;
    ASSERT_TRUE(test::FindNext(header, file));
    EXPECT_EQ(header.start, 5U);
    EXPECT_EQ(header.type, 0x05);
    EXPECT_EQ(header.loadSegment, 0xC000);
    EXPECT_EQ(header.decodedSize, 0x8000U);
    EXPECT_EQ(header.compressedSize, 0x1234U);
    EXPECT_EQ(header.Name(), "seg05-C0000");

    EXPECT_EQ(SegmentName(SegmentHeaderFields{0x09, 0, 1, 1}, 0x1A2F0), "seg09-at-0001A2F0");

    // The signature alone, cut by the end of the file.
    Bytes cut = test::kSegmentSignature;
    cut.resize(cut.size() + 20, 0);
    cut.resize(15);
    file.Open(cut, "cut");
    EXPECT_FALSE(header.Read(file));
    EXPECT_TRUE(header.error);
}

}  // namespace
}  // namespace veskari
