#include "output/json_output.h"

#include <algorithm>
#include <cstdio>

#include "output/rejection_texts.h"
#include "output/standing_output.h"
#include "platform/cp932.h"
#include "platform/visible_text.h"
#include "veskari/version.h"

namespace veskari::output {
namespace {

std::string MethodText(std::int32_t method)
{
    return method == kMethodDirectory ? "-lhd-" : "-lh" + std::to_string(method) + "-";
}

// A number as the hex text users search for (0x650, 0x40).
std::string HexText(std::uint32_t value, int width)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", width, value);
    return text;
}

std::string ChainJson(const std::vector<std::string>& chain, JsonStyle style, int depth, bool hex)
{
    JsonArray array(style, depth);
    for (const std::string& name : chain) {
        array.Add(hex ? JsonString(HexOf(name)) : JsonString(name));
    }
    return array.Close();
}

}  // namespace

std::string ProblemJson(const Problem& problem, JsonStyle style, int depth, Language language)
{
    JsonObject object(style, depth);
    object.String("kind", problem.KindName()).Bytes("where", "whereHex", problem.where);
    if (problem.systemError != 0) {
        object.String("cause", CauseName(problem.Cause()));
    }
    if (problem.amount != 0) {
        object.Number("amount", problem.amount);
    }
    object.String("message", problem.Text(language));
    return object.Close();
}

void JsonRecorder::FileStarted(const FileInfo& file)
{
    const int depth = FileDepth(file.depth);
    if (file.depth == 0) {
        processors_ = ProcessorSummary();
        topPath_ = file.path;
    }
    files_.erase(files_.begin() + std::min<std::ptrdiff_t>(file.depth, std::ssize(files_)), files_.end());
    files_.push_back(FileNode{JsonArray(style_, depth + 1), JsonArray(style_, depth + 1),
                              JsonArray(style_, depth + 1), JsonArray(style_, depth + 1)});
    if (file.depth > 0) {
        // The object of a member's analysis: its name and the frame of its arrays.
        constexpr std::size_t kFileFrame = 1024;
        const std::size_t hex = IsValidUtf8(file.displayName) ? 0 : 2 * file.displayName.size();
        (void)Fits(JsonString(file.displayName).size() + hex + kFileFrame);
    }
}

void JsonRecorder::FileFinished(const FileInfo& file)
{
    const auto index = static_cast<std::size_t>(file.depth);
    FileNode& node = files_[index];
    const bool cut = file.depth == 0 && budget_ != nullptr && budget_->Reached();
    if (cut) {
        node.problems.Add(ProblemJson(budget_->LimitProblem(topPath_), style_, FileDepth(0) + 2, language_));
    }
    JsonObject object(style_, FileDepth(file.depth));
    if (file.depth == 0) {
        object.Bytes("path", "pathHex", file.path);
    }
    object.Bytes("displayName", "displayNameHex", file.displayName)
        .Bool("opened", file.opened)
        .Raw("members", node.members.Close())
        .Raw("updates", node.updates.Close());
    if (withRejections_) {
        object.Raw("rejected", node.rejected.Close());
    }
    if (!node.problems.Empty()) {
        object.Raw("problems", node.problems.Close());
    }
    if (file.unlistedLaterUpdates != 0) {
        object.Number("unlistedLaterUpdates", file.unlistedLaterUpdates);
    }
    if (file.incomplete) {
        object.Bool("incomplete", true);
    }
    if (cut) {
        object.Bool("cut", true);
    }
    if (file.depth == 0 && reference_ != nullptr) {
        object.Raw("processors",
                   ProcessorsJson(processors_.Rows(*reference_), *reference_, style_, FileDepth(0) + 1));
    }
    std::string text = object.Close();
    files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(index), files_.end());
    if (index == 0) {
        text_ = std::move(text);
    } else {
        analyses_[index - 1] = std::move(text);
    }
}

void JsonRecorder::MemberStarted(const MemberInfo& member)
{
    const auto holder = static_cast<std::size_t>(member.depth - 1);
    analyses_.resize(holder + 1);
    analyses_.back().clear();
    heads_.resize(holder + 1);
    heads_.back().reset();
    JsonObject object(style_, FileDepth(member.depth - 1) + 2);
    object.String("container", member.container == ContainerFormat::segment ? "segment" : "lzh")
        .String("name", Cp932ToUtf8(member.rawName))
        .String("nameHex", HexOf(member.rawName))
        .Bytes("displayName", "displayNameHex", member.displayName);
    // The member draws for its own fields when it starts, so that a member
    // kept is never dropped after the members inside it drew for theirs.
    // Its names are known now; its header's fields (found while it is
    // decoded) and its outcome are numbers, allowed for at the deepest
    // indentation.
    constexpr std::size_t kMemberEnd = 2048;
    if (Fits(object.Size() + kMemberEnd)) {
        heads_.back().emplace(std::move(object));
    }
}

