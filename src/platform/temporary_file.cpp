#include "platform/temporary_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace veskari {

std::string TemporaryDirectory()
{
    const char* directory = std::getenv("TMPDIR");
    if (directory != nullptr && directory[0] != '\0') {
        return directory;
    }
    return "/tmp";
}

TemporaryFile::~TemporaryFile()
{
    if (!name_.empty()) {
        ::unlink(name_.c_str());
    }
}

bool TemporaryFile::Create(CFile& file)
{
    std::string pattern = TemporaryDirectory();
    if (pattern.back() != '/') {
        pattern += '/';
    }
    pattern += "veskari-XXXXXX";
    // The test hook may refuse the creation, as a full or read-only
    // directory would.
    if (FaultHookRefuses(FileOperation::create, pattern)) {
        return false;
    }
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    name_.assign(name.data());
    file.Close();
    file.Attach(descriptor, name_);
    return true;
}

void TemporaryFile::Remove()
{
    if (name_.empty()) {
        return;
    }
    // On a refusal the name is kept, so that the destructor tries again.
    if (FaultHookRefuses(FileOperation::remove, name_)) {
        throw FileError::FromErrno(FileOperation::remove, EACCES, name_);
    }
    if (::unlink(name_.c_str()) != 0 && errno != ENOENT) {
        throw FileError::FromErrno(FileOperation::remove, errno, name_);
    }
    name_.clear();
}

}  // namespace veskari
