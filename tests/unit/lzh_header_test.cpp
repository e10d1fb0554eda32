#include <limits>
#include <gtest/gtest.h>

#include "platform/descriptor_file.h"
#include "lzh/lzh_header.h"
#include "lzh/lzh_source.h"
#include "records/sweep.h"
#include "support/lzh_writer.h"
#include "support/reference_scan.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::Bytes;
using test::ExtendedHeader;
using test::LzhMemberFields;
using test::MakeLzhMember;
using test::MakeStoredMember;
using test::TempDir;

// Reads one header at `offset` of `bytes`.
std::unique_ptr<LzhHeader> ReadAt(const Bytes& bytes, bool& accepted, std::uint64_t offset = 0)
{
    const TempDir dir;
    OwnedFile file;
    EXPECT_TRUE(file.Open(dir.Write("a.lzh", bytes)));
    auto header = std::make_unique<LzhHeader>();
    file.Seek(offset);
    accepted = header->Read(file);
    return header;
}

Bytes Padded(Bytes bytes, std::size_t size = 64)
{
    if (bytes.size() < size) {
        bytes.resize(size, 0);
    }
    return bytes;
}

void FixChecksum(Bytes& member)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 2; i < static_cast<std::size_t>(member[0]) + 2; ++i) {
        sum += member[i];
    }
    member[1] = static_cast<std::uint8_t>(sum);
}

TEST(LzhHeaderReadTest, OutcomesInTheOrderTheyAreTested)
{
    struct Case {
        const char* what;
        Bytes bytes;
        bool accepted;
        bool error;
        const char* message;
    };
    const Bytes good = MakeStoredMember("m.bin", Bytes(30, 7));
    Bytes badId = good;
    badId[4] = 'x';
    Bytes lh1 = good;
    lh1[5] = '1';
    FixChecksum(lh1);
    Bytes lhx = good;
    lhx[5] = 'x';
    FixChecksum(lhx);
    Bytes level3 = good;
    level3[20] = 3;
    Bytes badSum = good;
    badSum[1] ^= 0xFF;
    Bytes level2End = MakeStoredMember("m.bin", Bytes(300, 7), 2);
    level2End[0] = 0;  // a total size with a low byte of 0
    Bytes big = good;
    big[0] = 254;  // h above 253: more than the 255 bytes read
    Bytes nameTooLong = good;
    nameTooLong[21] = 200;
    FixChecksum(nameTooLong);

    const Case cases[] = {
        {"accepted", Padded(good), true, false, "ヘッダーVer. 0"},
        {"short", Bytes(good.begin(), good.begin() + 24), false, false, "ファイル終端か？"},
        {"not lzh", Padded(badId), false, true, "LZH書庫ではない"},
        {"lh1", Padded(lh1), false, true, "未知の圧縮形式 -lh1-"},
        {"lhx", Padded(lhx), false, true, "未知の圧縮形式 -lh72-"},
        {"level 3", Padded(level3), false, true, "未知のヘッダー形式"},
        {"checksum", Padded(badSum), false, true, "ヘッダーチェックサムが違います 69 / 96"},
        {"archive end", Padded(level2End), false, false, "アーカイブ終端"},
        {"h 254", Padded(big, 300), false, false, "ファイルが切れてる？"},
        {"name past the fixed part", Padded(nameTooLong, 300), false, true, "未知のヘッダー形式"},
    };
    for (const Case& c : cases) {
        bool accepted = false;
        const auto header = ReadAt(c.bytes, accepted);
        EXPECT_EQ(accepted, c.accepted) << c.what;
        EXPECT_EQ(header->error, c.error) << c.what;
        if (std::string_view(c.what) == "checksum") {
            EXPECT_TRUE(header->message.starts_with("ヘッダーチェックサムが違います ")) << header->message;
        } else {
            EXPECT_EQ(header->message, c.message) << c.what;
        }
    }
}

