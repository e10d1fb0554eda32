#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace veskari {

/// A row's mask that names every platform of its processor.
inline constexpr std::uint32_t kAnyPlatformMask = 0xFFFFFFFF;

/// One processor of the later formats: the name that an update for this
/// signature and platform-ID mask is meant for.
struct LaterProcessorRow {
    std::uint32_t signature;
    std::uint32_t platformMask;  ///< exact mask of the update, or kAnyPlatformMask
    std::string_view name;
};

/// Every row, sorted by signature, then mask (generated from data tables by
/// tools/make_processor_table.py).
extern const std::span<const LaterProcessorRow> kLaterProcessors;

}  // namespace veskari
