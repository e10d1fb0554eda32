#pragma once

#include <string>

#include "platform/cfile.h"

namespace veskari {

/// A new temporary file that belongs to this object: created exclusively
/// (mode 0600) as veskari-XXXXXX in $TMPDIR or /tmp, and deleted by the
/// destructor at the latest, also when a file error unwinds the analysis.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    /// Creates the file and opens it for reading and writing in `file`.
    /// False when no file could be created.
    [[nodiscard]] bool Create(CFile& file);

    [[nodiscard]] const std::string& Name() const noexcept { return name_; }

    /// Deletes the file now; a delete that the system refuses throws FileError.
    void Remove();

private:
    std::string name_;
};

/// The folder where temporary files are made: $TMPDIR when set, else /tmp.
[[nodiscard]] std::string TemporaryDirectory();

}  // namespace veskari
