#pragma once

#include <functional>
#include <string>

#include "platform/file.h"

namespace veskari {

/// A folder that files are written into, each complete or not at all:
/// written without a name first, it gets its name only once its last byte
/// is in, and never a name that is taken.
class OutputFolder {
public:
    /// Makes the folder when it is missing and opens it. A symbolic link as
    /// its last component is followed only when `path` ends in '/' (the user
    /// then names the folder the link points to). Throws FileError when the
    /// folder cannot be made or opened; a link refused so sets `isLink`.
    OutputFolder(const std::string& path, bool& isLink);
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    /// Writes a new file: `fill` writes its bytes, then it is given the
    /// first free name of `nameFor(counter)`, counting up from `counter`.
    /// Returns the counter of the name it got. A write that fails, or a
    /// process that dies meanwhile, leaves nothing; a refusal throws FileError.
    unsigned WriteNew(const std::function<void(File& file)>& fill,
                      const std::function<std::string(unsigned counter)>& nameFor, unsigned counter);

    [[nodiscard]] const std::string& Path() const noexcept { return path_; }

private:
    int folder_ = -1;
    std::string path_;
};

}  // namespace veskari
