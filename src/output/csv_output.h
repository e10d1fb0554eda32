#pragma once

// The CSV output of both front ends: one row per accepted update, with
// where it was found, built from the analysis events.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_events.h"
#include "microcode/release_reference.h"
#include "output/output_budget.h"

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
    /// What the standing columns say: the reference they were judged
    /// against (nullptr: they are empty), the update's standing, and the
    /// highest revision that the top-level file holds for the same
    /// processor and platform, with its standing.
    const ReleaseReference* reference = nullptr;
    UpdateStanding standing;
    std::uint32_t highestInFile = 0;
    UpdateStanding highestStanding;
};

/// Collects the rows of one top-level file from its events, in report order,
/// each with its standing against `reference` (nullptr: none). With a
/// budget, each row draws for its CSV record when it is found, and rows that
/// no longer fit in it are left out: members that repeat themselves can
/// otherwise multiply the rows of a small file without end.
class UpdateRowRecorder final : public AnalysisObserver {
public:
    explicit UpdateRowRecorder(const ReleaseReference* reference = &ReleaseReference::Public(),
                               OutputBudget* budget = nullptr) noexcept
        : reference_(reference), budget_(budget)
    {
    }

    /// The checksum verdict is one of the columns.
    [[nodiscard]] bool WantsUpdateBytes() const override { return true; }
    void FileStarted(const FileInfo& file) override;
    void UpdateAccepted(const FileInfo& file, const UpdateRecord& update) override;
    /// At the end of the top-level file: the highest revision of each row's
    /// processor in the whole file.
    void FileFinished(const FileInfo& file) override;

    [[nodiscard]] std::vector<UpdateRow>& Rows() noexcept { return rows_; }

private:
    const ReleaseReference* reference_;
    OutputBudget* budget_;
    std::size_t fileStart_ = 0;  // the first row of the current top-level file
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
    standing,
    newestRevision,
    newestDate,
    newestRelease,
    firstRelease,
    lastRelease,
    highestInFile,
    highestStanding,
};
inline constexpr std::size_t kCsvColumnCount = 18;

/// The text of every column of a row, before quoting: names as their bytes,
/// the member chain joined by '/', numbers in hex as the report writes
/// them ("0x650"), the date as stored, the checksum verdict as "yes" or "no",
/// the standings by their names ("older"), releases by their names; a
/// field that does not apply (a release of a revision never published) is
/// empty.
[[nodiscard]] std::array<std::string, kCsvColumnCount> CsvFields(const UpdateRow& row);

/// One field as RFC 4180 writes it: quoted when it holds a comma, a quote,
/// a CR or an LF, with each quote doubled. A field that begins with '=', '+',
/// '-', '@', a TAB or a CR gets a leading apostrophe first, so that no
/// spreadsheet takes a name for a formula.
[[nodiscard]] std::string CsvField(std::string_view text);

/// The header row, ending in CR LF.
[[nodiscard]] std::string CsvHeader();

/// The record of one row, ending in CR LF.
[[nodiscard]] std::string CsvRecord(const UpdateRow& row);

}  // namespace veskari::output
