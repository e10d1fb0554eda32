#pragma once

#include <string>
#include <string_view>

namespace veskari::cli {

/// Replaces what a terminal would take as control sequences (C0 controls
/// other than line feed and tab, DEL, and the C1 controls in UTF-8) with
/// '?', so that member names and paths cannot drive the user's terminal.
[[nodiscard]] std::string ForTerminal(std::string_view text);

}  // namespace veskari::cli
