#pragma once

// The texts that veskari-scan itself writes on standard error (usage errors,
// the extraction folder, standard output), in English and Japanese.

#include <string>
#include <string_view>

#include "microcode/release_reference.h"
#include "platform/file_error.h"

namespace veskari::cli {

enum class Message {
    tryHelp,                 ///< after every usage error
    noPath,
    extractNeedsFolder,
    extractMembersNeedsExtract,
    referenceNeedsPath,
    referenceOnlyNeedsReference,
    formsExclusive,
    jobsOutOfRange,          ///< %1: what was given
    unrecognizedOption,      ///< %1: the option
    ambiguousOption,         ///< %1: the option, %2: the candidates
    optionTakesNoArgument,   ///< %1: the long option's name
    optionNeedsArgument,     ///< %1: the long option's name
    shortOptionNeedsArgument,  ///< %1: the option's character
    invalidShortOption,      ///< %1: the option's character
    extractFolderIsLink,     ///< %1: the folder as given
    extractFolderNotFolder,  ///< %1: the folder as given
    folderWalkedAgain,       ///< %1: the folder
    extractionFolderNotRead,  ///< %1: the folder
    writeError,              ///< %1: the reason
    pipeClosed,              ///< the reason of a write into a pipe that nobody reads
    noNameConversion,        ///< names that need the code page 932 conversion are shown as bytes
    referenceHoldsNoUpdate,  ///< %1: the --reference path
    standingsAgainst,        ///< %1: the reference's sources, %2: its newest date
    publicReleases,          ///< %1: the first public release, %2: the last
    referenceSources,        ///< %1: the sources so far, %2: the next
    unlistedLaterUpdate,     ///< %1: 1
    unlistedLaterUpdates,    ///< %1: how many, more than 1
};

/// The message in `language`, with %1 and %2 replaced by `first` and `second`.
[[nodiscard]] std::string MessageText(Message message, Language language, std::string_view first = {},
                                      std::string_view second = {});

/// The note that names what standings are judged against: each source (the
/// bundled public releases, each --reference as given) and the newest date.
[[nodiscard]] std::string StandingsAgainstText(const ReleaseReference& reference, Language language);

/// The note on `count` updates of the later layout that the classic report
/// passes over, and how to list them.
[[nodiscard]] std::string UnlistedLaterText(std::uint64_t count, Language language);

/// The line for a write to standard output that the system refused with
/// `errnoValue` (0 when it did not say why).
[[nodiscard]] std::string WriteErrorText(int errnoValue, Language language);

}  // namespace veskari::cli
