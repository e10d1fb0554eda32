#include "platform/memory_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace veskari {

void MemoryReader::Open(std::span<const std::uint8_t> bytes, std::string name)
{
    Close();
    open_ = true;
    bytes_ = bytes;
    path_ = std::move(name);
    ShowAll(0);
}

void MemoryReader::ShowAll(std::size_t position) noexcept
{
    window_ = bytes_.data();
    windowStart_ = 0;
    windowLength_ = bytes_.size();
    windowIndex_ = position;
}

void MemoryReader::Close()
{
    if (!open_) {
        return;
    }
    open_ = false;
    window_ = nullptr;
    EmptyWindowAt(0);
    CheckHook(FileOperation::close);
}

std::size_t MemoryReader::FillWindow()
{
    // The window held all the bytes: there are no more.
    if (!open_) {
        RefuseOperation();
    }
    CheckHook(FileOperation::read);
    return 0;
}

void MemoryReader::MoveOutsideWindow(std::uint64_t offset) noexcept
{
    // Back from beyond the end, all the bytes are in view again.
    if (open_ && offset <= bytes_.size()) {
        ShowAll(static_cast<std::size_t>(offset));
    } else {
        EmptyWindowAt(offset);
    }
}

std::size_t MemoryReader::Peek(std::size_t count, const std::uint8_t*& data)
{
    // All of it is in view already.
    if (!open_) {
        RefuseOperation();
    }
    CheckHook(FileOperation::read);
    data = window_ + windowIndex_;
    return std::min(count, windowLength_ - windowIndex_);
}

void MemoryWriter::Open(std::vector<std::uint8_t>& bytes, std::string name)
{
    Close();
    output_ = &bytes;
    path_ = std::move(name);
    EmptyWindowAt(0);
}

void MemoryWriter::Close()
{
    if (output_ == nullptr) {
        return;
    }
    output_ = nullptr;
    EmptyWindowAt(0);
    CheckHook(FileOperation::close);
}

std::size_t MemoryWriter::FillWindow()
{
    RefuseOperation();
}

std::size_t MemoryWriter::Peek(std::size_t /*count*/, const std::uint8_t*& /*data*/)
{
    RefuseOperation();
}

void MemoryWriter::Truncate(std::uint64_t size)
{
    if (output_ == nullptr) {
        RefuseOperation();
    }
    CheckHook(FileOperation::write);
    output_->resize(static_cast<std::size_t>(size));
}

void MemoryWriter::Write(const void* buffer, std::size_t count)
{
    if (output_ == nullptr) {
        RefuseOperation();
    }
    CheckHook(FileOperation::write);
    const auto position = static_cast<std::size_t>(GetPosition());
    if (output_->size() < position + count) {
        output_->resize(position + count);
    }
    if (count != 0) {  // an empty buffer may have no storage at all
        std::memcpy(output_->data() + position, buffer, count);
    }
    EmptyWindowAt(position + count);
}

}  // namespace veskari