void JsonRecorder::MemberFinished(const MemberInfo& member, MemberOutcome outcome)
{
    const auto holder = static_cast<std::size_t>(member.depth - 1);
    // A member whose start could not be recorded (memory ran out) or that
    // did not fit in the budget is left out.
    if (holder < heads_.size() && heads_[holder]) {
        JsonObject& object = *heads_[holder];
        if (member.container == ContainerFormat::segment) {
            const SegmentHeaderFields& segment = member.segment;
            object.Number("segmentType", segment.type)
                .Number("loadSegment", segment.loadSegment)
                .Number("headerOffset", member.headerOffset)
                .Number("compressedSize", segment.compressedSize)
                .Number("decodedSize", segment.decodedSize);
        } else if (member.found) {
            const LzhHeaderFields& header = member.header;
            object.String("method", MethodText(header.method))
                .Signed("methodNumber", header.method)
                .Signed("headerLevel", header.level)
                .Number("headerOffset", member.headerOffset)
                .Signed("headerSize", header.headerSize)
                .Signed("compressedSize", header.compressedSize)
                .Number("decodedSize", header.decodedSize)
                .Number("crc16", header.crc16);
        }
        object.String("outcome", OutcomeName(outcome));
        if (holder < analyses_.size() && !analyses_[holder].empty()) {
            object.Raw("analysis", analyses_[holder]);
        }
        files_[holder].members.Add(object.Close());
    }
    analyses_.resize(holder);
    heads_.resize(std::min(heads_.size(), holder));
}

void JsonRecorder::UpdateAccepted(const FileInfo& file, const UpdateRecord& update)
{
    if (Exhausted()) {
        return;
    }
    const int depth = FileDepth(file.depth) + 2;
    const MicrocodeHeaderFields& header = update.header;
    // An extended line shows the entry's processor; everything else is the update's.
    const std::uint32_t signature = update.LineSignature();
    const std::uint32_t platformFlags = update.LinePlatformFlags();
    JsonObject object(style_, depth);
    object.Number("offset", update.offset).Raw("chain", ChainJson(file.chain, style_, depth + 1, false));
    bool hex = false;
    for (const std::string& name : file.chain) {
        hex = hex || !IsValidUtf8(name);
    }
    if (hex) {
        object.Raw("chainHex", ChainJson(file.chain, style_, depth + 1, true));
    }
    object.String("line", update.line)
        .Number("headerVersion", header.headerVersion)
        .Number("revision", header.revision)
        .Number("date", header.date)
        .String("dateText", header.dateText)
        .Number("signature", signature)
        .Number("platformFlags", platformFlags)
        .Number("checksum", header.checksum)
        .Bool("checksumValid", update.checksumValid)
        .Number("loaderRevision", header.loaderRevision)
        .String("package", update.LinePackage())
        .String("processor", update.LineProcessor())
        .String("signatureText", HexText(signature, 0))
        .String("revisionText", HexText(header.revision, 2));
    if (reference_ != nullptr) {
        object.Raw("standing", StandingJson(reference_->StandingOf(signature, platformFlags, header.revision),
                                            *reference_, style_, depth + 1));
        processors_.Add(signature, platformFlags, header.revision, header.date);
    }
    if (allFormats_) {
        object.String("format", header.format == MicrocodeFormat::classic ? "classic" : "later")
            .Number("dataSize", header.dataSize)
            .Number("totalSize", header.totalSize);
        // The table goes with the line of the header's own signature; the
        // lines of its entries point into it by extendedIndex.
        if (update.extendedIndex >= 0) {
            object.Number("extendedIndex", static_cast<std::uint64_t>(update.extendedIndex))
                .Raw("extendedSignatures", "null");
        } else {
            JsonArray table(style_, depth + 1);
            for (const ExtendedSignature& extended : update.ExtendedSignatures()) {
                JsonObject row(style_, depth + 2);
                row.Number("signature", extended.signature)
                    .Number("platformFlags", extended.platformFlags)
                    .Number("checksum", extended.checksum)
                    .String("package", extended.packageText)
                    .String("processor", extended.processorName);
                table.Add(row.Close());
            }
            object.Raw("extendedIndex", "null").Raw("extendedSignatures", table.Close());
        }
    }
    std::string text = object.Close();
    if (Fits(text.size())) {
        files_[static_cast<std::size_t>(file.depth)].updates.Add(text);
    }
}

