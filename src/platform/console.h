#pragma once

#include <string>
#include <vector>

namespace veskari {

/// Makes standard output and standard error of a command-line program carry
/// its bytes unchanged (no line-end translation), and a console show them as
/// UTF-8 (restored when the program ends). Nothing to do on POSIX systems.
void PrepareStandardStreams();

/// The program's arguments as UTF-8 byte strings, argv[0] first. Windows
/// hands them over as UTF-16 (argv is in the ANSI code page there); POSIX
/// systems hand over bytes, which are taken as they are.
[[nodiscard]] std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace veskari
