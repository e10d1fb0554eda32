#pragma once

#include <exception>
#include <string>

namespace veskari {

/// The language of the texts that the user reads (error boxes, messages).
enum class Language { English, Japanese };

/// Why the operating system refused a file operation. The set is the one
/// the error box knows texts for.
enum class FileErrorCause {
    none,
    generic,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
};

/// The kind of file operation that failed; it decides the cause when the
/// system's own error number says nothing more specific. `link` is giving a
/// written file its name by a hard link, which some file systems (FAT,
/// exFAT) do not have.
enum class FileOperation { open, read, seek, write, close, remove, create, link };

/// A file operation that the operating system refused. It is the only
/// exception of the analysis: bad data never throws. It unwinds every
/// nested analysis and is caught by the front ends.
class FileError : public std::exception {
public:
    FileError(FileErrorCause cause, std::string fileName, int systemError = 0);

    /// The cause of the refusal and the system's error number when known.
    static FileError FromErrno(FileOperation operation, int errnoValue, std::string fileName);

    [[nodiscard]] FileErrorCause Cause() const noexcept { return cause_; }
    [[nodiscard]] const std::string& FileName() const noexcept { return fileName_; }
    [[nodiscard]] int SystemError() const noexcept { return systemError_; }
    [[nodiscard]] const char* what() const noexcept override;

    /// The text shown to the user: the cause's text with %1 replaced by
    /// the file name (control characters shown visibly), or by the text
    /// for a file without a name.
    [[nodiscard]] std::string Text(Language language) const;

private:
    FileErrorCause cause_;
    std::string fileName_;
    int systemError_;
    std::string what_;
};

/// The cause that the system's error number `errnoValue` stands for.
[[nodiscard]] FileErrorCause CauseOfErrno(int errnoValue) noexcept;

/// The cause's name in machine-readable output ("accessDenied", ...).
[[nodiscard]] const char* CauseName(FileErrorCause cause) noexcept;

/// The cause in a few words ("access denied"), for messages that name a
/// path and then say why.
[[nodiscard]] std::string ReasonText(FileErrorCause cause, Language language);

/// The texts of the two errors that are not file errors.
[[nodiscard]] std::string OutOfMemoryText(Language language);
[[nodiscard]] std::string InternalErrorText(Language language);

/// Japanese when the locale environment (LC_ALL, LC_MESSAGES, LANG, the
/// first one that is set) starts with "ja", English otherwise. On Windows,
/// where none of them is set, the user's interface language decides.
[[nodiscard]] Language LanguageFromEnvironment();

}  // namespace veskari
