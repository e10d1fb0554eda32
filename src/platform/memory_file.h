#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file.h"

namespace veskari {

/// Bytes in memory read as a file, where they are: the window is all of
/// them, so reading costs no system call and no copy. The bytes stay the
/// caller's and must outlive the reading. Writing is refused.
class MemoryReader final : public File {
public:
    MemoryReader() = default;
    MemoryReader(std::span<const std::uint8_t> bytes, std::string name) { Open(bytes, std::move(name)); }

    void Open(std::span<const std::uint8_t> bytes, std::string name);

    [[nodiscard]] bool IsOpen() const noexcept override { return open_; }
    void Close() override;
    [[nodiscard]] std::uint64_t Size() const noexcept override { return open_ ? bytes_.size() : 0; }
    [[nodiscard]] std::size_t Peek(std::size_t count, const std::uint8_t*& data) override;

private:
    std::size_t FillWindow() override;
    void MoveOutsideWindow(std::uint64_t offset) noexcept override;
    void ShowAll(std::size_t position) noexcept;

    std::span<const std::uint8_t> bytes_;
    bool open_ = false;
};

/// A file written into a vector in memory, which grows as a file would:
/// decoded members are kept in memory below kMemoryFileLimit and analysed
/// from there (with a MemoryReader). Reading is refused.
class MemoryWriter final : public File {
public:
    MemoryWriter() = default;
    MemoryWriter(std::vector<std::uint8_t>& bytes, std::string name) { Open(bytes, std::move(name)); }

    /// Writes into `bytes` from offset 0 on; they stay the caller's.
    void Open(std::vector<std::uint8_t>& bytes, std::string name);

    [[nodiscard]] bool IsOpen() const noexcept override { return output_ != nullptr; }
    void Close() override;
    [[nodiscard]] std::uint64_t Size() const noexcept override { return output_ != nullptr ? output_->size() : 0; }
    [[nodiscard]] std::size_t Peek(std::size_t count, const std::uint8_t*& data) override;
    void Truncate(std::uint64_t size) override;
    void Write(const void* buffer, std::size_t count) override;

private:
    std::size_t FillWindow() override;

    std::vector<std::uint8_t>* output_ = nullptr;
};

}  // namespace veskari
