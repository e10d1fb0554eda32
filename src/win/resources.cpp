#include "resources.h"

namespace veskari::win {

HRSRC Resources::Find(LPCWSTR type, LPCWSTR name) const
{
    const WORD wanted = language_ == Language::Japanese ? MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN)
                                                        : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    HRSRC found = ::FindResourceExW(instance_, type, name, wanted);
    return found != nullptr ? found : ::FindResourceW(instance_, name, type);
}

const DLGTEMPLATE* Resources::Dialog(int id) const
{
    HRSRC found = Find(RT_DIALOG, MAKEINTRESOURCEW(id));
    HGLOBAL loaded = found != nullptr ? ::LoadResource(instance_, found) : nullptr;
    return loaded != nullptr ? static_cast<const DLGTEMPLATE*>(::LockResource(loaded)) : nullptr;
}

std::wstring Resources::String(unsigned id) const
{
    // Strings come in blocks of sixteen, each a length and its characters.
    HRSRC found = Find(RT_STRING, MAKEINTRESOURCEW(id / 16 + 1));
    HGLOBAL loaded = found != nullptr ? ::LoadResource(instance_, found) : nullptr;
    const auto* text = loaded != nullptr ? static_cast<const WCHAR*>(::LockResource(loaded)) : nullptr;
    if (text == nullptr) {
        return {};
    }
    const WCHAR* end = text + ::SizeofResource(instance_, found) / sizeof(WCHAR);
    for (unsigned skipped = 0; skipped < id % 16 && text < end; ++skipped) {
        text += 1 + *text;
    }
    if (text >= end || text + 1 + *text > end) {
        return {};
    }
    return std::wstring(text + 1, *text);
}

std::wstring Resources::Format(unsigned id, std::initializer_list<std::wstring_view> arguments) const
{
    const std::wstring pattern = String(id);
    std::wstring text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t n = i + 1 < pattern.size() ? static_cast<std::size_t>(pattern[i + 1] - L'1') : arguments.size();
        if (pattern[i] == L'%' && n < arguments.size()) {
            text += arguments.begin()[n];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

Language WindowLanguage()
{
    return LanguageFromEnvironment();
}

}  // namespace veskari::win
