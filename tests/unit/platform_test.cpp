#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/cfile.h"
#include "platform/cp932.h"
#include "platform/file_error.h"
#include "platform/folder.h"
#include "platform/temporary_file.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::Bytes;
using test::TempDir;

TEST(CFileTest, ReadsAcrossItsBufferAndSeeksBothWays)
{
    const TempDir dir;
    Bytes bytes(200000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    CFile file;
    ASSERT_TRUE(file.Open(dir.Write("f", bytes)));

    std::vector<std::uint8_t> got(70000);
    ASSERT_EQ(file.Read(got.data(), got.size()), got.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin()));
    EXPECT_EQ(file.GetPosition(), 70000U);

    file.SeekRelative(-3);
    EXPECT_EQ(file.ReadByte(), bytes[69997]);
    file.Seek(199999);
    EXPECT_EQ(file.ReadByte(), bytes[199999]);
    EXPECT_EQ(file.ReadByte(), -1);
    file.Seek(5000000);  // past the end: allowed, reads nothing
    EXPECT_EQ(file.Read(got.data(), 10), 0U);
    EXPECT_THROW(file.SeekRelative(-6000000), FileError);
}

TEST(CFileTest, PeekShowsBytesInOnePieceAcrossBufferBoundaries)
{
    const TempDir dir;
    Bytes bytes(CFile::kBufferSize * 2 + 100);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    }
    CFile file;
    ASSERT_TRUE(file.Open(dir.Write("f", bytes)));
    for (const std::uint64_t at : {std::uint64_t{0}, CFile::kBufferSize - 10, std::uint64_t{5}, CFile::kBufferSize * 2 + 50}) {
        file.Seek(at);
        const std::uint8_t* data = nullptr;
        const std::size_t got = file.Peek(8016, data);
        EXPECT_EQ(got, std::min<std::size_t>(8016, bytes.size() - at));
        EXPECT_TRUE(std::equal(data, data + got, bytes.begin() + static_cast<std::ptrdiff_t>(at))) << at;
        EXPECT_EQ(file.GetPosition(), at);  // peeking does not move
        EXPECT_EQ(file.ReadByte(), bytes[at]);
    }
}

TEST(CFileTest, OpensOnlyRegularFiles)
{
    const TempDir dir;
    CFile file;
    EXPECT_FALSE(file.Open(dir / "missing"));
    EXPECT_FALSE(file.Open(dir.Path()));
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(file.Open(fifo));  // refused without blocking
}

struct RefuseReads final : FileFaultHook {
    bool Refuse(FileOperation operation, const std::string& /*name*/) override
    {
        return operation == FileOperation::read;
    }
};

TEST(CFileTest, RefusedReadThrowsWithCauseAndName)
{
    const TempDir dir;
    const std::string path = dir.Write("f", Bytes(10, 1));
    CFile file;
    ASSERT_TRUE(file.Open(path));
    RefuseReads hook;
    SetFileFaultHook(&hook);
    try {
        std::uint8_t byte = 0;
        (void)file.Read(&byte, 1);
        ADD_FAILURE() << "no error";
    } catch (const FileError& failure) {
        EXPECT_EQ(failure.Cause(), FileErrorCause::hardIO);
        EXPECT_EQ(failure.FileName(), path);
    }
    SetFileFaultHook(nullptr);
}

TEST(FileErrorTest, TextsInBothLanguages)
{
    EXPECT_EQ(FileError(FileErrorCause::fileNotFound, "a.bin").Text(Language::English), "a.bin was not found.");
    EXPECT_EQ(FileError(FileErrorCause::fileNotFound, "a.bin").Text(Language::Japanese),
              "a.bin が見つかりませんでした。");
    EXPECT_EQ(FileError(FileErrorCause::diskFull, "").Text(Language::Japanese),
              "無題のﾌｧｲﾙ へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。");
    EXPECT_EQ(FileError(FileErrorCause::badSeek, "").Text(Language::English), "Seek failed on an unnamed file.");
    EXPECT_EQ(FileError::FromErrno(FileOperation::read, EACCES, "x").Cause(), FileErrorCause::accessDenied);
    EXPECT_EQ(FileError::FromErrno(FileOperation::seek, EACCES, "x").Cause(), FileErrorCause::badSeek);
    EXPECT_EQ(FileError::FromErrno(FileOperation::write, ENOSPC, "x").Cause(), FileErrorCause::diskFull);
    EXPECT_EQ(FileError::FromErrno(FileOperation::read, 12345, "x").Cause(), FileErrorCause::generic);
}

TEST(FolderTest, ListsInByteOrderWithoutDotEntries)
{
    const TempDir dir;
    for (const char* name : {"b", "B", "_x", ".hidden", "a0", "a", "\xC3\xA9"}) {
        (void)dir.Write(name, Bytes{});
    }
    EXPECT_EQ(ListFolder(dir.Path()),
              (std::vector<std::string>{".hidden", "B", "_x", "a", "a0", "b", "\xC3\xA9"}));
    EXPECT_TRUE(ListFolder(dir / "missing").empty());
    EXPECT_FALSE(QueryPathStatus(dir / "missing").has_value());
    EXPECT_TRUE(QueryPathStatus(dir.Path())->isDirectory);
}

TEST(TemporaryFileTest, IsPrivateAndDeletedByItsOwner)
{
    std::string name;
    {
        TemporaryFile temporary;
        CFile file;
        ASSERT_TRUE(temporary.Create(file));
        name = temporary.Name();
        EXPECT_NE(name.find("/veskari-"), std::string::npos);
        struct stat status {};
        ASSERT_EQ(::stat(name.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600U);
        file.Write("abc", 3);
        file.Seek(0);
        EXPECT_EQ(file.ReadByte(), 'a');
    }
    struct stat status {};
    EXPECT_NE(::stat(name.c_str(), &status), 0);
}

TEST(Cp932Test, ConvertsAndReplacesWhatCannotBeConverted)
{
    EXPECT_EQ(Cp932ToUtf8("m.bin"), "m.bin");
    EXPECT_EQ(Cp932ToUtf8("\x97\x5C\x92\xE8\x95\x5C"), "予定表");  // trail bytes 0x5C
    EXPECT_EQ(Cp932ToUtf8("\xB6\xC5"), "ｶﾅ");                      // half-width kana
    EXPECT_EQ(Cp932ToUtf8("\x87\x40\x81\x60"), "①～");
    EXPECT_EQ(Cp932ToUtf8("a\x82"), "a\xEF\xBF\xBD");  // a lead byte at the end
    EXPECT_EQ(Cp932ToUtf8("\xA0z"), "\xEF\xBF\xBDz");
}

TEST(Cp932Test, LastBackslashSkipsTrailBytes)
{
    EXPECT_EQ(FindLastCp932Backslash("sub\\m.bin"), 3U);
    EXPECT_EQ(FindLastCp932Backslash("\x95\x5C.bin"), std::string_view::npos);
    EXPECT_EQ(FindLastCp932Backslash("a\\\x95\x5C"), 1U);
    EXPECT_EQ(FindLastCp932Backslash("plain"), std::string_view::npos);
}

}  // namespace
}  // namespace veskari
