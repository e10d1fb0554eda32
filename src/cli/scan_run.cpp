#include "scan_run.h"

#include <cerrno>
#include <cstdio>

#include "messages.h"
#include "output/csv_output.h"
#include "output/standing_output.h"
#include "platform/cp932.h"
#include "platform/visible_text.h"
#include "verbose_output.h"

namespace veskari::cli {
namespace {

using output::JsonDocument;
using output::JsonRecorder;
using output::JsonStyle;

// The highest revision per processor of a unit, for --standing.
class StandingRecorder final : public AnalysisObserver {
public:
    void UpdateAccepted(const FileInfo& /*file*/, const UpdateRecord& update) override
    {
        processors.Add(update.LineSignature(), update.LinePlatformFlags(), update.header.revision, update.header.date);
    }

    ProcessorSummary processors;
};

// The outputs of one unit that the options ask for, kept until the unit is
// delivered; the unit's fan-out hands each of them the events.
class UnitOutputs final : public UnitObserver {
public:
    UnitOutputs(const Options& options, Language language, const ReleaseReference& reference)
    {
        if (options.json || options.jsonLines) {
            // One line per file in JSON Lines: compact, at the top level.
            const JsonStyle style{!options.jsonLines};
            json.emplace(style, options.jsonLines ? 0 : JsonDocument::kFileDepth, options.verbose,
                         options.allFormats, language, &reference, &budget);
        }
        if (options.verbose) {
            verbose.emplace(reference, language, &budget);
        }
        if (!options.extractDir.empty()) {
            extractor.emplace(options.extractMembers);
        }
        if (options.csv) {
            rows.emplace(&reference, &budget);
        }
        if (options.standing) {
            standing.emplace();
        }
    }

    void AddObservers(ObserverFanOut& fanOut) override
    {
        const auto add = [&fanOut](auto& output) {
            if (output) {
                fanOut.Add(&*output);
            }
        };
        add(json);
        add(verbose);
        add(extractor);
        add(rows);
        add(standing);
    }

    std::optional<JsonRecorder> json;
    std::optional<VerboseRecorder> verbose;
    std::optional<output::Extractor> extractor;
    std::optional<output::UpdateRowRecorder> rows;
    std::optional<StandingRecorder> standing;
    // What the file may add to the JSON object, the CSV rows and the verbose
    // lines, together: all are held whole until the file finishes.
    output::OutputBudget budget;
};

}  // namespace

ScanRun::ScanRun(const Options& options, Language language, output::ExtractionFolder* extraction,
                 const ReleaseReference& reference)
    : options_(options), language_(language), extraction_(extraction), reference_(reference)
{
}

void ScanRun::Tell(const std::string& text)
{
    FlushOut();
    if (outputFailed_) {
        return;  // the write error is the one line that the run ends with
    }
    std::fprintf(stderr, "veskari-scan: %s\n", text.c_str());
}

void ScanRun::Out(std::string_view text)
{
    if (outputFailed_ || text.empty()) {
        return;
    }
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::ferror(stdout) != 0) {
        OutputFailed(errno);
    }
}

void ScanRun::FlushOut()
{
    if (outputFailed_) {
        return;
    }
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        OutputFailed(errno);
    }
}

void ScanRun::OutputFailed(int errnoValue)
{
    // A full disk or a closed pipe: nothing later could reach the reader,
    // so the run stops here instead of analysing for nobody.
    outputFailed_ = true;
    outputError_ = errnoValue;
    if (stopRun_) {
        stopRun_();
    }
}

void ScanRun::Begin()
{
    if (options_.verbose) {
        Tell(StandingsAgainstText(reference_, language_));
    }
    if (options_.csv) {
        Out(output::CsvHeader());
    }
    if (options_.jsonLines && !options_.references.empty()) {
        // A reference of the user's own is named in a line before the files';
        // without one the lines stay those of the files.
        output::JsonObject line(JsonStyle{false}, 0);
        line.Raw("reference", output::ReferenceJson(reference_, JsonStyle{false}, 1));
        Out(line.Close() + "\n");
    }
    if (options_.json) {
        json_.emplace([this](std::string_view text) { Out(text); }, options_.paths, language_, &reference_);
        json_->Begin();
    }
}

std::unique_ptr<UnitObserver> ScanRun::UnitStarted(const RunUnit& /*unit*/)
{
    if (!options_.json && !options_.jsonLines && !options_.csv && !options_.verbose && !options_.standing &&
        options_.extractDir.empty()) {
        return nullptr;
    }
    return std::make_unique<UnitOutputs>(options_, language_, reference_);
}

void ScanRun::ReportAppended(const std::string& text)
{
    if (options_.json || options_.jsonLines || options_.csv) {
        return;
    }
    WriteReport(text);
}

