#pragma once

// What veskari-scan does with a run: the report on standard output (or the
// JSON document), and on standard error the verbose lines, every problem
// and the error that ended the run.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/run_engine.h"
#include "output/extraction.h"
#include "output/json_output.h"
#include "options.h"

namespace veskari::cli {

class ScanRun final : public RunClient {
public:
    /// `extraction` may be nullptr (no --extract); standings are judged
    /// against `reference`.
    ScanRun(const Options& options, Language language, output::ExtractionFolder* extraction,
            const ReleaseReference& reference);

    /// What stops the run: called at the first write to standard output
    /// that fails, after which nothing more is written.
    void SetStopRun(std::function<void()> stopRun) { stopRun_ = std::move(stopRun); }

    void Begin();
    [[nodiscard]] std::unique_ptr<UnitObserver> UnitStarted(const RunUnit& unit) override;
    void ReportAppended(const std::string& text) override;
    void UnitFinished(UnitResult& result) override;
    /// Ends the output; the exit status that the run's outcome calls for.
    [[nodiscard]] int End(const RunSummary& summary);

private:
    void Tell(const std::string& text);
    /// Writes to standard output; the first write that fails stops the run.
    void Out(std::string_view text);
    void FlushOut();
    void OutputFailed(int errnoValue);
    void WriteJsonLine(const UnitResult& result, const std::string& fileObject);
    /// Report text, its CR LF line ends made LF unless --crlf.
    void WriteReport(const std::string& text);

    const Options& options_;
    Language language_;
    output::ExtractionFolder* extraction_;
    const ReleaseReference& reference_;
    std::optional<output::JsonDocument> json_;
    bool pendingCr_ = false;  // a CR at the end of the last text, LF mode
    std::function<void()> stopRun_;
    bool outputFailed_ = false;
    int outputError_ = 0;
};

}  // namespace veskari::cli
