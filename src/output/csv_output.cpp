#include "output/csv_output.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "microcode/update_layout.h"

namespace veskari::output {
namespace {

constexpr std::array<std::string_view, kCsvColumnCount> kHeader = {
    "path", "member chain", "offset", "CPUID", "platform flags", "revision", "date", "package", "processor",
    "checksum valid", "standing", "newest published revision", "newest published date", "newest published in",
    "first published in", "last published in", "highest revision in file", "standing of highest"};

std::string Hex(std::uint64_t value, int width)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", width, static_cast<unsigned long long>(value));
    return text;
}

std::string StandingField(const UpdateRow& row, const UpdateStanding& standing)
{
    return row.reference != nullptr ? StandingName(standing.standing) : "";
}

std::string Record(const auto& fields)
{
    std::string record;
    for (const auto& field : fields) {
        if (!record.empty()) {
            record += ',';
        }
        record += CsvField(field);
    }
    record += "\r\n";
    return record;
}

}  // namespace

void UpdateRowRecorder::FileStarted(const FileInfo& file)
{
    if (file.depth == 0) {
        path_ = file.path;
        fileStart_ = rows_.size();
    }
}

void UpdateRowRecorder::UpdateAccepted(const FileInfo& file, const UpdateRecord& update)
{
    if (budget_ != nullptr && budget_->Reached()) {
        return;
    }
    UpdateRow& row = rows_.emplace_back();
    row.path = path_;
    if (file.chain.size() > 1) {
        row.members.assign(file.chain.begin() + 1, file.chain.end());
    }
    row.update = update;
    row.reference = reference_;
    if (reference_ != nullptr) {
        row.standing = reference_->StandingOf(update.LineSignature(), update.LinePlatformFlags(), update.header.revision);
    }
    if (budget_ != nullptr) {
        // The columns of the file's highest revision are known only when the
        // file finishes: they are allowed for at their widest ("0xFFFFFFFF",
        // "notCovered"), and need no quoting.
        constexpr std::size_t kWidestHighest = 10 + 10;
        std::array fields = CsvFields(row);
        fields[static_cast<std::size_t>(CsvColumn::highestInFile)].clear();
        fields[static_cast<std::size_t>(CsvColumn::highestStanding)].clear();
        if (!budget_->Take(Record(fields).size() + kWidestHighest)) {
            rows_.pop_back();
        }
    }
}

void UpdateRowRecorder::FileFinished(const FileInfo& file)
{
    if (file.depth != 0 || reference_ == nullptr) {
        return;
    }
    ProcessorSummary summary;
    const auto rows = std::span(rows_).subspan(fileStart_);
    for (const UpdateRow& row : rows) {
        summary.Add(row.update.LineSignature(), row.update.LinePlatformFlags(), row.update.header.revision,
                    row.update.header.date);
    }
    const std::vector<ProcessorSummary::Row> highest = summary.Rows(*reference_);
    for (UpdateRow& row : rows) {
        const auto found = std::lower_bound(
            highest.begin(), highest.end(), std::pair(row.update.LineSignature(), row.update.LinePlatformFlags()),
            [](const ProcessorSummary::Row& a, const auto& key) {
                return std::pair(a.signature, a.platformFlags) < key;
            });
        row.highestInFile = found->revision;
        row.highestStanding = found->standing;
    }
    fileStart_ = rows_.size();
}

std::array<std::string, kCsvColumnCount> CsvFields(const UpdateRow& row)
{
    std::string chain;
    for (const std::string& member : row.members) {
        chain += chain.empty() ? "" : "/";
        chain += member;
    }
    const MicrocodeHeaderFields& header = row.update.header;
    const UpdateStanding& standing = row.standing;
    const bool covered = row.reference != nullptr && standing.standing != Standing::notCovered;
    return {row.path,
            std::move(chain),
            Hex(row.update.offset, 0),
            Hex(row.update.LineSignature(), 0),
            Hex(row.update.LinePlatformFlags(), 2),
            Hex(header.revision, 2),
            header.dateText,
            row.update.LinePackage(),
            row.update.LineProcessor(),
            row.update.checksumValid ? "yes" : "no",
            StandingField(row, row.standing),
            covered ? Hex(standing.newestRevision, 2) : std::string(),
            covered ? update_layout::DateText(standing.newestDate) : std::string(),
            covered ? row.reference->ReleaseName(standing.newestFirstRelease) : std::string(),
            standing.published ? row.reference->ReleaseName(standing.firstRelease) : std::string(),
            standing.published ? row.reference->ReleaseName(standing.lastRelease) : std::string(),
            row.reference != nullptr ? Hex(row.highestInFile, 2) : std::string(),
            StandingField(row, row.highestStanding)};
}

std::string CsvField(std::string_view text)
{
    // A spreadsheet takes a cell that begins with one of these as a formula (a
    // member named "=HYPERLINK(...)" would become a link, "+cmd|..." a command):
    // a leading apostrophe makes it text, as spreadsheets themselves do.
    constexpr std::string_view kFormulaStarts = "=+-@\t\r";
    std::string neutral;
    if (!text.empty() && kFormulaStarts.find(text.front()) != std::string_view::npos) {
        neutral = "'";
        neutral += text;
        text = neutral;
    }
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    quoted += '"';
    return quoted;
}

std::string CsvHeader()
{
    return Record(kHeader);
}

std::string CsvRecord(const UpdateRow& row)
{
    return Record(CsvFields(row));
}

}  // namespace veskari::output
