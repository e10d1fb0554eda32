#include "output/standing_output.h"

#include <cstdio>

#include "microcode/update_layout.h"

namespace veskari::output {
namespace {

std::string Hex(std::uint32_t value, int width)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", width, value);
    return text;
}

std::string RevisionText(std::uint32_t revision)
{
    return "Rev. " + Hex(revision, 2);
}

std::string DateText(std::uint32_t date)
{
    return date == 0 ? std::string() : update_layout::DateText(date);
}

}  // namespace

std::string ReleaseSpan(const ReleaseReference& reference, std::size_t first, std::size_t last)
{
    if (first == UpdateStanding::kNoRelease) {
        return {};
    }
    return first == last ? reference.ReleaseName(first)
                         : reference.ReleaseName(first) + " to " + reference.ReleaseName(last);
}

std::string StandingWords(const UpdateStanding& standing, const ReleaseReference& reference)
{
    const std::string newest = RevisionText(standing.newestRevision) + " of " + DateText(standing.newestDate) +
                               " (" + ReleaseSpan(reference, standing.newestFirstRelease,
                                                  standing.newestLastRelease) + ")";
    switch (standing.standing) {
    case Standing::newest:
        return "newest published (in " + ReleaseSpan(reference, standing.firstRelease, standing.lastRelease) + ")";
    case Standing::older:
        return "older: " + newest + " is the newest published; this revision " +
               (standing.published
                    ? "was published in " + ReleaseSpan(reference, standing.firstRelease, standing.lastRelease)
                    : std::string("was never published"));
    case Standing::newer:
        return "newer than any published: the newest published is " + newest;
    case Standing::notCovered:
        break;
    }
    return standing.flagsZeroUnmatched
               ? "not covered: platform flags 0 match only updates published without a platform, and this "
                 "processor's were published for other platforms"
               : "not covered: no published update for this processor and platform";
}

std::string ReferenceWords(const ReleaseReference& reference)
{
    return reference.Description() + ", newest update of " + DateText(reference.NewestDate());
}

std::string StandingJson(const UpdateStanding& standing, const ReleaseReference& reference, JsonStyle style,
                         int depth)
{
    JsonObject object(style, depth);
    object.String("state", StandingName(standing.standing));
    if (standing.standing != Standing::notCovered) {
        object.Number("newestRevision", standing.newestRevision)
            .String("newestRevisionText", Hex(standing.newestRevision, 2))
            .String("newestDateText", DateText(standing.newestDate))
            .String("newestFirstRelease", reference.ReleaseName(standing.newestFirstRelease))
            .String("newestLastRelease", reference.ReleaseName(standing.newestLastRelease));
    }
    object.Bool("published", standing.published);
    if (standing.published) {
        object.String("firstRelease", reference.ReleaseName(standing.firstRelease))
            .String("lastRelease", reference.ReleaseName(standing.lastRelease));
    }
    if (standing.flagsZeroUnmatched) {
        object.Bool("flagsZeroUnmatched", true);
    }
    object.String("words", StandingWords(standing, reference));
    return object.Close();
}

std::string ReferenceJson(const ReleaseReference& reference, JsonStyle style, int depth)
{
    JsonArray sources(style, depth + 1);
    for (const ReferenceSource& source : reference.Sources()) {
        JsonObject object(style, depth + 2);
        object.Bytes("name", "nameHex", source.name)
            .Bool("bundled", source.bundled)
            .Number("updates", source.updates)
            .String("newestDateText", DateText(source.newestDate));
        sources.Add(object.Close());
    }
    JsonObject object(style, depth);
    object.Bytes("description", "descriptionHex", reference.Description())
        .String("newestDateText", DateText(reference.NewestDate()))
        .Raw("sources", sources.Close());
    return object.Close();
}

std::string ProcessorsJson(const std::vector<ProcessorSummary::Row>& rows, const ReleaseReference& reference,
                           JsonStyle style, int depth)
{
    JsonArray array(style, depth);
    for (const ProcessorSummary::Row& row : rows) {
        JsonObject object(style, depth + 1);
        object.Number("signature", row.signature)
            .String("signatureText", Hex(row.signature, 0))
            .Number("platformFlags", row.platformFlags)
            .Number("revision", row.revision)
            .String("revisionText", Hex(row.revision, 2))
            .String("dateText", DateText(row.date))
            .Raw("standing", StandingJson(row.standing, reference, style, depth + 2));
        array.Add(object.Close());
    }
    return array.Close();
}

std::string StandingBlock(const std::vector<ProcessorSummary::Row>& rows, const ReleaseReference& reference)
{
    if (rows.empty()) {
        return {};
    }
    std::string text = " = standing against " + ReferenceWords(reference) + " =\r\n";
    for (const ProcessorSummary::Row& row : rows) {
        text += "CPUID " + Hex(row.signature, 0) + " platforms " + Hex(row.platformFlags, 2) + " " +
                RevisionText(row.revision) + ": " + StandingWords(row.standing, reference) + "\r\n";
    }
    return text;
}

}  // namespace veskari::output
