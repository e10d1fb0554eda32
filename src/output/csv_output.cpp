#include "output/csv_output.h"

#include <cstdio>

namespace veskari::output {
namespace {

constexpr std::array<std::string_view, kCsvColumnCount> kHeader = {
    "path", "member chain", "offset", "CPUID", "platform flags", "revision", "date", "package", "processor",
    "checksum valid"};

std::string Hex(std::uint64_t value, int width)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", width, static_cast<unsigned long long>(value));
    return text;
}

std::string Record(const auto& fields)
{
    std::string record;
    for (const auto& field : fields) {
        if (!record.empty()) {
            record += ',';
        }
        record += CsvField(field);
    }
    record += "\r\n";
    return record;
}

}  // namespace

void UpdateRowRecorder::FileStarted(const FileInfo& file)
{
    if (file.depth == 0) {
        path_ = file.path;
    }
}

void UpdateRowRecorder::UpdateAccepted(const FileInfo& file, const UpdateRecord& update)
{
    UpdateRow& row = rows_.emplace_back();
    row.path = path_;
    if (file.chain.size() > 1) {
        row.members.assign(file.chain.begin() + 1, file.chain.end());
    }
    row.update = update;
    std::vector<std::uint8_t>().swap(row.update.bytes);  // a table of many rows keeps no update's bytes
}

std::array<std::string, kCsvColumnCount> CsvFields(const UpdateRow& row)
{
    std::string chain;
    for (const std::string& member : row.members) {
        chain += chain.empty() ? "" : "/";
        chain += member;
    }
    const MicrocodeHeaderFields& header = row.update.header;
    return {row.path,
            std::move(chain),
            Hex(row.update.offset, 0),
            Hex(row.update.LineSignature(), 0),
            Hex(row.update.LinePlatformFlags(), 2),
            Hex(header.revision, 2),
            header.dateText,
            row.update.LinePackage(),
            row.update.LineProcessor(),
            row.update.checksumValid ? "yes" : "no"};
}

std::string CsvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    quoted += '"';
    return quoted;
}

std::string CsvHeader()
{
    return Record(kHeader);
}

std::string CsvRecord(const UpdateRow& row)
{
    return Record(CsvFields(row));
}

}  // namespace veskari::output
