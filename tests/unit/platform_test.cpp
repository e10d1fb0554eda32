#include <csignal>
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>
#include <optional>
#include <random>
#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/descriptor_file.h"
#include "platform/file.h"
#include "platform/memory_file.h"
#include "platform/read_ahead.h"
#include "platform/cp932.h"
#include "platform/file_error.h"
#include "platform/folder.h"
#include "platform/anonymous_file.h"
#include "platform/file_handle.h"
#include "platform/hex_text.h"
#include "output/json_text.h"
#include "platform/stop_request.h"
#include "platform/visible_text.h"
#include "support/faults.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::Bytes;
using test::TempDir;

TEST(DescriptorFileTest, ReadsAcrossItsBufferAndSeeksBothWays)
{
    const TempDir dir;
    Bytes bytes(200000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    }
    OwnedFile file;
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

TEST(DescriptorFileTest, PeekShowsBytesInOnePieceAcrossBufferBoundaries)
{
    const TempDir dir;
    Bytes bytes(File::kBufferSize * 2 + 100);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    }
    OwnedFile file;
    ASSERT_TRUE(file.Open(dir.Write("f", bytes)));
    for (const std::uint64_t at : {std::uint64_t{0}, File::kBufferSize - 10, std::uint64_t{5}, File::kBufferSize * 2 + 50}) {
        file.Seek(at);
        const std::uint8_t* data = nullptr;
        const std::size_t got = file.Peek(8016, data);
        EXPECT_EQ(got, std::min<std::size_t>(8016, bytes.size() - at));
        EXPECT_TRUE(std::equal(data, data + got, bytes.begin() + static_cast<std::ptrdiff_t>(at))) << at;
        EXPECT_EQ(file.GetPosition(), at);  // peeking does not move
        EXPECT_EQ(file.ReadByte(), bytes[at]);
    }
}

// Bytes in memory behave as a file would: a reader finds its bytes again
// after a seek beyond their end, a writer grows with zeros over what it
// skipped and writes nothing into a vector without storage, and each
// refuses what it cannot do.
TEST(MemoryFileTest, ReadsAndWritesAsAFileWould)
{
    const Bytes bytes{1, 2, 3, 4, 5};
    MemoryReader reader(bytes, "in");
    EXPECT_EQ(reader.Size(), 5U);
    std::uint8_t got[8] = {};
    EXPECT_EQ(reader.Read(got, sizeof got), 5U);
    EXPECT_EQ(reader.ReadByte(), -1);
    reader.Seek(1000);  // beyond the end: reads nothing
    EXPECT_EQ(reader.ReadByte(), -1);
    reader.Seek(3);  // and back: the bytes are there again
    EXPECT_EQ(reader.ReadByte(), 4);
    const std::uint8_t* data = nullptr;
    ASSERT_EQ(reader.Peek(8, data), 1U);
    EXPECT_EQ(data[0], 5);
    EXPECT_THROW(reader.Write(got, 1), FileError);

    Bytes written;
    MemoryWriter writer(written, "out");
    writer.Write(got, 0);
    EXPECT_TRUE(written.empty());
    writer.Write(bytes.data(), 2);
    writer.Seek(4);
    writer.Write(bytes.data() + 4, 1);
    EXPECT_EQ(written, (Bytes{1, 2, 0, 0, 5}));
    writer.Truncate(1);
    EXPECT_EQ(written, Bytes{1});
    EXPECT_EQ(writer.GetPosition(), 5U);  // a cut leaves the position
    EXPECT_THROW((void)writer.ReadByte(), FileError);
    writer.Close();
    EXPECT_THROW(writer.Write(got, 1), FileError);
}

TEST(DescriptorFileTest, OpensOnlyRegularFiles)
{
    const TempDir dir;
    OwnedFile file;
    EXPECT_FALSE(file.Open(dir / "missing"));
    EXPECT_FALSE(file.Open(dir.Path()));
#if defined(_WIN32)
    EXPECT_FALSE(file.Open("NUL"));  // a device
    EXPECT_FALSE(file.Open("\\\\.\\pipe\\veskari-none"));  // a pipe, never opened by name
#else
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(file.Open(fifo));  // refused without blocking
#endif
}

