#pragma once

// Hands fuzz input to the analysis as a file: an in-memory file (memfd)
// reopened through /proc, so that every input is a real, regular file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace veskari::fuzz {

class MemoryFile {
public:
    MemoryFile() : descriptor_(::memfd_create("veskari-fuzz", MFD_CLOEXEC)) {}
    ~MemoryFile() { ::close(descriptor_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    /// Replaces the file's content and returns a path that opens it.
    std::string Hold(const std::uint8_t* data, std::size_t size)
    {
        if (::ftruncate(descriptor_, 0) != 0) {
            __builtin_trap();
        }
        std::size_t done = 0;
        while (done < size) {
            const ssize_t put = ::pwrite(descriptor_, data + done, size - done, static_cast<off_t>(done));
            if (put <= 0) {
                __builtin_trap();
            }
            done += static_cast<std::size_t>(put);
        }
        return "/proc/self/fd/" + std::to_string(descriptor_);
    }

private:
    int descriptor_;
};

}  // namespace veskari::fuzz
