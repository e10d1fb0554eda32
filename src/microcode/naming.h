#pragma once

#include <cstdint>
#include <string>

namespace veskari {

/// Names the package and the processor of an accepted update from its
/// platform flags and its whole (unmasked) signature.
void NameProcessor(std::uint32_t signature, std::uint32_t platformFlags, std::string& packageText,
                   std::string& processorName);

/// Names an update of the later format from its whole signature and its
/// platform-ID mask: the processor from the table of later processors (a row
/// for this exact mask, else a row for every mask), else a generic name made
/// of family, model and stepping; never a guess. The package text lists the
/// platform IDs of the mask ("Platform 7", "Platforms 1,4").
void NameLaterProcessor(std::uint32_t signature, std::uint32_t platformMask, std::string& packageText,
                        std::string& processorName);

}  // namespace veskari