struct RefuseReads final : FileFaultHook {
    bool Refuse(FileOperation operation, const std::string& /*name*/) override
    {
        return operation == FileOperation::read;
    }
};

TEST(DescriptorFileTest, RefusedReadThrowsWithCauseAndName)
{
    const TempDir dir;
    const std::string path = dir.Write("f", Bytes(10, 1));
    OwnedFile file;
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

// Reads as a sweep does, windows of 8048 bytes 8000 apart from `from`, each
// checked against `expected` (the bytes from `from` on); now and then a
// record is tried elsewhere (ahead, across the next block, inside the
// window with more than a block's room kept, or back), and the window
// looked at again. Returns how far it came: `to`, or the window at which a
// FileError came, which is kept in `error`.
std::uint64_t ReadAsASweep(File& file, std::uint64_t from, std::uint64_t to, const std::uint8_t* expected,
                           std::optional<FileError>& error, bool triesElsewhere = true)
{
    std::mt19937 random(1);
    const auto check = [&](std::uint64_t at, std::size_t count) {
        file.Seek(at);
        const std::uint8_t* data = nullptr;
        const std::size_t got = file.Peek(count, data);
        EXPECT_EQ(got, std::min<std::uint64_t>(count, to - at)) << at - from;
        EXPECT_TRUE(std::equal(data, data + got, expected + (at - from))) << at - from;
    };
    std::uint64_t at = from;
    try {
        for (; at < to; at += 8000) {
            check(at, 8048);
            switch (triesElsewhere ? random() % 24 : 3) {
            case 0:
                check(from + random() % (to - from), 2048);
                break;
            case 1:
                check(at + 1000, File::kBufferSize);
                break;
            case 2:
                check(at > from + 300000 ? at - 300000 : from, 100);
                break;
            default:
                continue;
            }
            check(at, 8048);
        }
    } catch (const FileError& failure) {
        error = failure;
    }
    return at;
}

TEST(ReadAheadTest, BytesAreTheFilesAcrossBlocksWithSeeksBothWays)
{
    constexpr std::size_t kBlock = ReadAhead::kBlockSize;
    Bytes bytes(6 * kBlock + 777);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 2654435761U) >> 13);
    }
    const TempDir dir;
    const std::string path = dir.Write("f", bytes);
    OwnedFile file;
    ASSERT_TRUE(file.Open(path));
    // Turned on in the middle of reading, with bytes of the window kept.
    const std::uint8_t* data = nullptr;
    ASSERT_EQ(file.Peek(8048, data), 8048U);
    file.ReadAheadFromNow();
    file.Seek(kBlock - 5000);
    ASSERT_EQ(file.Peek(8048, data), 8048U);
    EXPECT_TRUE(std::equal(data, data + 8048, bytes.begin() + kBlock - 5000));
    std::optional<FileError> error;
    EXPECT_EQ(ReadAsASweep(file, 0, bytes.size(), bytes.data(), error), (bytes.size() + 7999) / 8000 * 8000);
    EXPECT_FALSE(error);

    std::vector<std::uint8_t> got(2 * kBlock + 10);
    file.Seek(kBlock - 5);
    ASSERT_EQ(file.Read(got.data(), got.size()), got.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin() + kBlock - 5));
    file.Seek(bytes.size() - 1);
    EXPECT_EQ(file.ReadByte(), bytes.back());
    EXPECT_EQ(file.ReadByte(), -1);
    // The test hook is asked on the reading thread, as without reading ahead.
    const test::RefusingHook hook(test::ReadsOf(path));
    file.Seek(3 * kBlock);
    EXPECT_THROW((void)file.ReadByte(), FileError);
}