void JsonRecorder::CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                                     bool malformed)
{
    if (!withRejections_ || files_.empty() || Exhausted()) {
        return;
    }
    const int depth = FileDepth(static_cast<int>(files_.size()) - 1) + 2;
    JsonObject object(style_, depth);
    object.String("kind", kind == RecordKind::microcode ? "microcode" : kind == RecordKind::lzh ? "lzh" : "segment")
        .Number("offset", offset)
        .String("code", RejectionCode(message))
        .String("message", message)
        .String("text", RejectionText(message, language_))
        .Bool("malformed", malformed);
    std::string text = object.Close();
    if (Fits(text.size())) {
        files_.back().rejected.Add(text);
    }
}

void JsonRecorder::ProblemFound(const Problem& problem)
{
    if (files_.empty()) {
        return;  // outside any file: the document places it beside its path
    }
    const int depth = FileDepth(static_cast<int>(files_.size()) - 1) + 2;
    std::string text = ProblemJson(problem, style_, depth, language_);
    if (Fits(text.size())) {
        files_.back().problems.Add(text);
    }
}

JsonDocument::JsonDocument(Writer write, const std::vector<std::string>& paths, Language language,
                           const ReleaseReference* reference)
    : write_(std::move(write)), paths_(paths), language_(language), reference_(reference)
{
}

void JsonDocument::Write(const std::string& text)
{
    write_(text);
}

void JsonDocument::Begin()
{
    const JsonStyle style;
    std::string text = "{";
    text += style.Break(1) + "\"tool\": \"veskari-scan\",";
    text += style.Break(1) + "\"version\": " + JsonString(kVersionText) + ",";
    text += style.Break(1) + "\"schema\": 1,";
    if (reference_ != nullptr) {
        text += style.Break(1) + "\"reference\": " + ReferenceJson(*reference_, style, 1) + ",";
    }
    text += style.Break(1) + "\"paths\": [";
    Write(text);
}

void JsonDocument::OpenPath(std::size_t argument)
{
    const JsonStyle style;
    while (nextPath_ <= argument) {
        ClosePath();
        // The entry stays open for its files, which follow as they come.
        const std::string& path = paths_[nextPath_];
        std::string text = nextPath_ == 0 ? "" : ",";
        text += style.Break(2) + "{" + style.Break(3) + "\"path\": " + JsonString(path);
        if (!IsValidUtf8(path)) {
            text += ',';
            text += style.Break(3) + "\"pathHex\": " + JsonString(HexOf(path));
        }
        text += ',';
        text += style.Break(3) + "\"files\": [";
        Write(text);
        pathOpen_ = true;
        anyFile_ = false;
        ++nextPath_;
    }
}

void JsonDocument::ClosePath()
{
    if (!pathOpen_) {
        return;
    }
    const JsonStyle style;
    std::string text = anyFile_ ? style.Break(3) + "]" : "]";
    if (!pathProblems_.Empty()) {
        text += ',';
        text += style.Break(3) + "\"problems\": " + pathProblems_.Close();
        pathProblems_ = JsonArray(style, 3);
    }
    text += style.Break(2) + "}";
    Write(text);
    pathOpen_ = false;
}

void JsonDocument::Add(const UnitResult& result, const std::string& fileObject)
{
    OpenPath(result.unit->argument);
    if (fileObject.empty()) {
        for (const Problem& problem : result.problems) {
            pathProblems_.Add(ProblemJson(problem, JsonStyle{}, 4, language_));
        }
        return;
    }
    std::string text = anyFile_ ? "," : "";
    text += JsonStyle{}.Break(kFileDepth);
    text += fileObject;
    Write(text);
    anyFile_ = true;
}

void JsonDocument::End(const std::optional<RunFailure>& failure, bool stopped)
{
    const JsonStyle style;
    if (!paths_.empty()) {
        OpenPath(paths_.size() - 1);
    }
    ClosePath();
    std::string error = "null";
    if (failure) {
        JsonObject object(style, 1);
        object.String("cause", failure->CauseName());
        if (failure->fileError) {
            object.Bytes("file", "fileHex", failure->fileError->FileName());
        }
        object.String("message", failure->Text(language_));
        error = object.Close();
    }
    // Present only when true, so that a complete run's document is as before.
    const std::string stoppedKey = stopped ? style.Break(1) + "\"stopped\": true," : std::string();
    Write(style.Break(1) + "]," + stoppedKey + style.Break(1) + "\"error\": " + error + style.Break(0) + "}\n");
}

}  // namespace veskari::output
