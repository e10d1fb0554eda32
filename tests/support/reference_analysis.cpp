#include "platform/descriptor_file.h"
#include "support/reference_analysis.h"

#include <memory>
#include <vector>

#include "support/reference_scan.h"
#include "microcode/microcode_source.h"
#include "platform/anonymous_file.h"
#include "platform/cp932.h"

namespace veskari::test {
namespace {

void AnalyzeFile(const FileHandle& handle, const std::string& displayName, int depth, MicrocodeFormats formats,
                 std::string& report)
{
    if (depth < 16) {
        const auto source = std::make_unique<LzhScan>();
        source->Open(ByteSource{&handle, {}}, displayName);
        std::vector<std::string> names;
        source->Collect(names);
        source->file->Seek(0);
        for (const std::string& name : names) {
            if (!source->FindMember(name)) {
                break;
            }
            FileHandle member;
            if (CreateAnonymousFile(source->header.decodedSize, member) != 0) {
                return;
            }
            BorrowedFile output;
            output.Open(member, "member");
            const bool decoded = source->decoder.DecodeMember(output, *source->file, source->header);
            source->header.SkipPast(*source->file);
            if (decoded) {
                const std::size_t backslash = FindLastCp932Backslash(name);
                const std::string shortName = backslash == std::string::npos ? name : name.substr(backslash + 1);
                AnalyzeFile(member, displayName + "/" + Cp932ToUtf8(shortName), depth + 1, formats, report);
            }
        }
    }
    MicrocodeScan source;
    source.Open(ByteSource{&handle, {}}, displayName);
    source.SetFormats(formats);
    std::vector<std::string> lines;
    source.Collect(lines);
    if (!lines.empty()) {
        report += " < " + displayName + " >\r\n";
        for (const std::string& line : lines) {
            report += line + "\r\n";
        }
    }
}

}  // namespace

std::string ReferenceReport(const std::string& path, MicrocodeFormats formats)
{
    std::string report = "<< " + path + " >>\r\n";
    const OpenedFile opened = OpenForReading(path);
    if (opened.IsOpen()) {
        AnalyzeFile(opened.handle, path.substr(path.rfind('/') + 1), 0, formats, report);
    }
    return report;
}

}  // namespace veskari::test
