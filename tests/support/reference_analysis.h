#pragma once

#include <string>

#include "microcode/microcode_header.h"

namespace veskari::test {

/// The report of one top-level file as the passes describe it, the
/// straightforward way: each file read twice from its start (the LZH
/// listing, then the microcode scan), each member found again by a scan,
/// decoded and analysed in turn. The analysis must give the same bytes.
[[nodiscard]] std::string ReferenceReport(const std::string& path, MicrocodeFormats formats);

}  // namespace veskari::test