TEST(LzhHeaderReadTest, ChecksumMessageShowsComputedThenStored)
{
    Bytes member = MakeStoredMember("m.bin", Bytes(30, 7));
    const std::uint8_t computed = member[1];
    member[1] = static_cast<std::uint8_t>(computed + 1);
    bool accepted = true;
    const auto header = ReadAt(Padded(member), accepted);
    char expected[96];
    std::snprintf(expected, sizeof expected, "ヘッダーチェックサムが違います %02X / %02X", computed, member[1]);
    EXPECT_EQ(header->message, expected);
}

TEST(LzhHeaderReadTest, MethodsAndFields)
{
    for (const char* method : {"-lh0-", "-lh4-", "-lh5-", "-lh6-", "-lh7-", "-lhd-"}) {
        LzhMemberFields fields;
        fields.method = method;
        fields.data = Bytes(10, 1);
        fields.decodedSize = 77;
        fields.crc = 0xBEEF;
        bool accepted = false;
        const auto header = ReadAt(Padded(MakeLzhMember(fields)), accepted);
        ASSERT_TRUE(accepted) << method;
        EXPECT_EQ(header->method, method[3] - '0');
        EXPECT_EQ(header->decodedSize, 77U);
        EXPECT_EQ(header->crc16, 0xBEEFU);
        EXPECT_EQ(header->DataSize(), 10);
        EXPECT_EQ(header->Name(), "m.bin");
        EXPECT_EQ(header->headerSize, header->baseSize);
    }
}

TEST(LzhHeaderReadTest, Level1ExtendedSizesCountInTheHeaderNotTheData)
{
    LzhMemberFields fields;
    fields.level = 1;
    fields.data = Bytes(40, 3);
    fields.extended = {ExtendedHeader{0x40, Bytes(2, 0)}, ExtendedHeader{0x41, Bytes(4, 0)}};  // sizes 5 and 7
    bool accepted = false;
    const auto header = ReadAt(Padded(MakeLzhMember(fields), 200), accepted);
    ASSERT_TRUE(accepted) << header->message;
    EXPECT_EQ(header->headerSize, header->baseSize + 12);
    EXPECT_EQ(header->compressedSize, 40);
}

TEST(LzhHeaderReadTest, ExtendedNamesApplyInChainOrder)
{
    const auto level2Name = [](std::vector<ExtendedHeader> chain) {
        LzhMemberFields fields;
        fields.level = 2;
        fields.extended = std::move(chain);
        bool accepted = false;
        const auto header = ReadAt(Padded(MakeLzhMember(fields), 200), accepted);
        EXPECT_TRUE(accepted) << header->message;
        return header->memberName;
    };
    const Bytes name{'a', '.', 'b', 'i', 'n'};
    const Bytes dir{'d', 'i', 'r', 0xFF};
    EXPECT_EQ(level2Name({{1, name}, {2, dir}}), "dir\\a.bin");
    EXPECT_EQ(level2Name({{2, dir}, {1, name}}), "a.bin");  // type 1 after type 2 drops the folder
    EXPECT_EQ(level2Name({{2, Bytes{0x95, 0xFF, 0xFF}}, {0x7F, Bytes(3, 0)}}), "\x95\xFF\\");  // trail byte kept
    EXPECT_EQ(level2Name({}), "");
}

TEST(LzhHeaderReadTest, MalformedExtendedChainsAreRejected)
{
    LzhMemberFields fields;
    fields.level = 2;
    fields.extended = {{1, Bytes{'a'}}};
    Bytes tiny = MakeLzhMember(fields);
    test::PutLe16(tiny, 24, 2);  // smaller than its own type byte and size field
    bool accepted = true;
    auto header = ReadAt(Padded(tiny, 100), accepted);
    EXPECT_FALSE(accepted);
    EXPECT_TRUE(header->error);

    Bytes cut = MakeLzhMember(fields);
    test::PutLe16(cut, 24, 60000);  // the next size field lies beyond the end
    header = ReadAt(cut, accepted);
    EXPECT_FALSE(accepted);
    EXPECT_TRUE(header->error);
}

