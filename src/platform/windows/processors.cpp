#include "platform/processors.h"

#include <bit>

#include "platform/windows/windows_api.h"

namespace veskari {

unsigned UsableProcessorCount() noexcept
{
    // Every processor of every group, unless the process was confined to
    // some of them (start /affinity, a job object).
    unsigned count = ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != system && process != 0) {
        count = static_cast<unsigned>(std::popcount(static_cast<std::uint64_t>(process)));
    }
    return count > 0 ? count : 1;
}

std::uint64_t OpenFileLimit() noexcept
{
    // The table of low-level descriptors of the C runtime we link (msvcrt)
    // holds 2048.
    return 2048;
}

}  // namespace veskari
