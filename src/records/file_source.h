#pragma once

#include <string>
#include <vector>

#include "platform/cfile.h"

namespace veskari {

/// An input file opened read-only for scanning, together with the kind of
/// record looked for in it.
class FileSource {
public:
    FileSource() = default;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    /// Opens an existing file for reading; false when it cannot be opened
    /// (missing, a folder, no access). Never throws.
    [[nodiscard]] virtual bool Open(const std::string& path);
    /// Scans the bytes of `source` (a file that stays open for its owner, or
    /// memory), named `name` in file errors.
    void Open(const ByteSource& source, const std::string& name) { file.Open(source, name); }
    virtual void Close();
    /// Appends this kind's findings from the current position to the end.
    virtual bool Collect(std::vector<std::string>& list);

    CFile file;

protected:
    ~FileSource() = default;
};

}  // namespace veskari
