#pragma once

// What veskari-scan does with a run: the report on standard output (or the
// JSON document), and on standard error the verbose lines, every problem
// and the error that ended the run.

#include <memory>
#include <optional>
#include <string>

#include "analysis/run_engine.h"
#include "extraction.h"
#include "output/json_output.h"
#include "options.h"

namespace veskari::cli {

class ScanRun final : public RunClient {
public:
    /// `extraction` may be nullptr (no --extract); standings are judged
    /// against `reference`.
    ScanRun(const Options& options, Language language, ExtractionFolder* extraction,
            const ReleaseReference& reference);

    void Begin();
    [[nodiscard]] std::unique_ptr<UnitObserver> UnitStarted(const RunUnit& unit) override;
    void ReportAppended(const std::string& text) override;
    void UnitFinished(UnitResult& result) override;
    /// Ends the output; the exit status that the run's outcome calls for.
    [[nodiscard]] int End(const RunSummary& summary);

private:
    void Tell(const std::string& text);
    void WriteJsonLine(const UnitResult& result, const std::string& fileObject);
    /// Report text, its CR LF line ends made LF unless --crlf.
    void WriteReport(const std::string& text);

    const Options& options_;
    Language language_;
    ExtractionFolder* extraction_;
    const ReleaseReference& reference_;
    std::optional<output::JsonDocument> json_;
    bool pendingCr_ = false;  // a CR at the end of the last text, LF mode
};

}  // namespace veskari::cli
