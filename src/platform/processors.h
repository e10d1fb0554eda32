#pragma once

#include <cstdint>

namespace veskari {

/// How many processors this process may run on: its CPU affinity mask when
/// the system tells it, else the number of cores; at least 1.
[[nodiscard]] unsigned UsableProcessorCount() noexcept;

/// How many files this process may hold open at once.
[[nodiscard]] std::uint64_t OpenFileLimit() noexcept;

}  // namespace veskari
