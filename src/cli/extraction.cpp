#include "extraction.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/anonymous_file.h"

namespace veskari::cli {
namespace {

constexpr std::size_t kCopyChunk = std::size_t{1} << 16;

// Copies `size` bytes of `input` (from where it stands) to `output`.
void Copy(CFile& input, CFile& output, std::uint64_t size)
{
    std::vector<std::uint8_t> chunk(kCopyChunk);
    while (size > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, chunk.size()));
        const std::size_t got = input.Read(chunk.data(), want);
        if (got == 0) {
            break;
        }
        output.Write(chunk.data(), got);
        size -= got;
    }
}

std::string WithCounter(const std::string& name, unsigned counter)
{
    if (counter == 0) {
        return name;
    }
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    return stem + "-" + std::to_string(counter) + name.substr(stem.size());
}

}  // namespace

std::string ExtractionName(const std::string& displayName, std::size_t limit)
{
    std::string name;
    for (const char c : displayName) {
        const auto byte = static_cast<unsigned char>(c);
        name += (c == '/' || byte < 0x20 || byte == 0x7F) ? '_' : c;
    }
    if (name.empty() || name.find_first_not_of('.') == std::string::npos) {
        name.insert(0, "_");
    }
    if (name.size() > limit) {
        name.resize(limit);
    }
    return name;
}

CFile& Extractor::StagingFile()
{
    if (!staging_.IsOpen()) {
        if (const int error = CreateAnonymousFile(kSpillToDisk, staging_); error != 0) {
            throw FileError::FromErrno(FileOperation::create, error, TemporaryDirectory());
        }
        stagingFile_.Open(staging_, TemporaryDirectory());
    }
    return stagingFile_;
}

void Extractor::UpdateAccepted(const FileInfo& file, const UpdateRecord& update)
{
    if (update.extendedIndex >= 0) {
        return;  // an extended signature's line: its update is written with the header's line
    }
    char suffix[96];
    std::snprintf(suffix, sizeof suffix, "@0x%llX_cpu%X_pf%02X_rev%02X.bin",
                  static_cast<unsigned long long>(update.offset), update.header.signature,
                  update.header.platformFlags, update.header.revision);
    CFile& staging = StagingFile();
    entries_.push_back(Entry{ExtractionName(file.displayName) + suffix, staging.GetPosition(), update.bytes.size()});
    staging.Write(update.bytes.data(), update.bytes.size());
}

void Extractor::MemberDecoded(const MemberInfo& member, const FileHandle& decoded, std::uint64_t size)
{
    if (!members_) {
        return;
    }
    CFile& staging = StagingFile();
    entries_.push_back(Entry{ExtractionName(member.displayName), staging.GetPosition(), size});
    CFile input;
    input.Open(decoded, member.displayName);
    Copy(input, staging, size);
    entries_.back().size = staging.GetPosition() - entries_.back().offset;
}

ExtractionFolder::ExtractionFolder(const std::string& path, bool& isLink) : path_(path)
{
    isLink = false;
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        throw FileError::FromErrno(FileOperation::create, errno, path);
    }
    const bool followLink = path.back() == '/';
    struct stat status {};
    if (!followLink && ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        isLink = true;
        throw FileError(FileErrorCause::badPath, path, ELOOP);
    }
    folder_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (folder_ < 0) {
        throw FileError::FromErrno(FileOperation::open, errno, path);
    }
}

ExtractionFolder::~ExtractionFolder()
{
    if (folder_ >= 0) {
        ::close(folder_);
    }
}

void ExtractionFolder::Write(const Extractor& unit)
{
    for (const Extractor::Entry& entry : unit.Entries()) {
        WriteOne(unit, entry);
    }
}

void ExtractionFolder::WriteOne(const Extractor& unit, const Extractor::Entry& entry)
{
    // The bytes go to a file without a name inside the folder first, so
    // that a write that fails (a full disk) or a killed process leaves
    // nothing. Where the file system has no such files, or /proc is not
    // there to link one by, a hidden named file takes its place and is
    // removed again whatever happens.
    std::string partial;
    int descriptor = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (descriptor < 0 || ::access("/proc/self/fd", F_OK) != 0) {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        for (unsigned attempt = 0; descriptor < 0; ++attempt) {
            partial = ".veskari-partial-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
            descriptor = ::openat(folder_, partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            if (descriptor < 0 && (errno != EEXIST || attempt == 1000)) {
                throw FileError::FromErrno(FileOperation::create, errno, path_ + "/" + partial);
            }
        }
    }
    struct RemovePartial {
        int folder;
        const std::string& name;
        ~RemovePartial()
        {
            if (!name.empty()) {
                ::unlinkat(folder, name.c_str(), 0);
            }
        }
    } removePartial{folder_, partial};

    CFile output;
    output.Attach(descriptor, path_ + "/" + entry.name);
    CFile staging;
    staging.Open(unit.Staging(), TemporaryDirectory());
    staging.Seek(entry.offset);
    Copy(staging, output, entry.size);

    // Then it gets its name, one path component inside the folder, never
    // one that is taken: the link fails rather than replace anything.
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    unsigned& counter = nextCounter_[entry.name];
    for (;; ++counter) {
        const std::string candidate = WithCounter(entry.name, counter);
        const int linked = partial.empty()
                               ? ::linkat(AT_FDCWD, self.c_str(), folder_, candidate.c_str(), AT_SYMLINK_FOLLOW)
                               : ::linkat(folder_, partial.c_str(), folder_, candidate.c_str(), 0);
        if (linked == 0) {
            ++counter;
            break;
        }
        if (errno != EEXIST || counter == 1000000) {
            throw FileError::FromErrno(FileOperation::create, errno, path_ + "/" + candidate);
        }
    }
    output.Close();
}

}  // namespace veskari::cli
