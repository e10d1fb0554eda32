#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/hex_text.h"

namespace veskari {

/// `pattern` with its one conversion replaced by `value` as printf writes
/// it: %d (the 32-bit value as a signed number), %u, %X, or %0NX with one
/// digit N. Records format a text for every candidate they reject, so this
/// costs a few instructions where printf costs thousands.
[[nodiscard]] std::string FormatField(std::string_view pattern, std::uint32_t value);

}  // namespace veskari
