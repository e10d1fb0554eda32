#pragma once

// The window's resources in the language the user reads: the dialogs and
// strings of that language are taken explicitly, so the choice does not
// depend on how the system falls back between its languages.

#include <string>
#include <string_view>

#include "platform/file_error.h"
#include "platform/windows/windows_api.h"

namespace veskari::win {

class Resources {
public:
    Resources(HINSTANCE instance, Language language) : instance_(instance), language_(language) {}

    [[nodiscard]] HINSTANCE Instance() const noexcept { return instance_; }
    [[nodiscard]] Language UserLanguage() const noexcept { return language_; }

    /// The dialog template `id` of the language (of any language when the
    /// language has none).
    [[nodiscard]] const DLGTEMPLATE* Dialog(int id) const;
    /// The string `id` of the language; empty when there is none.
    [[nodiscard]] std::wstring String(unsigned id) const;
    /// The string `id` with %1, %2, ... replaced by `arguments`.
    [[nodiscard]] std::wstring Format(unsigned id, std::initializer_list<std::wstring_view> arguments) const;

private:
    [[nodiscard]] HRSRC Find(LPCWSTR type, LPCWSTR name) const;

    HINSTANCE instance_;
    Language language_;
};

/// The language of the window: the user's interface language, unless the
/// locale variables that the command line follows name one.
[[nodiscard]] Language WindowLanguage();

}  // namespace veskari::win
