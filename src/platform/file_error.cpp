#include "platform/file_error.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/text_pattern.h"
#include "platform/visible_text.h"
#if defined(_WIN32)
#include "platform/windows/windows_api.h"
#endif

namespace veskari {
namespace {

struct CauseTexts {
    FileErrorCause cause;
    std::string_view name;      // in JSON output
    std::string_view english;   // the error box's text; %1 stands for the file name
    std::string_view japanese;
    std::string_view reasonEnglish;  // the cause in a few words, after a name and a colon
    std::string_view reasonJapanese;
};

// One row per cause: its name, the texts of the error box and the short
// reason that messages about a single path give.
constexpr std::array kCauseTexts{
    CauseTexts{FileErrorCause::none, "none", "No error occurred.", "ｴﾗｰはありませんでした。", "no error",
               "ｴﾗｰなし"},
    CauseTexts{FileErrorCause::generic, "generic", "An unknown error occurred while accessing %1.",
               "%1 へのｱｸｾｽ中に不明なｴﾗｰが発生しました。", "unknown error", "不明なｴﾗｰ"},
    CauseTexts{FileErrorCause::fileNotFound, "fileNotFound", "%1 was not found.", "%1 が見つかりませんでした。",
               "not found", "見つかりません"},
    CauseTexts{FileErrorCause::badPath, "badPath", "%1 contains an invalid path.",
               "%1 には無効なﾊﾟｽが含まれています。", "invalid path", "無効なﾊﾟｽ"},
    CauseTexts{FileErrorCause::tooManyOpenFiles, "tooManyOpenFiles",
               "%1 could not be opened because there are too many open files.",
               "開いているﾌｧｲﾙが多すぎるため、%1 を開けませんでした。", "too many open files",
               "開いているﾌｧｲﾙが多すぎます"},
    CauseTexts{FileErrorCause::accessDenied, "accessDenied", "Access to %1 was denied.",
               "%1 へのｱｸｾｽは拒否されました。", "access denied", "ｱｸｾｽが拒否されました"},
    CauseTexts{FileErrorCause::invalidFile, "invalidFile", "An invalid file handle was associated with %1.",
               "%1 へ無効なﾌｧｲﾙ ﾊﾝﾄﾞﾙが関連付けられていました。", "invalid file handle", "無効なﾌｧｲﾙ ﾊﾝﾄﾞﾙ"},
    CauseTexts{FileErrorCause::removeCurrentDir, "removeCurrentDir",
               "%1 could not be removed because it is the current directory.",
               "現在のﾃﾞｨﾚｸﾄﾘ %1 は削除できませんでした。", "current directory", "現在のﾃﾞｨﾚｸﾄﾘ"},
    CauseTexts{FileErrorCause::directoryFull, "directoryFull",
               "%1 could not be created because the directory is full.",
               "%1 を作成できませんでした。そのﾃﾞｨﾚｸﾄﾘはいっぱいです。", "directory full",
               "ﾃﾞｨﾚｸﾄﾘがいっぱいです"},
    CauseTexts{FileErrorCause::badSeek, "badSeek", "Seek failed on %1.", "%1 のｼｰｸに失敗しました。", "seek failed",
               "ｼｰｸに失敗しました"},
    CauseTexts{FileErrorCause::hardIO, "hardIO", "A hardware I/O error was reported while accessing %1.",
               "%1 へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。", "hardware I/O error", "ﾊｰﾄﾞｳｪｱ I/O ｴﾗｰ"},
    CauseTexts{FileErrorCause::sharingViolation, "sharingViolation",
               "A sharing violation occurred while accessing %1.", "%1 へのｱｸｾｽ中に共有違反が発生しました。",
               "sharing violation", "共有違反"},
    CauseTexts{FileErrorCause::lockViolation, "lockViolation", "A locking violation occurred while accessing %1.",
               "%1 へのｱｸｾｽ中にﾛｯｸ違反が発生しました。", "locking violation", "ﾛｯｸ違反"},
    CauseTexts{FileErrorCause::diskFull, "diskFull", "Disk full while accessing %1.",
               "%1 へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。", "disk full", "ﾃﾞｨｽｸがいっぱいです"},
    CauseTexts{FileErrorCause::endOfFile, "endOfFile", "An attempt was made to access %1 past its end.",
               "%1 の末尾以降にｱｸｾｽしようとしました。", "access past the end", "末尾以降へのｱｸｾｽ"},
};

constexpr std::string_view kUnnamedEnglish = "an unnamed file";
constexpr std::string_view kUnnamedJapanese = "無題のﾌｧｲﾙ";

struct ErrnoCause {
    int errnoValue;
    FileErrorCause cause;
};

// How the system's error numbers map onto the causes the user is told.
constexpr std::array kErrnoCauses{
    ErrnoCause{ENOENT, FileErrorCause::fileNotFound},
    ErrnoCause{ENOTDIR, FileErrorCause::badPath},
    ErrnoCause{ENAMETOOLONG, FileErrorCause::badPath},
    ErrnoCause{ELOOP, FileErrorCause::badPath},
    ErrnoCause{EMFILE, FileErrorCause::tooManyOpenFiles},
    ErrnoCause{ENFILE, FileErrorCause::tooManyOpenFiles},
    ErrnoCause{EACCES, FileErrorCause::accessDenied},
    ErrnoCause{EPERM, FileErrorCause::accessDenied},
    ErrnoCause{EROFS, FileErrorCause::accessDenied},
    ErrnoCause{EISDIR, FileErrorCause::accessDenied},
    ErrnoCause{EBADF, FileErrorCause::invalidFile},
    ErrnoCause{EBUSY, FileErrorCause::sharingViolation},
    ErrnoCause{ETXTBSY, FileErrorCause::sharingViolation},
    ErrnoCause{EDEADLK, FileErrorCause::lockViolation},
    ErrnoCause{ENOLCK, FileErrorCause::lockViolation},
    ErrnoCause{ENOSPC, FileErrorCause::diskFull},
#if defined(EDQUOT)  // POSIX systems with disk quotas
    ErrnoCause{EDQUOT, FileErrorCause::diskFull},
#endif
    ErrnoCause{EFBIG, FileErrorCause::diskFull},
    ErrnoCause{EIO, FileErrorCause::hardIO},
    ErrnoCause{ENXIO, FileErrorCause::hardIO},
    ErrnoCause{ENODEV, FileErrorCause::hardIO},
};

constexpr const CauseTexts& TextsOf(FileErrorCause cause)
{
    for (const CauseTexts& row : kCauseTexts) {
        if (row.cause == cause) {
            return row;
        }
    }
    return kCauseTexts[1];  // generic
}

}  // namespace

FileError::FileError(FileErrorCause cause, std::string fileName, int systemError)
    : cause_(cause), fileName_(std::move(fileName)), systemError_(systemError),
      what_(Text(Language::English))
{
}

FileErrorCause CauseOfErrno(int errnoValue) noexcept
{
    for (const ErrnoCause& row : kErrnoCauses) {
        if (row.errnoValue == errnoValue) {
            return row.cause;
        }
    }
    return FileErrorCause::generic;
}

const char* CauseName(FileErrorCause cause) noexcept
{
    return TextsOf(cause).name.data();
}

std::string ReasonText(FileErrorCause cause, Language language)
{
    const CauseTexts& row = TextsOf(cause);
    return std::string(language == Language::Japanese ? row.reasonJapanese : row.reasonEnglish);
}

FileError FileError::FromErrno(FileOperation operation, int errnoValue, std::string fileName)
{
    // A refused seek is a seek failure whatever the system says about it.
    const FileErrorCause cause = operation == FileOperation::seek ? FileErrorCause::badSeek : CauseOfErrno(errnoValue);
    return FileError(cause, std::move(fileName), errnoValue);
}

const char* FileError::what() const noexcept
{
    return what_.c_str();
}

std::string FileError::Text(Language language) const
{
    const CauseTexts& row = TextsOf(cause_);
    const std::string_view pattern = language == Language::Japanese ? row.japanese : row.english;
    const std::string shown = VisibleText(fileName_);
    std::string_view name = shown;
    if (name.empty()) {
        name = language == Language::Japanese ? kUnnamedJapanese : kUnnamedEnglish;
    }
    return FillPattern(pattern, name);
}

std::string OutOfMemoryText(Language language)
{
    return language == Language::Japanese ? "ﾒﾓﾘが不足しています。" : "Out of memory.";
}

std::string InternalErrorText(Language language)
{
    return language == Language::Japanese ? "ｱﾌﾟﾘｹｰｼｮﾝの内部ｴﾗｰです。"
                                          : "An internal application error has occurred.";
}

Language LanguageFromEnvironment()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') {
            const std::string_view text(value);
            return text.starts_with("ja") ? Language::Japanese : Language::English;
        }
    }
#if defined(_WIN32)
    // Windows users set no locale variables: the language of their desktop decides.
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::Japanese : Language::English;
#else
    return Language::English;
#endif
}

}  // namespace veskari
