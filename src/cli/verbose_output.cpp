#include "verbose_output.h"

#include <cstdio>

#include "messages.h"
#include "output/rejection_texts.h"
#include "output/standing_output.h"
#include "platform/cp932.h"
#include "platform/visible_text.h"

namespace veskari::cli {
namespace {

std::string Hex(std::uint64_t value, int width = 0)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*llX", width, static_cast<unsigned long long>(value));
    return text;
}

std::string MethodText(std::int32_t method)
{
    return method == kMethodDirectory ? "-lhd-" : "-lh" + std::to_string(method) + "-";
}

}  // namespace

void VerboseRecorder::Line(std::size_t depth, const std::string& text)
{
    const std::size_t label = depth < labels_.size() ? labels_[depth].size() + 2 : 0;
    if (budget_ != nullptr && !budget_->Take(label + text.size() + 1)) {
        return;
    }
    if (label != 0) {
        text_ += labels_[depth];
        text_ += ": ";
    }
    text_ += text;
    text_ += '\n';
}

void VerboseRecorder::FileStarted(const FileInfo& file)
{
    labels_.resize(static_cast<std::size_t>(file.depth) + 1);
    labels_.back() = VisibleText(file.depth == 0 ? file.path : file.displayName);
}

void VerboseRecorder::FileFinished(const FileInfo& file)
{
    if (file.unlistedLaterUpdates != 0) {
        Line(static_cast<std::size_t>(file.depth), UnlistedLaterText(file.unlistedLaterUpdates, language_));
    }
    labels_.resize(static_cast<std::size_t>(file.depth));
}

void VerboseRecorder::MemberFinished(const MemberInfo& member, MemberOutcome outcome)
{
    std::string text = "member " + VisibleText(Cp932ToUtf8(member.rawName));
    if (member.container == ContainerFormat::segment) {
        const SegmentHeaderFields& segment = member.segment;
        text += " (segment of type " + Hex(segment.type, 2) + ", loads to " + Hex(segment.loadSegment, 4) +
                ", header at " + Hex(member.headerOffset) + ", " + std::to_string(segment.compressedSize) + " -> " +
                std::to_string(segment.decodedSize) + " bytes)";
    } else if (member.found) {
        const LzhHeaderFields& header = member.header;
        text += " (" + MethodText(header.method) + ", level " + std::to_string(header.level) + ", header at " +
                Hex(member.headerOffset) + ", " + std::to_string(header.compressedSize) + " -> " +
                std::to_string(header.decodedSize) + " bytes, CRC-16 " + Hex(header.crc16, 4) + ")";
    }
    Line(static_cast<std::size_t>(member.depth - 1), text + ": " + OutcomeName(outcome));
}

void VerboseRecorder::UpdateAccepted(const FileInfo& file, const UpdateRecord& update)
{
    const auto depth = static_cast<std::size_t>(file.depth);
    Line(depth, UpdateText(update));
    // Then its standing, in a line of its own.
    const std::string what = update.extendedIndex >= 0
                                 ? "extended signature " + std::to_string(update.extendedIndex) + " of update at "
                                 : std::string("update at ");
    Line(depth, "standing of " + what + Hex(update.offset) + " (CPUID " + Hex(update.LineSignature()) +
                    ", platforms " + Hex(update.LinePlatformFlags(), 2) + ", Rev. " +
                    Hex(update.header.revision, 2) + "): " +
                    output::StandingWords(reference_.StandingOf(update.LineSignature(), update.LinePlatformFlags(),
                                                                update.header.revision),
                                          reference_));
}

std::string VerboseRecorder::UpdateText(const UpdateRecord& update)
{
    const MicrocodeHeaderFields& header = update.header;
    if (update.extendedIndex >= 0) {
        const ExtendedSignature& entry = update.ExtendedSignatures()[static_cast<std::size_t>(update.extendedIndex)];
        return "extended signature " + std::to_string(update.extendedIndex) + " of update at " + Hex(update.offset) +
               " (CPUID " + Hex(entry.signature) + ", mask " + Hex(entry.platformFlags, 2) + ")";
    }
    if (header.format == MicrocodeFormat::classic) {
        return "update at " + Hex(update.offset) + " (CPUID " + Hex(header.signature) + ", flags " +
               Hex(header.platformFlags, 2) + ", Rev. " + Hex(header.revision, 2) + "): checksum " +
               (update.checksumValid ? "valid" : "INVALID");
    }
    return "update at " + Hex(update.offset) + " (CPUID " + Hex(header.signature) + ", mask " +
           Hex(header.platformFlags, 2) + ", Rev. " + Hex(header.revision, 2) + ", later format, " +
           std::to_string(header.dataSize) + " of " + std::to_string(header.totalSize) + " bytes, " +
           std::to_string(update.ExtendedSignatures().size()) + " extended signatures): checksum " +
           (update.checksumValid ? "valid" : "INVALID");
}

void VerboseRecorder::CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                                        bool /*malformed*/)
{
    Line(labels_.empty() ? 0 : labels_.size() - 1,
         std::string(kind == RecordKind::microcode ? "microcode candidate"
                     : kind == RecordKind::lzh     ? "LZH header"
                                                   : "segment header") +
             " at " + Hex(offset) +
             " rejected: " + output::RejectionText(message, language_));
}

}  // namespace veskari::cli