TEST(LzhHeaderReadTest, OverlongExtendedChainsAreRejected)
{
    // 300 extended headers of 3 bytes each: more than any archiver writes.
    LzhMemberFields many;
    many.level = 2;
    many.extended.assign(300, ExtendedHeader{0x7F, Bytes{}});
    bool accepted = true;
    auto header = ReadAt(Padded(MakeLzhMember(many), 2000), accepted);
    EXPECT_FALSE(accepted);
    EXPECT_TRUE(header->error);

    // A chain whose sizes add up past 64 KiB.
    LzhMemberFields big;
    big.level = 1;
    big.extended = {ExtendedHeader{1, Bytes(40000, 'a')}, ExtendedHeader{1, Bytes(40000, 'b')}};
    header = ReadAt(Padded(MakeLzhMember(big), 90000), accepted);
    EXPECT_FALSE(accepted);

    many.extended.resize(200);
    header = ReadAt(Padded(MakeLzhMember(many), 2000), accepted);
    EXPECT_TRUE(accepted) << header->message;
}

// A level-2 header's chain must end within its stated size; archivers pad
// it by a byte, and one counts it two bytes short (without the zero size
// field that ends the chain). Nothing past that is walked or named.
TEST(LzhHeaderReadTest, Level2ChainMustEndWithinTheHeaderSize)
{
    LzhMemberFields fields;
    fields.level = 2;
    const Bytes longName(60 * 1024, 'n');
    fields.extended = {{1, longName}, {2, Bytes{'d', 0xFF}}};
    const Bytes member = MakeLzhMember(fields);
    const auto size = static_cast<std::int32_t>(member.size());
    for (const std::int32_t stated : {size + 1, size, size - 1, size - 2, size - 3}) {
        Bytes bytes = member;
        test::PutLe16(bytes, 0, static_cast<std::uint32_t>(stated));
        bool accepted = false;
        const auto header = ReadAt(Padded(bytes, member.size() + 64), accepted);
        EXPECT_EQ(accepted, stated >= size - 2) << stated;
        if (accepted) {
            EXPECT_EQ(header->memberName, "d\\" + std::string(longName.begin(), longName.end())) << stated;
            // The data begins at the stated size, never inside the chain.
            EXPECT_EQ(header->headerSize, std::max(stated, size)) << stated;
        } else {
            EXPECT_TRUE(header->error);
            EXPECT_EQ(header->message, "未知のヘッダー形式");
        }
    }

    // A header of 32 bytes whose chain would run past the end of the file:
    // the walk stops at the header's end, before it reaches the file's.
    Bytes claimsLittle(member.begin(), member.begin() + 100);
    test::PutLe16(claimsLittle, 0, 32);
    bool accepted = true;
    auto header = ReadAt(claimsLittle, accepted);
    EXPECT_FALSE(accepted);
    EXPECT_EQ(header->message, "未知のヘッダー形式");

    // A size below the fixed part of 26 bytes is refused, even with an
    // empty chain that would fit the slack.
    LzhMemberFields unnamed;
    unnamed.level = 2;
    for (const std::uint32_t stated : {23U, 24U, 25U, 26U}) {
        Bytes small = MakeLzhMember(unnamed);
        test::PutLe16(small, 0, stated);
        header = ReadAt(Padded(small), accepted);
        EXPECT_EQ(accepted, stated == 26) << stated;
        if (!accepted) {
            EXPECT_EQ(header->message, "未知のヘッダー形式") << stated;
        }
    }
}

// An extended header of size 1 or 2 is smaller than its own type byte and
// next size field; its name would be read with a size that wrapped around.
// Here each is followed by a chain end, so only that rule refuses them.
TEST(LzhHeaderReadTest, ExtendedHeadersSmallerThanThreeBytesAreRefused)
{
    for (const int level : {1, 2}) {
        for (const std::uint32_t size : {1U, 2U, 3U}) {
            LzhMemberFields fields;
            fields.level = level;
            fields.data = Bytes(8, 0);
            Bytes bytes = MakeLzhMember(fields);
            const std::size_t field = level == 2 ? 24 : bytes[0];  // the first size field
            test::PutLe16(bytes, field, size);
            // The size field, then zeros: a chain end wherever the next field lies.
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(field + 2), 4, 0);
            if (level == 2) {
                test::PutLe16(bytes, 0, 26 + size);
            } else {
                test::PutLe32(bytes, 7, 8 + size);
                FixChecksum(bytes);
            }
            bool accepted = false;
            const auto header = ReadAt(Padded(bytes), accepted);
            EXPECT_EQ(accepted, size == 3) << level << " " << size << " " << header->message;
        }
    }
}

