#pragma once

#include <string>
#include <variant>

#include "platform/descriptor_file.h"
#include "platform/file.h"
#include "platform/memory_file.h"

namespace veskari {

/// A file to scan, held in place, of the kind that opening it chose: a file
/// opened by its path, the open file of a handle, or bytes in memory. It is
/// used as a pointer to that File; nothing is allocated to hold it.
class SourceFile {
public:
    SourceFile() = default;
    SourceFile(const ByteSource& source, std::string name) { Open(source, std::move(name)); }
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    /// Opens an existing file for reading (see OwnedFile::Open).
    [[nodiscard]] bool Open(const std::string& path)
    {
        return Become<OwnedFile>().Open(path);
    }

    /// Opens the bytes of `source`, named `name` in file errors: the file
    /// stays open for its owner, memory stays the caller's.
    void Open(const ByteSource& source, std::string name)
    {
        if (source.handle != nullptr) {
            Become<BorrowedFile>().Open(*source.handle, std::move(name));
        } else {
            Become<MemoryReader>().Open(source.memory, std::move(name));
        }
    }

    /// Whether it was ever opened (the file itself may have been closed since).
    explicit operator bool() const noexcept { return file_ != nullptr; }
    [[nodiscard]] File& operator*() const noexcept { return *file_; }
    [[nodiscard]] File* operator->() const noexcept { return file_; }

private:
    // The file of the kind before is closed first, as reopening any file closes it.
    template <typename Kind>
    Kind& Become()
    {
        if (file_ != nullptr) {
            file_->Close();
        }
        file_ = nullptr;
        Kind& kind = kinds_.template emplace<Kind>();
        file_ = &kind;
        return kind;
    }

    std::variant<std::monostate, OwnedFile, BorrowedFile, MemoryReader> kinds_;
    File* file_ = nullptr;
};

}  // namespace veskari
