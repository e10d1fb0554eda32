#pragma once

// The CSV output of both front ends: one row per accepted update, with
// where it was found, built from the analysis events.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_events.h"

namespace veskari::output {

/// One accepted update and where it was found: a row of the CSV output and
/// of the window's table of updates.
struct UpdateRow {
    std::string path;  ///< the top-level file, as given or walked (raw bytes)
    /// The short names of the members that lead to the file holding the
    /// update, outermost first; empty when the top-level file holds it.
    std::vector<std::string> members;
    /// The update as the analysis told it, without its bytes.
    UpdateRecord update;
};

/// Collects the rows of one top-level file from its events, in report order.
class UpdateRowRecorder final : public AnalysisObserver {
public:
    /// The checksum verdict is one of the columns.
    [[nodiscard]] bool WantsUpdateBytes() const override { return true; }
    void FileStarted(const FileInfo& file) override;
    void UpdateAccepted(const FileInfo& file, const UpdateRecord& update) override;

    [[nodiscard]] std::vector<UpdateRow>& Rows() noexcept { return rows_; }

private:
    std::string path_;
    std::vector<UpdateRow> rows_;
};

/// The columns, in order; the header row names them so.
enum class CsvColumn {
    path,
    memberChain,
    offset,
    cpuid,
    platformFlags,
    revision,
    date,
    package,
    processor,
    checksumValid,
};
inline constexpr std::size_t kCsvColumnCount = 10;

/// The text of every column of a row, before quoting: names as their bytes,
/// the member chain joined by '/', numbers in hex as the report writes
/// them ("0x650"), the date as stored, the checksum verdict as "yes" or "no".
[[nodiscard]] std::array<std::string, kCsvColumnCount> CsvFields(const UpdateRow& row);

/// One field as RFC 4180 writes it: quoted when it holds a comma, a quote,
/// a CR or an LF, with each quote doubled.
[[nodiscard]] std::string CsvField(std::string_view text);

/// The header row, ending in CR LF.
[[nodiscard]] std::string CsvHeader();

/// The record of one row, ending in CR LF.
[[nodiscard]] std::string CsvRecord(const UpdateRow& row);

}  // namespace veskari::output
