#include "output/rejection_texts.h"

#include <array>

#include "records/located_record.h"

namespace veskari::output {
namespace {

// Each diagnostic that the records keep starts with one of these texts,
// followed by the values it speaks of. No text starts with another.
struct RejectionRow {
    std::string_view diagnostic;
    std::string_view code;
    std::string_view english;
};

constexpr std::array kRejections{
    // The update headers.
    RejectionRow{"知らないヘッダーバージョン", "headerVersion", "unknown header version"},
    RejectionRow{"コードリビジョンが大きすぎる", "revisionRange", "code revision out of range"},
    RejectionRow{"コードリビジョンがない", "noRevision", "no code revision"},
    RejectionRow{"変な年", "badYear", "year out of range"},
    RejectionRow{"変な月", "badMonth", "month out of range"},
    RejectionRow{"変な日", "badDay", "day out of range"},
    RejectionRow{"CPUの世代が変", "badFamily", "processor family out of range"},
    RejectionRow{"ローダーバージョンが変", "loaderVersion", "unknown loader version"},
    RejectionRow{"パッケージタイプが変", "platformFlags", "platform flags out of range"},
    RejectionRow{"ブランクの数が足りない", "reservedNotZero", "reserved bytes not zero at"},
    RejectionRow{"データサイズがトータルサイズを超える", "dataExceedsTotal", "data size exceeds the total size"},
    RejectionRow{"データサイズが変", "dataSize", "data size out of range"},
    RejectionRow{"トータルサイズが変", "totalSize", "total size out of range"},
    RejectionRow{"拡張シグネチャテーブルの大きさが変", "extendedTableSize", "extended signature table size out of range"},
    RejectionRow{"拡張シグネチャテーブルのチェックサムが合わない", "extendedTableChecksum",
                 "extended signature table checksum does not add up"},
    RejectionRow{"拡張シグネチャのチェックサムが合わない", "extendedChecksum",
                 "extended signature checksum does not add up"},
    RejectionRow{"拡張シグネチャの数が変", "extendedCount", "extended signature count out of range"},
    RejectionRow{"チェックサムを数えきれない", "checksumNotChecked",
                 "checksum not checked, the checksum reads allowed were used up; total size"},
    RejectionRow{"チェックサムが合わない", "checksum", "checksum does not add up to 0"},
    RejectionRow{kEndOfFileDiagnostic, "endOfFile", "the file ends inside it"},
    // The LZH headers.
    RejectionRow{"LZH書庫ではない", "notLzh", "not an LZH header"},
    RejectionRow{"未知の圧縮形式", "unknownMethod", "unknown compression method"},
    RejectionRow{"未知のヘッダー形式", "badHeader", "malformed header"},
    RejectionRow{"ヘッダーVer.", "headerLevel", "header level"},
    RejectionRow{"ヘッダーチェックサムが違います", "headerChecksum", "header checksum differs"},
    RejectionRow{"ファイルが切れてる？", "truncated", "the file ends inside it"},
    RejectionRow{"アーカイブ終端", "endOfArchive", "end of the archive"},
    RejectionRow{"もう次のヘッダーはないよん", "noMoreHeaders", "no further header in the file"},
    // The compressed segments.
    RejectionRow{"セグメントの印がない", "noSegmentMark", "no segment mark"},
};

const RejectionRow* RowOf(std::string_view line)
{
    for (const RejectionRow& row : kRejections) {
        if (line.starts_with(row.diagnostic)) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

std::string_view RejectionCode(std::string_view message)
{
    const RejectionRow* row = RowOf(message);
    return row != nullptr ? row->code : "other";
}

std::string RejectionText(std::string_view message, Language language)
{
    std::string text;
    while (!message.empty()) {
        const std::size_t end = message.find("\r\n");
        const std::string_view line = message.substr(0, end);
        const RejectionRow* row = RowOf(line);
        text += text.empty() ? "" : "; ";
        if (row == nullptr || language == Language::Japanese) {
            text += line;
        } else {
            text += row->english;
            text += line.substr(row->diagnostic.size());
        }
        message = end == std::string_view::npos ? std::string_view() : message.substr(end + 2);
    }
    return text;
}

}  // namespace veskari::output