#if defined(__linux__)
// The memory of this process read as a file: a block in the middle that
// the system cannot read (a mapping past the end of an empty file) fails
// the read there with EIO, as a bad sector of a disk would.
TEST(ReadAheadTest, AReadErrorComesWhereAndAsWithoutReadingAhead)
{
    constexpr std::size_t kBlock = ReadAhead::kBlockSize;
    const std::size_t size = 6 * kBlock;
    auto* region = static_cast<std::uint8_t*>(
        ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(region, MAP_FAILED);
    for (std::size_t i = 0; i < size; ++i) {
        region[i] = static_cast<std::uint8_t>(i >> 9);
    }
    const TempDir dir;
    const int empty = ::open(dir.Write("empty", Bytes{}).c_str(), O_RDONLY);
    ASSERT_GE(empty, 0);
    ASSERT_NE(::mmap(region + 3 * kBlock, kBlock, PROT_READ, MAP_SHARED | MAP_FIXED, empty, 0), MAP_FAILED);
    ::close(empty);

    const auto start = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(region));
    const auto reached = [&](bool ahead, bool triesElsewhere) {
        OwnedFile memory(::open("/proc/self/mem", O_RDONLY), "memory");
        EXPECT_TRUE(memory.IsOpen());
        if (ahead) {
            memory.ReadAheadFromNow();
        }
        std::optional<FileError> error;
        const std::uint64_t at = ReadAsASweep(memory, start, start + size, region, error, triesElsewhere) - start;
        EXPECT_TRUE(error && error->Cause() == FileErrorCause::hardIO && error->FileName() == "memory") << ahead;
        return at;
    };
    // At the first window that reaches into the unreadable block, not before.
    EXPECT_EQ(reached(true, false), (3 * kBlock - 8048) / 8000 * 8000 + 8000);
    EXPECT_EQ(reached(false, false), (3 * kBlock - 8048) / 8000 * 8000 + 8000);
    // Or at the record tried there first.
    EXPECT_EQ(reached(true, true), reached(false, true));
    ::munmap(region, size);
}
#endif

// A file to be read to its end reads ahead once the reading has come a
// little way, and only when enough is left for the thread to pay.
TEST(ReadAheadTest, OnlyAFileWithEnoughLeftReadsAhead)
{
    const TempDir dir;
    const unsigned busy = ProcessorInUse::Count();
    for (const std::uint64_t size : {DescriptorFile::kReadAheadFrom, DescriptorFile::kReadAheadFrom + 2 * 1024 * 1024}) {
        const std::string path = dir.Write("f" + std::to_string(size), Bytes{});
        std::filesystem::resize_file(test::FsPath(path), size);  // a file with holes: nothing written
        OwnedFile file;
        ASSERT_TRUE(file.Open(path));
        file.WillReadToEnd();
        for (std::uint64_t at = 0; at < 2 * 1024 * 1024; at += 8000) {
            if (at < 1024 * 1024) {
                EXPECT_EQ(ProcessorInUse::Count(), busy) << at;
            }
            file.Seek(at);
            const std::uint8_t* data = nullptr;
            ASSERT_EQ(file.Peek(8048, data), 8048U);
        }
        EXPECT_EQ(ProcessorInUse::Count(), busy + (size > DescriptorFile::kReadAheadFrom ? 1 : 0)) << size;
    }
}

// The thread goes with the file: when it is closed, written or destroyed,
// in the middle of reading ahead.
TEST(ReadAheadTest, NoThreadOutlivesItsFile)
{
    // The threads of this process (0 where the system does not list them);
    // one that has been joined may linger a moment in the list.
    const auto threads = [] {
#if defined(__linux__)
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator{}));
#else
        return std::size_t{0};