// Every header's chain lies inside the bytes it counts for itself (its
// size at level 2, its data size at level 1), and the listing goes on past
// them: however the headers of a file name each other, the names listed
// add up to no more than the file's size.
TEST(LzhScanTest, NoListedNameRunsOverTheHeadersAfterIt)
{
    for (const int level : {1, 2}) {
        for (const bool countsItsChain : {false, true}) {
            // Headers 40 bytes apart whose chains each name 58,000 bytes
            // from their own start onwards, then zeros that end every chain.
            Bytes bytes;
            for (int i = 0; i < 200; ++i) {
                LzhMemberFields fields;
                fields.level = level;
                Bytes member = MakeLzhMember(fields);
                const std::size_t field = level == 2 ? 24 : member[0];
                test::PutLe16(member, field, 58000);
                member.push_back(1);  // a file name
                if (level == 1) {
                    test::PutLe32(member, 7, countsItsChain ? 59000 : 1000);
                    FixChecksum(member);
                } else {
                    test::PutLe16(member, 0, countsItsChain ? 58026 : 40);
                }
                member.resize(40, 'x');
                test::Append(bytes, member);
            }
            bytes.resize(bytes.size() + 70000, 0);
            const TempDir dir;
            OwnedFile file;
            ASSERT_TRUE(file.Open(dir.Write("a.lzh", bytes)));
            LzhHeader header;
            LzhListingLane lane(header, nullptr);
            Sweep(file, std::vector<SweepLane*>{&lane});
            std::size_t named = 0;
            for (const ListedMember& member : lane.members) {
                named += member.name.size();
            }
            EXPECT_LE(named, bytes.size()) << level << " " << countsItsChain;
            // A chain longer than its header counts for it is refused; one
            // that is counted is listed, and the listing goes on past it.
            EXPECT_EQ(lane.members.size(), countsItsChain ? 1U : 0U) << level << " " << countsItsChain;
        }
    }
}

TEST(LzhHeaderReadTest, Level2NameIsNotInheritedFromTheHeaderBefore)
{
    Bytes bytes = MakeStoredMember("first.bin", Bytes(5, 1));
    LzhMemberFields unnamed;
    unnamed.level = 2;
    test::Append(bytes, MakeLzhMember(unnamed));
    bytes.resize(bytes.size() + 40, 0);
    const TempDir dir;
    test::LzhScan source;
    ASSERT_TRUE(source.Open(dir.Write("a.lzh", bytes)));
    std::vector<std::string> names;
    EXPECT_TRUE(source.Collect(names));
    EXPECT_EQ(names, (std::vector<std::string>{"first.bin", ""}));
}

TEST(LzhScanTest, FindsHeadersAcrossWindowsButNotAtTheFirstTwoBytes)
{
    const Bytes member = MakeStoredMember("m.bin", Bytes(20, 9));
    const auto names = [&](std::size_t offset, std::size_t tail = 40) {
        Bytes bytes(offset, 0x20);
        test::Append(bytes, member);
        bytes.resize(bytes.size() + tail, 0x20);
        const TempDir dir;
        test::LzhScan source;
        EXPECT_TRUE(source.Open(dir.Write("a.lzh", bytes)));
        std::vector<std::string> list;
        (void)source.Collect(list);
        return list.size();
    };
    EXPECT_EQ(names(0), 1U);  // the scan starts at the header itself (identifier at 2)
    for (const std::size_t offset : {7994UL, 7996UL, 7997UL, 7998UL, 7999UL, 8000UL, 15998UL}) {
        EXPECT_EQ(names(offset), 1U) << offset;
    }

    // An identifier whose first '-' is at position 0 or 1 is never a candidate.
    for (const std::size_t dash : {0UL, 1UL}) {
        Bytes bytes(200, 0x20);
        std::copy(member.begin() + 2, member.end(), bytes.begin() + static_cast<std::ptrdiff_t>(dash));
        const TempDir dir;
        test::LzhScan source;
        ASSERT_TRUE(source.Open(dir.Write("a.lzh", bytes)));
        std::vector<std::string> list;
        EXPECT_TRUE(source.Collect(list));
        EXPECT_TRUE(list.empty());
    }
}

