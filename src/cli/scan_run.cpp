#include "scan_run.h"

#include <cstdio>

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
    UnitOutputs(const Options& options, Language language)
    {
        if (options.json) {
            fanOut_.Add(&json.emplace(JsonStyle{}, JsonDocument::kFileDepth, options.verbose, options.allFormats,
                                      language));
        }
        if (options.verbose) {
            fanOut_.Add(&verbose.emplace());
        }
        if (!options.extractDir.empty()) {
            fanOut_.Add(&extractor.emplace(options.extractMembers));
        }
    }

    [[nodiscard]] bool WantsDetails() const override { return fanOut_.WantsDetails(); }
    void FileStarted(const FileInfo& file) override { fanOut_.FileStarted(file); }
    void FileFinished(const FileInfo& file) override { fanOut_.FileFinished(file); }
    void MemberStarted(const MemberInfo& member) override { fanOut_.MemberStarted(member); }
    void MemberDecoded(const MemberInfo& member, const FileHandle& decoded, std::uint64_t size) override
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

private:
    ObserverFanOut fanOut_;
};

}  // namespace

ScanRun::ScanRun(const Options& options, Language language, ExtractionFolder* extraction)
    : options_(options), language_(language), extraction_(extraction)
{
}

void ScanRun::Tell(const std::string& text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "veskari-scan: %s\n", text.c_str());
}

void ScanRun::Begin()
{
    if (options_.json) {
        json_.emplace([](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); },
                      options_.paths, language_);
        json_->Begin();
    }
}

std::unique_ptr<UnitObserver> ScanRun::UnitStarted(const RunUnit& /*unit*/)
{
    if (!options_.json && !options_.verbose && options_.extractDir.empty()) {
        return nullptr;
    }
    return std::make_unique<UnitOutputs>(options_, language_);
}

void ScanRun::ReportAppended(const std::string& text)
{
    if (options_.json) {
        return;
    }
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
    if (extraction_ != nullptr && outputs != nullptr && outputs->extractor) {
        extraction_->Write(*outputs->extractor);
    }
    for (const Problem& problem : result.problems) {
        Tell(problem.Text(language_));
    }
}

int ScanRun::End(const RunSummary& summary)
{
    if (json_) {
        json_->End(summary.failure);
    }
    if (summary.failure) {
        Tell(summary.failure->Text(language_));
        return kExitFailure;
    }
    return summary.problems > 0 ? kExitIncomplete : kExitOk;
}

}  // namespace veskari::cli