void ScanRun::WriteReport(const std::string& text)
{
    if (options_.crlf) {
        Out(text);
        return;
    }
    // The report's CR LF line ends become LF.
    std::string lf;
    lf.reserve(text.size());
    for (const char c : text) {
        if (pendingCr_ && c != '\n') {
            lf += '\r';
        }
        pendingCr_ = c == '\r';
        if (!pendingCr_) {
            lf += c;
        }
    }
    Out(lf);
}

void ScanRun::UnitFinished(UnitResult& result)
{
    auto* outputs = static_cast<UnitOutputs*>(result.observer);
    if (outputs != nullptr && outputs->budget.Reached()) {
        // Told with the file's other problems; the JSON object carries it already.
        result.problems.push_back(outputs->budget.LimitProblem(result.unit->path));
    }
    const bool report = !options_.json && !options_.jsonLines && !options_.csv;
    if (report && outputs != nullptr && outputs->standing && !outputs->standing->processors.Empty()) {
        WriteReport(output::StandingBlock(outputs->standing->processors.Rows(reference_), reference_));
    }
    if (outputs != nullptr && outputs->verbose && !outputs->verbose->Text().empty()) {
        FlushOut();
        if (!outputFailed_) {
            std::fputs(outputs->verbose->Text().c_str(), stderr);
        }
    }
    if (options_.verbose && result.unit->kind == RunUnit::Kind::repeatedFolder) {
        Tell(MessageText(Message::folderWalkedAgain, language_, VisibleText(result.unit->path)));
    }
    if (options_.verbose && result.unit->kind == RunUnit::Kind::outputFolder) {
        Tell(MessageText(Message::extractionFolderNotRead, language_, VisibleText(result.unit->path)));
    }
    if (json_) {
        json_->Add(result, outputs != nullptr && outputs->json ? outputs->json->Text() : std::string());
    }
    if (options_.jsonLines) {
        WriteJsonLine(result, outputs != nullptr && outputs->json ? outputs->json->Text() : std::string());
    }
    if (outputs != nullptr && outputs->rows) {
        for (const output::UpdateRow& row : outputs->rows->Rows()) {
            Out(output::CsvRecord(row));
        }
    }
    if (extraction_ != nullptr && outputs != nullptr && outputs->extractor && !outputFailed_) {
        extraction_->Write(*outputs->extractor);
    }
    for (const Problem& problem : result.problems) {
        Tell(problem.Text(language_));
    }
}

void ScanRun::WriteJsonLine(const UnitResult& result, const std::string& fileObject)
{
    // A file's object; a folder that could not be read gets a line of its
    // own with its problems. Each line goes out at once, for pipelines.
    std::string line = fileObject;
    if (line.empty() && !result.problems.empty()) {
        output::JsonArray problems(JsonStyle{false}, 1);
        for (const Problem& problem : result.problems) {
            problems.Add(output::ProblemJson(problem, JsonStyle{false}, 2, language_));
        }
        output::JsonObject folder(JsonStyle{false}, 0);
        folder.Bytes("folder", "folderHex", result.unit->path).Raw("problems", problems.Close());
        line = folder.Close();
    }
    if (!line.empty()) {
        line += '\n';
        Out(line);
        FlushOut();
    }
}

int ScanRun::End(const RunSummary& summary)
{
    if (Cp932ConversionMissing() && !outputFailed_) {
        Tell(MessageText(Message::noNameConversion, language_));
    }
    if (json_ && !outputFailed_) {
        json_->End(summary.failure);
    }
    if (options_.jsonLines && summary.failure && !outputFailed_) {
        output::JsonObject error(JsonStyle{false}, 1);
        error.String("cause", summary.failure->CauseName());
        if (summary.failure->fileError) {
            error.Bytes("file", "fileHex", summary.failure->fileError->FileName());
        }
        error.String("message", summary.failure->Text(language_));
        output::JsonObject line(JsonStyle{false}, 0);
        line.Raw("error", error.Close());
        Out(line.Close() + "\n");
    }
    FlushOut();
    if (outputFailed_) {
        std::fprintf(stderr, "veskari-scan: %s\n", WriteErrorText(outputError_, language_).c_str());
        return kExitFailure;
    }
    if (!options_.allFormats && summary.unlistedLaterUpdates != 0) {
        // No problem (the report is what the classic rules list): the exit status stays.
        Tell(UnlistedLaterText(summary.unlistedLaterUpdates, language_));
    }
    if (summary.failure) {
        Tell(summary.failure->Text(language_));
        return kExitFailure;
    }
    return summary.problems > 0 ? kExitIncomplete : kExitOk;
}

}  // namespace veskari::cli
