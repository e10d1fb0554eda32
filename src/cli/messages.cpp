#include "messages.h"

#include <array>
#include <cerrno>

#include "microcode/update_layout.h"
#include "platform/text_pattern.h"
#include "platform/visible_text.h"

namespace veskari::cli {
namespace {

struct MessageTexts {
    Message message;
    std::string_view english;
    std::string_view japanese;
};

// The usage errors say what GNU getopt says in English.
constexpr std::array kMessages{
    MessageTexts{Message::tryHelp, "Try 'veskari-scan --help' for more information.",
                 "詳しくは 'veskari-scan --help' を実行してください。"},
    MessageTexts{Message::noPath, "no PATH given", "PATH が指定されていません"},
    MessageTexts{Message::extractNeedsFolder, "--extract needs a folder", "--extract にはﾌｫﾙﾀﾞが必要です"},
    MessageTexts{Message::extractMembersNeedsExtract, "--extract-members needs --extract DIR",
                 "--extract-members には --extract DIR が必要です"},
    MessageTexts{Message::referenceNeedsPath, "--reference needs a file or folder",
                 "--reference にはﾌｧｲﾙかﾌｫﾙﾀﾞが必要です"},
    MessageTexts{Message::referenceOnlyNeedsReference, "--reference-only needs --reference PATH",
                 "--reference-only には --reference PATH が必要です"},
    MessageTexts{Message::formsExclusive, "--json, --json-lines, --csv and --crlf do not go together",
                 "--json, --json-lines, --csv, --crlf は同時に指定できません"},
    MessageTexts{Message::jobsOutOfRange, "--jobs needs a number from 1 to 1024, not '%1'",
                 "--jobs には 1 から 1024 までの数を指定してください ('%1' は指定できません)"},
    MessageTexts{Message::unrecognizedOption, "unrecognized option '%1'", "不明なｵﾌﾟｼｮﾝ '%1'"},
    MessageTexts{Message::ambiguousOption, "option '%1' is ambiguous; possibilities:%2",
                 "ｵﾌﾟｼｮﾝ '%1' は曖昧です。候補:%2"},
    MessageTexts{Message::optionTakesNoArgument, "option '--%1' doesn't allow an argument",
                 "ｵﾌﾟｼｮﾝ '--%1' は引数を取りません"},
    MessageTexts{Message::optionNeedsArgument, "option '--%1' requires an argument",
                 "ｵﾌﾟｼｮﾝ '--%1' には引数が必要です"},
    MessageTexts{Message::shortOptionNeedsArgument, "option requires an argument -- '%1'",
                 "ｵﾌﾟｼｮﾝには引数が必要です -- '%1'"},
    MessageTexts{Message::invalidShortOption, "invalid option -- '%1'", "不正なｵﾌﾟｼｮﾝ -- '%1'"},
    MessageTexts{Message::extractFolderIsLink,
                 "%1 is a symbolic link; give '%1/' to extract into the folder it points to",
                 "%1 はｼﾝﾎﾞﾘｯｸﾘﾝｸです。ﾘﾝｸ先のﾌｫﾙﾀﾞに書き出すには '%1/' と指定してください"},
    MessageTexts{Message::extractFolderNotFolder, "%1 is not a folder", "%1 はﾌｫﾙﾀﾞではありません"},
    MessageTexts{Message::folderWalkedAgain, "%1: folder already walked in this run, not walked again",
                 "%1: この実行ですでにたどったﾌｫﾙﾀﾞのため、再びたどりません"},
    MessageTexts{Message::extractionFolderNotRead, "%1: the extraction folder of this run, not read",
                 "%1: この実行の書き出し先ﾌｫﾙﾀﾞのため読み込みません"},
    MessageTexts{Message::writeError, "write error on standard output: %1", "標準出力に書き込めません: %1"},
    MessageTexts{Message::pipeClosed, "the pipe was closed by its reader", "ﾊﾟｲﾌﾟが読み手に閉じられました"},
    MessageTexts{Message::noNameConversion,
                 "code page 932 names cannot be converted on this system (no iconv module for CP932): "
                 "their bytes are shown as \\xHH",
                 "このｼｽﾃﾑではｺｰﾄﾞﾍﾟｰｼﾞ 932 の名前を変換できません (CP932 の iconv ﾓｼﾞｭｰﾙがありません)。"
                 "名前のﾊﾞｲﾄを \\xHH で表示します"},
    MessageTexts{Message::referenceHoldsNoUpdate, "--reference %1: no microcode update found",
                 "--reference %1: ﾏｲｸﾛｺｰﾄﾞのｱｯﾌﾟﾃﾞｰﾄが見つかりません"},
    MessageTexts{Message::standingsAgainst, "standings against %1, newest update of %2",
                 "%1 を基準に判定します (最新のｱｯﾌﾟﾃﾞｰﾄは %2)"},
    MessageTexts{Message::publicReleases, "public releases %1 to %2", "公開ﾘﾘｰｽ %1 から %2 まで"},
    MessageTexts{Message::referenceSources, "%1 and %2", "%1 と %2"},
    MessageTexts{Message::unlistedLaterUpdate, "%1 update of the later layout not listed (--all-formats lists them)",
                 "新しい形式のアップデート %1 件は一覧にありません (--all-formats で一覧にします)"},
    MessageTexts{Message::unlistedLaterUpdates, "%1 updates of the later layout not listed (--all-formats lists them)",
                 "新しい形式のアップデート %1 件は一覧にありません (--all-formats で一覧にします)"},
};

}  // namespace

std::string StandingsAgainstText(const ReleaseReference& reference, Language language)
{
    const std::vector<std::string>& releases = ReleaseReference::Public().Releases();
    std::string sources;
    for (const ReferenceSource& source : reference.Sources()) {
        const std::string name = source.bundled
                                     ? MessageText(Message::publicReleases, language, releases.front(), releases.back())
                                     : VisibleText(source.name);
        sources = sources.empty() ? name : MessageText(Message::referenceSources, language, sources, name);
    }
    const std::uint32_t newest = reference.NewestDate();
    return MessageText(Message::standingsAgainst, language, sources,
                       newest == 0 ? std::string() : update_layout::DateText(newest));
}

std::string UnlistedLaterText(std::uint64_t count, Language language)
{
    return MessageText(count == 1 ? Message::unlistedLaterUpdate : Message::unlistedLaterUpdates, language,
                       std::to_string(count));
}

std::string WriteErrorText(int errnoValue, Language language)
{
    const std::string reason = errnoValue == EPIPE ? MessageText(Message::pipeClosed, language)
                                                   : ReasonText(errnoValue == 0 ? FileErrorCause::generic
                                                                                : CauseOfErrno(errnoValue),
                                                                language);
    return MessageText(Message::writeError, language, reason);
}

std::string MessageText(Message message, Language language, std::string_view first, std::string_view second)
{
    std::string_view pattern;
    for (const MessageTexts& row : kMessages) {
        if (row.message == message) {
            pattern = language == Language::Japanese ? row.japanese : row.english;
        }
    }
    return FillPattern(pattern, first, second);
}

}  // namespace veskari::cli
