#pragma once

#include <cstdint>
#include <string>

namespace veskari {

/// Names the package and the processor of an accepted update from its
/// platform flags and its whole (unmasked) signature.
void NameProcessor(std::uint32_t signature, std::uint32_t platformFlags, std::string& packageText,
                   std::string& processorName);

}  // namespace veskari
