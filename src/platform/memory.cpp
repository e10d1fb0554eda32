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
#endif
}

}  // namespace veskari
