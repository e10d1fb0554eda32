#include "analysis/problem.h"

#include <array>
#include <string_view>

#include "platform/text_pattern.h"
#include "platform/visible_text.h"

namespace veskari {
namespace {

struct ProblemTexts {
    ProblemKind kind;
    std::string_view name;
    // What happened, after the name of the path or member and a colon; %2
    // stands for the problem's amount.
    std::string_view english;
    std::string_view japanese;
};

constexpr std::array kProblemTexts{
    ProblemTexts{ProblemKind::cannotOpen, "cannotOpen", "cannot be read", "読み込めません"},
    ProblemTexts{ProblemKind::notRegularFile, "notRegularFile", "not a regular file, not read",
                 "通常のﾌｧｲﾙではないため読み込みません"},
    ProblemTexts{ProblemKind::cannotList, "cannotList", "folder cannot be read", "ﾌｫﾙﾀﾞを読み込めません"},
    ProblemTexts{ProblemKind::noMemberFile, "noMemberFile", "member not analysed, no file for its data",
                 "ﾒﾝﾊﾞｰを展開するﾌｧｲﾙを作れないため解析しません"},
    ProblemTexts{ProblemKind::memberTooLarge, "memberTooLarge",
                 "member not decoded, it announces more than %2 bytes",
                 "%2 ﾊﾞｲﾄを超えるﾒﾝﾊﾞｰのため展開しません"},
    ProblemTexts{ProblemKind::memberDamaged, "memberDamaged", "member not analysed, its data is damaged",
                 "ﾃﾞｰﾀが壊れているためﾒﾝﾊﾞｰを解析しません"},
    ProblemTexts{ProblemKind::decodeLimit, "decodeLimit",
                 "members beyond %2 decoded bytes per file not analysed",
                 "ﾌｧｲﾙあたり %2 ﾊﾞｲﾄを超えて展開するﾒﾝﾊﾞｰは解析しません"},
    ProblemTexts{ProblemKind::memberLimit, "memberLimit", "members beyond %2 per file not analysed",
                 "ﾌｧｲﾙあたり %2 個を超えるﾒﾝﾊﾞｰは解析しません"},
    ProblemTexts{ProblemKind::checksumLimit, "checksumLimit",
                 "%2 later-format candidates not checked, the checksum reads allowed per file were used up",
                 "ﾌｧｲﾙあたりのﾁｪｯｸｻﾑ読み込みの上限に達したため %2 個の候補を確認しません"},
    ProblemTexts{ProblemKind::extendedLimit, "extendedLimit", "extended signatures beyond %2 per file not listed",
                 "ﾌｧｲﾙあたり %2 個を超える拡張ｼｸﾞﾈﾁｬは表示しません"},
    ProblemTexts{ProblemKind::noStreamCopy, "noStreamCopy",
                 "cannot be copied, no file can be made in the temporary folder ($TMPDIR)",
                 "一時ﾌｫﾙﾀﾞ ($TMPDIR) にﾌｧｲﾙを作れないためｺﾋﾟｰできません"},
    ProblemTexts{ProblemKind::streamCut, "streamCut", "only its first %2 bytes were copied and analysed",
                 "最初の %2 ﾊﾞｲﾄだけをｺﾋﾟｰして解析しました"},
    ProblemTexts{ProblemKind::outputLimit, "outputLimit", "details beyond %2 bytes of output per file left out",
                 "ﾌｧｲﾙあたり %2 ﾊﾞｲﾄを超える出力の詳細は省略します"},
};

const ProblemTexts& TextsOf(ProblemKind kind)
{
    for (const ProblemTexts& row : kProblemTexts) {
        if (row.kind == kind) {
            return row;
        }
    }
    return kProblemTexts[0];
}

}  // namespace

const char* Problem::KindName() const noexcept
{
    return TextsOf(kind).name.data();
}

FileErrorCause Problem::Cause() const noexcept
{
    return systemError == 0 ? FileErrorCause::none : CauseOfErrno(systemError);
}

std::string Problem::Text(Language language) const
{
    const ProblemTexts& row = TextsOf(kind);
    const std::string_view pattern = language == Language::Japanese ? row.japanese : row.english;
    std::string text = VisibleText(where);
    text += ": ";
    text += FillPattern(pattern, {}, std::to_string(amount));
    if (systemError != 0) {
        text += ": ";
        text += ReasonText(Cause(), language);
    }
    return text;
}

}  // namespace veskari
