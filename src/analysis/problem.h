#pragma once

#include <cstdint>
#include <string>

#include "platform/file_error.h"

namespace veskari {

/// Why part of the input was not analysed. Such a problem makes the report
/// incomplete, unlike damaged data (a member whose CRC differs), which is a
/// property of the input.
enum class ProblemKind {
    cannotOpen,       ///< a file that could not be opened for reading
    notRegularFile,   ///< a FIFO, socket or device inside a folder: not read
    cannotList,       ///< a folder that could not be opened or listed
    noMemberFile,     ///< no file could be made for a member's decoded bytes
    memberTooLarge,   ///< a member that announces more than a member may decode to
    memberDamaged,    ///< a member whose data fails its CRC-16 or its Huffman tables, or ends early
    decodeLimit,      ///< the members of one file used up their decoded-data budget
    memberLimit,      ///< one file reached its limit of members analysed
    checksumLimit,    ///< later-format candidates left unchecked: checksum reads used up
    extendedLimit,    ///< one file reached its limit of extended signature lines
    noStreamCopy,     ///< standard input or a pipe: no file could be made for its copy
    streamCut,        ///< standard input or a pipe copied only up to its limit
    outputLimit,      ///< one file's detail outgrew what an output may hold of it
};

/// One problem: what, where (a path, or the chain of names of a member)
/// and the system's reason when there is one.
struct Problem {
    ProblemKind kind = ProblemKind::cannotOpen;
    std::string where;
    int systemError = 0;       ///< the system's error number, 0 when none
    std::uint64_t amount = 0;  ///< the size or count that a limit speaks of

    /// One line for the user, naming `where` (control characters shown
    /// visibly) and saying what happened and why.
    [[nodiscard]] std::string Text(Language language) const;
    /// The kind's name in machine-readable output ("cannotOpen", ...).
    [[nodiscard]] const char* KindName() const noexcept;
    /// The cause of the system's error, FileErrorCause::none without one.
    [[nodiscard]] FileErrorCause Cause() const noexcept;
};

}  // namespace veskari