#endif
    };
    const auto settlesAt = [&](std::size_t expected) {
        for (int wait = 0; wait < 100 && threads() != expected; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return threads() == expected;
    };
    const TempDir dir;
    const std::string path = dir.Write("f", Bytes(4 * ReadAhead::kBlockSize, 7));
    const unsigned busy = ProcessorInUse::Count();
    std::size_t before = threads();
    for (int sample = 0; sample < 3; ++sample) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        before = std::min(before, threads());
    }
    const auto readAhead = [&](DescriptorFile& file) {
        file.ReadAheadFromNow();
        EXPECT_EQ(ProcessorInUse::Count(), busy + 1);
        if (before != 0) {
            EXPECT_EQ(threads(), before + 1);
        }
        const std::uint8_t* data = nullptr;
        EXPECT_EQ(file.Peek(8048, data), 8048U);
    };
    OwnedFile owned;
    ASSERT_TRUE(owned.Open(path));
    readAhead(owned);
    owned.Close();
    EXPECT_EQ(ProcessorInUse::Count(), busy);
    EXPECT_TRUE(settlesAt(before));

    const FileHandle handle = OpenForReading(path).handle;
    {
        BorrowedFile borrowed(handle, "f");
        readAhead(borrowed);
        borrowed.Seek(4 * ReadAhead::kBlockSize - 1);
        EXPECT_EQ(borrowed.ReadByte(), 7);
    }
    EXPECT_EQ(ProcessorInUse::Count(), busy);
    EXPECT_TRUE(settlesAt(before));
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