TEST(LzhScanTest, SameNamesAreFoundInTurnAndSizesThatPointBackAreRefused)
{
    Bytes bytes = MakeStoredMember("m.bin", Bytes{1});
    test::Append(bytes, MakeStoredMember("m.bin", Bytes{2}));
    // Data sizes that put the next header at or before the header's start:
    // -256, exactly back to the start, and the largest negative size.
    for (const std::uint32_t size : {0xFFFFFF00U, 0U, 0x80000000U}) {
        LzhMemberFields backwards;
        backwards.data = Bytes(4, 0);
        backwards.name = "back.bin";
        Bytes back = MakeLzhMember(backwards);
        const std::uint32_t headerSize = back[0] + 2U;
        test::PutLe32(back, 7, size == 0 ? 0U - headerSize : size);
        FixChecksum(back);
        test::Append(bytes, back);
    }
    test::Append(bytes, MakeStoredMember("m.bin", Bytes{3}));
    bytes.resize(bytes.size() + 30, 0);

    const TempDir dir;
    test::LzhScan source;
    ASSERT_TRUE(source.Open(dir.Write("a.lzh", bytes)));
    std::vector<std::string> names;
    (void)source.Collect(names);
    EXPECT_EQ(names, (std::vector<std::string>{"m.bin", "m.bin", "m.bin"}));

    source.file->Seek(0);
    for (const int expected : {1, 2, 3}) {
        ASSERT_TRUE(source.FindMember("m.bin"));
        EXPECT_EQ(source.file->ReadByte(), expected);
        source.header.SkipPast(*source.file);
    }
    EXPECT_FALSE(source.FindMember("m.bin"));
}


// A listing with a member limit stops trying candidates once it is full:
// no name past the limit is held, no later candidate is read or rejected.
TEST(LzhScanTest, ListingStopsAtItsMemberLimit)
{
    Bytes bytes;
    for (const char* name : {"a", "b", "c", "d"}) {
        test::Append(bytes, MakeStoredMember(name, Bytes(3, 1)));
    }
    Bytes level3 = MakeStoredMember("e", Bytes(3, 1));
    level3[20] = 3;
    test::Append(bytes, level3);
    bytes.resize(bytes.size() + 40, 0);
    const TempDir dir;
    const std::string path = dir.Write("a.lzh", bytes);

    struct Count final : RejectionObserver {
        void Rejected(const LocatedRecord& /*record*/) override { ++rejected; }
        int rejected = 0;
    };
    const struct {
        std::uint64_t maxMembers;
        const char* names;
        int rejected;
    } cases[] = {{std::numeric_limits<std::uint64_t>::max(), "abcd", 1}, {4, "abcd", 0}, {2, "ab", 0}};
    for (const auto& c : cases) {
        OwnedFile file;
        ASSERT_TRUE(file.Open(path));
        LzhHeader header;
        Count count;
        LzhListingLane lane(header, &count, c.maxMembers);
        Sweep(file, std::vector<SweepLane*>{&lane});
        std::string names;
        for (const ListedMember& member : lane.members) {
            names += member.name;
        }
        EXPECT_EQ(names, c.names) << c.maxMembers;
        EXPECT_EQ(count.rejected, c.rejected) << c.maxMembers;
    }
}

}  // namespace
}  // namespace veskari
