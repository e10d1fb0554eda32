#include "scan_run.h"

#include <cstdio>

#include "output/csv_output.h"
#include "output/standing_output.h"
#include "platform/visible_text.h"
#include "verbose_output.h"

namespace veskari::cli {
namespace {

using output::JsonDocument;
using output::JsonRecorder;
using output::JsonStyle;

// The observers of one unit: the outputs that the options ask for.
class UnitOutputs final : public UnitObserver {
public:
    UnitOutputs(const Options& options, Language language, const ReleaseReference& reference)
        : standing_(options.standing)
    {
        if (options.json || options.jsonLines) {
            // One line per file in JSON Lines: compact, at the top level.
            const JsonStyle style{!options.jsonLines};
            fanOut_.Add(&json.emplace(style, options.jsonLines ? 0 : JsonDocument::kFileDepth, options.verbose,
                                      options.allFormats, language, &reference));
        }
        if (options.verbose) {
            fanOut_.Add(&verbose.emplace(reference, language));
        }
        if (!options.extractDir.empty()) {
            fanOut_.Add(&extractor.emplace(options.extractMembers));
        }
        if (options.csv) {
            fanOut_.Add(&rows.emplace(&reference));
        }
    }

    [[nodiscard]] bool WantsUpdateBytes() const override { return fanOut_.WantsUpdateBytes(); }
    [[nodiscard]] bool WantsRejections() const override { return fanOut_.WantsRejections(); }
    void FileStarted(const FileInfo& file) override { fanOut_.FileStarted(file); }
    void FileFinished(const FileInfo& file) override { fanOut_.FileFinished(file); }
    void MemberStarted(const MemberInfo& member) override { fanOut_.MemberStarted(member); }
    void MemberDecoded(const MemberInfo& member, const ByteSource& decoded, std::uint64_t size) override
    {
        fanOut_.MemberDecoded(member, decoded, size);
    }
    void MemberFinished(const MemberInfo& member, MemberOutcome outcome) override
    {
        fanOut_.MemberFinished(member, outcome);
    }
    void UpdateAccepted(const FileInfo& file, const UpdateRecord& update) override
    {
        fanOut_.UpdateAccepted(file, update);
        if (standing_) {
            processors.Add(update.LineSignature(), update.LinePlatformFlags(), update.header.revision,
                           update.header.date);
        }
    }
    void UpdateBytes(const FileInfo& file, const UpdateRecord& update, CFile& bytes) override
    {
        fanOut_.UpdateBytes(file, update, bytes);
    }
    void CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                           bool malformed) override
    {
        fanOut_.CandidateRejected(kind, offset, message, malformed);
    }
    void ProblemFound(const Problem& problem) override { fanOut_.ProblemFound(problem); }

    std::optional<JsonRecorder> json;
    std::optional<VerboseRecorder> verbose;
    std::optional<Extractor> extractor;
    std::optional<output::UpdateRowRecorder> rows;
    ProcessorSummary processors;  // with --standing

private:
    bool standing_;
    ObserverFanOut fanOut_;
};

// The note on the updates that the classic report passes over. It is no
// problem (the report is what the classic rules list), so it leaves the
// exit status alone; it says how to list them.
std::string UnlistedLaterNote(std::uint64_t count, Language language)
{
    const std::string number = std::to_string(count);
    if (language == Language::Japanese) {
        return "新しい形式のアップデート " + number + " 件は一覧にありません (--all-formats で一覧にします)";
    }
    return number + (count == 1 ? " update" : " updates") +
           " of the later layout not listed (--all-formats lists them)";
}

}  // namespace

ScanRun::ScanRun(const Options& options, Language language, ExtractionFolder* extraction,
                 const ReleaseReference& reference)
    : options_(options), language_(language), extraction_(extraction), reference_(reference)
{
}

void ScanRun::Tell(const std::string& text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "veskari-scan: %s\n", text.c_str());
}

void ScanRun::Begin()
{
    if (options_.verbose) {
        Tell("standings against " + VisibleText(output::ReferenceWords(reference_)));
    }
    if (options_.csv) {
        const std::string header = output::CsvHeader();
        std::fwrite(header.data(), 1, header.size(), stdout);
    }
    if (options_.jsonLines && !options_.references.empty()) {
        // A reference of the user's own is named in a line before the files';
        // without one the lines stay those of the files.
        output::JsonObject line(JsonStyle{false}, 0);
        line.Raw("reference", output::ReferenceJson(reference_, JsonStyle{false}, 1));
        const std::string text = line.Close() + "\n";
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    if (options_.json) {
        json_.emplace([](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); },
                      options_.paths, language_, &reference_);
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
        std::fwrite(text.data(), 1, text.size(), stdout);
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
    std::fwrite(lf.data(), 1, lf.size(), stdout);
}

void ScanRun::UnitFinished(UnitResult& result)
{
    auto* outputs = static_cast<UnitOutputs*>(result.observer);
    const bool report = !options_.json && !options_.jsonLines && !options_.csv;
    if (report && options_.standing && outputs != nullptr && !outputs->processors.Empty()) {
        WriteReport(output::StandingBlock(outputs->processors.Rows(reference_), reference_));
    }
    if (outputs != nullptr && outputs->verbose && !outputs->verbose->Text().empty()) {
        std::fflush(stdout);
        std::fputs(outputs->verbose->Text().c_str(), stderr);
    }
    if (options_.verbose && result.unit->kind == RunUnit::Kind::repeatedFolder) {
        Tell(VisibleText(result.unit->path) + ": folder already walked in this run, not walked again");
    }
    if (json_) {
        json_->Add(result, outputs != nullptr && outputs->json ? outputs->json->Text() : std::string());
    }
    if (options_.jsonLines) {
        WriteJsonLine(result, outputs != nullptr && outputs->json ? outputs->json->Text() : std::string());
    }
    if (outputs != nullptr && outputs->rows) {
        for (const output::UpdateRow& row : outputs->rows->Rows()) {
            const std::string record = output::CsvRecord(row);
            std::fwrite(record.data(), 1, record.size(), stdout);
        }
    }
    if (extraction_ != nullptr && outputs != nullptr && outputs->extractor) {
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
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }
}

int ScanRun::End(const RunSummary& summary)
{
    if (json_) {
        json_->End(summary.failure);
    }
    if (options_.jsonLines && summary.failure) {
        output::JsonObject error(JsonStyle{false}, 1);
        error.String("cause", summary.failure->CauseName());
        if (summary.failure->fileError) {
            error.Bytes("file", "fileHex", summary.failure->fileError->FileName());
        }
        error.String("message", summary.failure->Text(language_));
        output::JsonObject line(JsonStyle{false}, 0);
        line.Raw("error", error.Close());
        const std::string text = line.Close() + "\n";
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    if (!options_.allFormats && summary.unlistedLaterUpdates != 0) {
        Tell(UnlistedLaterNote(summary.unlistedLaterUpdates, language_));
    }
    if (summary.failure) {
        Tell(summary.failure->Text(language_));
        return kExitFailure;
    }
    return summary.problems > 0 ? kExitIncomplete : kExitOk;
}

}  // namespace veskari::cli