#if defined(_WIN32)
// The walk on Windows: byte order of the UTF-8 names (not the file system's
// order), backslashes between names, paths beyond MAX_PATH.
TEST(FolderWalkTest, ByteOrderLongPathsAndBackslashes)
{
    const TempDir dir;
    for (const char* name : {"b", "_x", ".hidden", "a0", "a", "\xC3\xA9", "\xE4\xBA\x88"}) {
        (void)dir.Write(std::string("tree/") + name, Bytes{});
    }
    std::string deep = "tree/deep";
    for (int level = 0; level < 8; ++level) {
        deep += "/" + std::string(100, static_cast<char>('k' + level));
    }
    std::string system = "\\\\?\\" + dir / deep;
    std::replace(system.begin(), system.end(), '/', '\\');
    std::filesystem::create_directories(system);
    test::WriteFile(system + "\\end.bin", Bytes{1, 2, 3});

    std::set<FolderId> walked;
    FolderWalk walk(dir / "tree", walked);
    std::vector<std::string> seen;
    WalkEntry entry;
    while (walk.Next(entry)) {
        ASSERT_EQ(entry.kind, WalkEntry::Kind::file);
        EXPECT_TRUE(entry.file.IsOpen()) << entry.path;
        seen.push_back(entry.path.substr(dir.Path().size() + 6));
    }
    const std::vector<std::string> expected{".hidden", "_x", "a", "a0", "b", test::Walked("deep", deep.substr(10)) + "\\end.bin",
                                            "\xC3\xA9", "\xE4\xBA\x88"};
    EXPECT_EQ(seen, expected);
    // A walk that only measures opens nothing and tells the sizes.
    std::set<FolderId> measured;
    FolderWalk sizes(dir / "tree", measured, false);
    std::uint64_t total = 0;
    while (sizes.Next(entry)) {
        EXPECT_FALSE(entry.file.IsOpen()) << entry.path;
        total += entry.size;
    }
    EXPECT_EQ(total, 3U);
    // Removed level by level: std::filesystem cannot walk paths this long.
    std::filesystem::remove(system + "\\end.bin");
    for (int level = 0; level <= 8; ++level) {
        std::filesystem::remove(system);
        system.resize(system.rfind('\\'));
    }
}
#else
// The walk in byte order, relative to each folder's descriptor: paths far
// beyond PATH_MAX, links that lead back or to one folder by a second route,
// special files not opened, unreadable folders told; and the walk that
// only measures.
TEST(FolderWalkTest, ByteOrderDeepPathsLinksAndProblemsAndSizes)
{
    const TempDir dir;
    for (const char* name : {"b", "B", "_x", ".hidden", "a0", "a", "\xC3\xA9"}) {
        (void)dir.Write(std::string("tree/") + name, Bytes{});
    }
    // 30 levels of 200-byte names: the file's path is over 6000 bytes long.
    const std::string here = std::filesystem::current_path().string();
    ASSERT_EQ(::mkdir((dir / "tree/deep").c_str(), 0700), 0);
    ASSERT_EQ(::chdir((dir / "tree/deep").c_str()), 0);
    for (int level = 0; level < 30; ++level) {
        const std::string name(200, static_cast<char>('k' + level % 10));
        ASSERT_EQ(::mkdir(name.c_str(), 0700), 0);
        ASSERT_EQ(::chdir(name.c_str()), 0);
    }
    test::WriteFile("end.bin", Bytes{1, 2, 3});
    ASSERT_EQ(::chdir(here.c_str()), 0);
    ASSERT_EQ(::symlink("..", (dir / "tree/zz-up").c_str()), 0);
    ASSERT_EQ(::symlink("deep", (dir / "tree/zz-deep-again").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "tree/fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((dir / "tree/locked").c_str(), 0), 0);
    (void)dir.Write("tree/secret", Bytes{1, 2, 3, 4, 5});
    ASSERT_EQ(::chmod((dir / "tree/secret").c_str(), 0), 0);
    const bool root = ::geteuid() == 0;  // root reads mode-0 files and folders all the same

    std::set<FolderId> walked;
    FolderWalk walk(dir / "tree", walked);
    std::vector<std::string> seen;
    WalkEntry entry;
    while (walk.Next(entry)) {
        std::string what = entry.path.substr(dir.Path().size() + 6);
        if (entry.kind == WalkEntry::Kind::file) {
            what += entry.file.IsOpen() ? " open" : entry.file.kind == FileKind::pipe ? " pipe" : " closed";
        } else {
            what += entry.kind == WalkEntry::Kind::repeatedFolder ? " repeated" : " unreadable";
        }
        seen.push_back(what.size() > 40 ? what.substr(what.size() - 12) : what);
    }
    std::vector<std::string> expected{".hidden open", "B open", "_x open", "a open", "a0 open", "b open",
                                      "end.bin open", "fifo pipe"};
    if (!root) {
        expected.push_back("locked unreadable");
    }
    expected.push_back(root ? "secret open" : "secret closed");
    expected.insert(expected.end(), {"zz-deep-again repeated", "zz-up/tree repeated", "\xC3\xA9 open"});
    EXPECT_EQ(seen, expected);

    // A walk that only measures meets the same files, opens none of them
    // and tells the size of each regular file that could be read.
    std::set<FolderId> measured;
    FolderWalk sizes(dir / "tree", measured, false);
    std::vector<std::string> told;
    while (sizes.Next(entry)) {
        if (entry.kind == WalkEntry::Kind::file) {
            EXPECT_FALSE(entry.file.IsOpen()) << entry.path;
            const std::string name = entry.path.substr(entry.path.rfind('/') + 1);
            told.push_back(name.substr(0, 12) + " " + std::to_string(entry.size));
        }
    }
    EXPECT_EQ(told, (std::vector<std::string>{".hidden 0", "B 0", "_x 0", "a 0", "a0 0", "b 0", "end.bin 3", "fifo 0",
                                              root ? "secret 5" : "secret 0", "\xC3\xA9 0"}));
    // rm walks as we do; std::filesystem cannot remove paths this long.
    EXPECT_EQ(std::system(("rm -rf " + test::ShellQuote(dir / "tree/deep")).c_str()), 0);
}
#endif

#if defined(_WIN32)
// Windows names every file: nobody else can open it, and it goes with its handle.
TEST(AnonymousFileTest, NobodyElseCanOpenItAndItGoesWithItsHandle)
{
    FileHandle handle;
    ASSERT_EQ(CreateAnonymousFile(100, handle), 0);
    BorrowedFile file;
    file.Open(handle, "member");
    file.Write("abc", 3);
    file.Seek(0);
    EXPECT_EQ(file.ReadByte(), 'a');
    const std::vector<std::string> names = test::LeftoverTemporaryFiles();
    ASSERT_EQ(names.size(), 1U);
    OwnedFile other;
    EXPECT_FALSE(other.Open(TemporaryDirectory() + "\\" + names[0]));
    handle.Reset();
    EXPECT_TRUE(test::LeftoverTemporaryFiles().empty());
}
#else
TEST(AnonymousFileTest, HasNoNameInMemoryOrOnDisk)
{
    for (const std::uint64_t size : {std::uint64_t{100}, kMemoryFileLimit + 1}) {
        FileHandle handle;
        ASSERT_EQ(CreateAnonymousFile(size, handle), 0);
        BorrowedFile file;
        file.Open(handle, "member");
        file.Write("abc", 3);
        file.Seek(0);
        EXPECT_EQ(file.ReadByte(), 'a');
        EXPECT_TRUE(test::LeftoverTemporaryFiles().empty());
        char target[4096] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(handle.Get());
        ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
        const std::string where = target;
        EXPECT_EQ(where.starts_with("/memfd:"), size <= kMemoryFileLimit) << where;
        EXPECT_TRUE(where.starts_with("/memfd:") || where.ends_with("(deleted)")) << where;
    }
}
#endif

#if !defined(_WIN32)
// A stream copy ends at a stop whether its writer is silent or keeps
// sending: a pipe fed for ever must not hold a stopped run.
TEST(StreamCopyTest, AStopEndsTheCopyOfASilentOrEndlessStream)
{
    for (const bool endless : {false, true}) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        // The writer never blocks, so that it sees the end of the test.
        ASSERT_EQ(::fcntl(ends[1], F_SETFL, O_NONBLOCK), 0);
        std::atomic<bool> done{false};
        std::thread writer([&] {
            const std::vector<char> chunk(4096, 'x');
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (endless && !done && std::chrono::steady_clock::now() < until) {
                if (::write(ends[1], chunk.data(), chunk.size()) < 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
            while (!done && std::chrono::steady_clock::now() < until) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ::close(ends[1]);
        });
        StopRequest request;
        std::thread stopper([&request] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            request.Raise();
        });
        {
            const StopScope scope(request);
            EXPECT_THROW((void)CopyStreamToAnonymousFile(ends[0], "pipe"), AnalysisStopped) << endless;
        }
        done = true;
        stopper.join();
        writer.join();
        ::close(ends[0]);
    }
}
#endif

#if !defined(_WIN32)
// A stream's copy ends at its bound, exactly, and says so; a stream that
// ends at the bound is whole and says nothing.
TEST(StreamCopyTest, CopyStopsAtItsBoundAndSaysSo)
{
    const auto previous = ::signal(SIGPIPE, SIG_IGN);  // the writer outlives the reader
    for (const std::size_t sent : {std::size_t{4095}, std::size_t{4096}, std::size_t{4097}, std::size_t{70000}}) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        std::thread writer([&] {
            const std::vector<char> bytes(sent, 'x');
            std::size_t at = 0;
            while (at < bytes.size()) {
                const ssize_t put = ::write(ends[1], bytes.data() + at, bytes.size() - at);
                if (put <= 0) {
                    break;  // the reader has gone: the copy ended at its bound
                }
                at += static_cast<std::size_t>(put);
            }
            ::close(ends[1]);
        });
        // The writer's last bytes wait until they are read or the reader has gone.
        OpenedFile copy = CopyStreamToAnonymousFile(ends[0], "pipe", 4096);
        ::close(ends[0]);
        writer.join();
        ASSERT_TRUE(copy.IsOpen()) << sent;
        EXPECT_EQ(FileSize(copy.handle), std::min<std::uint64_t>(sent, 4096)) << sent;
        EXPECT_EQ(copy.cutAt, sent > 4096 ? 4096U : 0U) << sent;
    }
    ::signal(SIGPIPE, previous);
}
#endif

// One digit maker serves the report (upper case, a minimum width that a
// longer value passes) and JSON (lower case, two digits per byte).
TEST(HexTextTest, EachFormKeepsItsCaseAndWidth)
{
    std::string text;
    AppendHex(text, 0xAB, 4);
    AppendHex(text, 0x123456, 2);
    AppendHex(text, 0, 0);
    EXPECT_EQ(text, "00AB1234560");
    EXPECT_EQ(output::HexOf(std::string("\x00\x0A\xFF", 3)), "000aff");
    EXPECT_EQ(output::JsonString("\x1F"), "\"\\u001f\"");
}

TEST(VisibleTextTest, ControlAndInvalidBytesShowAsHexPrintableNamesStay)
{
    EXPECT_EQ(VisibleText("予定 é a\\b"), "予定 é a\\b");
    EXPECT_EQ(VisibleText("a\nb\r\x1B[2J\x7F"), "a\\x0Ab\\x0D\\x1B[2J\\x7F");
    EXPECT_EQ(VisibleText("\xC2\x9B" "31m \xC2\xA0"), "\\xC2\\x9B31m \xC2\xA0");  // C1 shown, no-break space kept
    EXPECT_EQ(VisibleText("\x9B\xFF\xE3\x81"), "\\x9B\\xFF\\xE3\\x81");          // not UTF-8
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));  // overlong
    EXPECT_TRUE(IsValidUtf8("予定"));
    // The edges: the last C0 control, and the bidirectional controls that
    // could reorder a line, each range against its neighbours.
    EXPECT_EQ(VisibleText("\x1F \x7E"), "\\x1F \x7E");
    EXPECT_EQ(VisibleText("\u2029\u202A\u202E\u202F"), "\u2029\\xE2\\x80\\xAA\\xE2\\x80\\xAE\u202F");
    EXPECT_EQ(VisibleText("\u2065\u2066\u2069\u206A"), "\u2065\\xE2\\x81\\xA6\\xE2\\x81\\xA9\u206A");
    // Surrogates are not UTF-8; their neighbours are.
    EXPECT_EQ(VisibleText("\xED\xA0\x80\xED\xBF\xBF"), "\\xED\\xA0\\x80\\xED\\xBF\\xBF");
    EXPECT_TRUE(IsValidUtf8("\xED\x9F\xBF\xEE\x80\x80"));  // U+D7FF, U+E000
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));          // above U+10FFFF
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

