#include "platform/file_error.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace veskari {
namespace {

struct CauseTexts {
    FileErrorCause cause;
    std::string_view english;
    std::string_view japanese;
};

// The texts of the error box, one row per cause; %1 stands for the file name.
constexpr std::array kCauseTexts{
    CauseTexts{FileErrorCause::none, "No error occurred.", "ｴﾗｰはありませんでした。"},
    CauseTexts{FileErrorCause::generic, "An unknown error occurred while accessing %1.",
               "%1 へのｱｸｾｽ中に不明なｴﾗｰが発生しました。"},
    CauseTexts{FileErrorCause::fileNotFound, "%1 was not found.", "%1 が見つかりませんでした。"},
    CauseTexts{FileErrorCause::badPath, "%1 contains an invalid path.",
               "%1 には無効なﾊﾟｽが含まれています。"},
    CauseTexts{FileErrorCause::tooManyOpenFiles,
               "%1 could not be opened because there are too many open files.",
               "開いているﾌｧｲﾙが多すぎるため、%1 を開けませんでした。"},
    CauseTexts{FileErrorCause::accessDenied, "Access to %1 was denied.",
               "%1 へのｱｸｾｽは拒否されました。"},
    CauseTexts{FileErrorCause::invalidFile, "An invalid file handle was associated with %1.",
               "%1 へ無効なﾌｧｲﾙ ﾊﾝﾄﾞﾙが関連付けられていました。"},
    CauseTexts{FileErrorCause::removeCurrentDir,
               "%1 could not be removed because it is the current directory.",
               "現在のﾃﾞｨﾚｸﾄﾘ %1 は削除できませんでした。"},
    CauseTexts{FileErrorCause::directoryFull,
               "%1 could not be created because the directory is full.",
               "%1 を作成できませんでした。そのﾃﾞｨﾚｸﾄﾘはいっぱいです。"},
    CauseTexts{FileErrorCause::badSeek, "Seek failed on %1.", "%1 のｼｰｸに失敗しました。"},
    CauseTexts{FileErrorCause::hardIO, "A hardware I/O error was reported while accessing %1.",
               "%1 へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。"},
    CauseTexts{FileErrorCause::sharingViolation, "A sharing violation occurred while accessing %1.",
               "%1 へのｱｸｾｽ中に共有違反が発生しました。"},
    CauseTexts{FileErrorCause::lockViolation, "A locking violation occurred while accessing %1.",
               "%1 へのｱｸｾｽ中にﾛｯｸ違反が発生しました。"},
    CauseTexts{FileErrorCause::diskFull, "Disk full while accessing %1.",
               "%1 へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。"},
    CauseTexts{FileErrorCause::endOfFile, "An attempt was made to access %1 past its end.",
               "%1 の末尾以降にｱｸｾｽしようとしました。"},
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
    ErrnoCause{EDQUOT, FileErrorCause::diskFull},
    ErrnoCause{EFBIG, FileErrorCause::diskFull},
    ErrnoCause{EIO, FileErrorCause::hardIO},
    ErrnoCause{ENXIO, FileErrorCause::hardIO},
    ErrnoCause{ENODEV, FileErrorCause::hardIO},
};

const CauseTexts& TextsOf(FileErrorCause cause)
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

FileError FileError::FromErrno(FileOperation operation, int errnoValue, std::string fileName)
{
    // A refused seek is a seek failure whatever the system says about it.
    FileErrorCause cause = operation == FileOperation::seek ? FileErrorCause::badSeek
                                                             : FileErrorCause::generic;
    if (operation != FileOperation::seek) {
        for (const ErrnoCause& row : kErrnoCauses) {
            if (row.errnoValue == errnoValue) {
                cause = row.cause;
                break;
            }
        }
    }
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
    std::string_view name = fileName_;
    if (name.empty()) {
        name = language == Language::Japanese ? kUnnamedJapanese : kUnnamedEnglish;
    }
    std::string text;
    text.reserve(pattern.size() + name.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '1') {
            text.append(name);
            ++i;
        } else {
            text.push_back(pattern[i]);
        }
    }
    return text;
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
    return Language::English;
}

}  // namespace veskari
