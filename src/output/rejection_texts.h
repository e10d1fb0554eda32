#pragma once

// What the outputs say about a rejected candidate: a stable code for
// scripts and a text in the user's language, made from the diagnostic that
// the record kept (which stays as it is).

#include <string>
#include <string_view>

#include "platform/file_error.h"

namespace veskari::output {

/// The stable code of a record's diagnostic ("badMonth", "headerChecksum",
/// ...), or "other" for a diagnostic that the table does not know.
[[nodiscard]] std::string_view RejectionCode(std::string_view message);

/// The diagnostic in `language`, its values kept ("month out of range 19");
/// each of its lines is translated, joined by "; ". A diagnostic that the
/// table does not know is shown as it is.
[[nodiscard]] std::string RejectionText(std::string_view message, Language language);

}  // namespace veskari::output