#if !defined(_WIN32)
// A system without the CP932 module of iconv: runs go on, names keep their
// bytes (every output shows them escaped) and the front end can tell it.
TEST(Cp932Test, WithoutTheSystemsConversionNamesKeepTheirBytes)
{
    const test::RefusingHook hook(
        {FileOperation::open, [](const std::string& name) { return name == "iconv CP932"; }, 0});
    std::thread([] {  // a thread of its own: each thread opens the conversion once
        EXPECT_NO_THROW(PrepareCp932Conversion());
        EXPECT_EQ(Cp932ToUtf8("m.bin"), "m.bin");
        EXPECT_FALSE(Cp932ConversionMissing());
        EXPECT_EQ(Cp932ToUtf8("\x97\x5C.bin"), "\x97\x5C.bin");
        EXPECT_TRUE(Cp932ConversionMissing());
        EXPECT_EQ(VisibleText(Cp932ToUtf8("\x97\x5C.bin")), "\\x97\\.bin");
    }).join();
}
#endif

TEST(Cp932Test, LastBackslashSkipsTrailBytes)
{
    EXPECT_EQ(FindLastCp932Backslash("sub\\m.bin"), 3U);
    EXPECT_EQ(FindLastCp932Backslash("\x95\x5C.bin"), std::string_view::npos);
    EXPECT_EQ(FindLastCp932Backslash("a\\\x95\x5C"), 1U);
    EXPECT_EQ(FindLastCp932Backslash("plain"), std::string_view::npos);
}

}  // namespace
}  // namespace veskari
