#include "platform/anonymous_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "platform/file.h"

namespace veskari {
namespace {

int CreateOnDisk(FileHandle& handle)
{
    const std::string folder = TemporaryDirectory();
    // O_EXCL: the file can never be linked into the folder later.
    int descriptor = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: make a named one and take
        // its name away at once.
        std::string pattern = folder;
        if (pattern.back() != '/') {
            pattern += '/';
        }
        pattern += "veskari-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        descriptor = ::mkostemp(name.data(), O_CLOEXEC);
        if (descriptor >= 0) {
            ::unlink(name.data());
        }
    }
    if (descriptor < 0) {
        return errno;
    }
    handle = FileHandle(descriptor);
    return 0;
}

}  // namespace

std::string TemporaryDirectory()
{
    const char* directory = std::getenv("TMPDIR");
    if (directory != nullptr && directory[0] != '\0') {
        return directory;
    }
    return "/tmp";
}

int CreateAnonymousFile(std::uint64_t expectedSize, FileHandle& handle)
{
    // The test hook may refuse the creation, as a full or read-only folder would.
    if (FaultHookRefuses(FileOperation::create, TemporaryDirectory())) {
        return ENOSPC;
    }
    if (expectedSize <= kMemoryFileLimit) {
        const int descriptor = ::memfd_create("veskari-member", MFD_CLOEXEC);
        if (descriptor >= 0) {
            handle = FileHandle(descriptor);
            return 0;
        }
        if (errno != ENOSYS && errno != EINVAL) {
            return errno;
        }
    }
    return CreateOnDisk(handle);
}

}  // namespace veskari
