#include "platform/memory.h"

#include <cstdlib>  // defines __GLIBC__ on the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace veskari {

void KeepFreedMemoryForReuse() noexcept
{
#if defined(__GLIBC__)
    // Free memory at the top of a heap is given back only beyond 64 MiB.
    ::mallopt(M_TRIM_THRESHOLD, 64 << 20);
    // Blocks up to 32 MiB (the most the library allows on 64-bit systems;
    // elsewhere the setting is refused and nothing changes) come from the heap,
    // not each from its own mapping: the window's growing lists (rows,
    // report text) are otherwise mapped anew, faulted in page by page and
    // unmapped at every step of their growth.
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
}

void LimitHeaps(unsigned heaps) noexcept
{
#if defined(__GLIBC__)
    if (heaps > 0) {
        ::mallopt(M_ARENA_MAX, static_cast<int>(heaps));
    }
#else
    (void)heaps;
#endif
}

}  // namespace veskari
