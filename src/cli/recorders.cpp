#include "recorders.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "lzh/lzh_header.h"
#include "platform/cfile.h"
#include "platform/cp932.h"

namespace veskari::cli {
namespace {

std::string Hex(std::uint64_t value, int width = 0)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*llX", width, static_cast<unsigned long long>(value));
    return text;
}

std::string HexBytes(const std::string& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

std::string MethodText(std::int32_t method)
{
    return method == kMethodDirectory ? "-lhd-" : "-lh" + std::to_string(method) + "-";
}

const char* KindName(RecordKind kind)
{
    return kind == RecordKind::microcode ? "microcode" : "lzh";
}

// The member's own name: the composed display name without its parent's.
std::string ShortName(const MemberInfo& member, const std::string& parent)
{
    return member.displayName.substr(std::min(member.displayName.size(), parent.size() + 1));
}

nlohmann::ordered_json FileObject(const std::string* path, const std::string& displayName)
{
    nlohmann::ordered_json file = nlohmann::ordered_json::object();
    if (path != nullptr) {
        file["path"] = *path;
    }
    file["displayName"] = displayName;
    file["opened"] = false;
    file["members"] = nlohmann::ordered_json::array();
    file["updates"] = nlohmann::ordered_json::array();
    return file;
}

}  // namespace

const char* OutcomeName(MemberOutcome outcome)
{
    switch (outcome) {
    case MemberOutcome::analysed:
        return "analysed";
    case MemberOutcome::crcMismatch:
        return "crc mismatch";
    case MemberOutcome::damaged:
        return "damaged";
    case MemberOutcome::tooLarge:
        return "too large";
    case MemberOutcome::directory:
        return "directory";
    case MemberOutcome::notFound:
        return "not found";
    case MemberOutcome::passedOver:
        return "passed over";
    }
    return "passed over";
}

// ---- JSON

void JsonRecorder::FileStarted(const std::string& path, const std::string& displayName, bool topLevel)
{
    nlohmann::ordered_json file = FileObject(topLevel ? &path : nullptr, displayName);
    if (topLevel) {
        chain_ = {displayName};
    }
    if (withRejections_) {
        file["rejected"] = nlohmann::ordered_json::array();
    }
    files_.push_back(std::move(file));
}

void JsonRecorder::FileFinished(bool opened)
{
    nlohmann::ordered_json file = std::move(files_.back());
    files_.pop_back();
    file["opened"] = opened;
    if (members_.empty()) {
        root_ = std::move(file);
    } else {
        members_.back()["analysis"] = std::move(file);
    }
}

void JsonRecorder::MemberStarted(const MemberInfo& member)
{
    const std::string name = ShortName(member, files_.back()["displayName"].get<std::string>());
    chain_.push_back(name);
    members_.push_back(nlohmann::ordered_json{{"name", Cp932ToUtf8(member.rawName)},
                                      {"nameHex", HexBytes(member.rawName)},
                                      {"displayName", member.displayName}});
}

void JsonRecorder::MemberFinished(const MemberInfo& member, MemberOutcome outcome)
{
    nlohmann::ordered_json started = std::move(members_.back());
    members_.pop_back();
    chain_.pop_back();
    nlohmann::ordered_json node{{"name", started["name"]}, {"nameHex", started["nameHex"]},
                                {"displayName", started["displayName"]}};
    if (member.found) {
        node["method"] = MethodText(member.header.method);
        node["methodNumber"] = member.header.method;
        node["headerLevel"] = member.header.level;
        node["headerOffset"] = member.headerOffset;
        node["headerSize"] = member.header.headerSize;
        node["compressedSize"] = member.header.compressedSize;
        node["decodedSize"] = member.header.decodedSize;
        node["crc16"] = member.header.crc16;
    }
    node["outcome"] = OutcomeName(outcome);
    if (started.contains("analysis")) {
        node["analysis"] = std::move(started["analysis"]);
    }
    files_.back()["members"].push_back(std::move(node));
}

void JsonRecorder::UpdateAccepted(const UpdateRecord& update)
{
    files_.back()["updates"].push_back(nlohmann::ordered_json{
        {"offset", update.offset},
        {"chain", chain_},
        {"line", update.line},
        {"headerVersion", update.header.headerVersion},
        {"revision", update.header.revision},
        {"date", update.header.date},
        {"dateText", update.header.dateText},
        {"signature", update.header.signature},
        {"platformFlags", update.header.platformFlags},
        {"checksum", update.header.checksum},
        {"checksumValid", update.checksumValid},
        {"loaderRevision", update.header.loaderRevision},
        {"package", update.header.packageText},
        {"processor", update.header.processorName},
    });
}

void JsonRecorder::CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message, bool malformed)
{
    if (withRejections_) {
        files_.back()["rejected"].push_back(
            nlohmann::ordered_json{{"kind", KindName(kind)}, {"offset", offset}, {"message", message}, {"malformed", malformed}});
    }
}

nlohmann::ordered_json JsonRecorder::Take()
{
    // After a file error: close what is still open, innermost first.
    while (!files_.empty()) {
        files_.back()["incomplete"] = true;
        if (members_.size() >= files_.size()) {
            nlohmann::ordered_json member = std::move(members_.back());
            members_.pop_back();
            member["outcome"] = "incomplete";
            files_.back()["members"].push_back(std::move(member));
            continue;
        }
        FileFinished(files_.back().value("opened", false));
    }
    return std::move(root_);
}

// ---- verbose lines

void VerboseRecorder::Line(const std::string& text)
{
    text_ += labels_.empty() ? std::string() : labels_.back() + ": ";
    text_ += text;
    text_ += '\n';
}

void VerboseRecorder::FileStarted(const std::string& path, const std::string& displayName, bool topLevel)
{
    labels_.push_back(topLevel ? path : displayName);
}

void VerboseRecorder::FileFinished(bool opened)
{
    if (!opened) {
        Line("cannot be opened");
    }
    labels_.pop_back();
}

void VerboseRecorder::MemberFinished(const MemberInfo& member, MemberOutcome outcome)
{
    std::string text = "member " + Cp932ToUtf8(member.rawName);
    if (member.found) {
        text += " (" + MethodText(member.header.method) + ", level " + std::to_string(member.header.level) + ", header at " +
                Hex(member.headerOffset) + ", " + std::to_string(member.header.compressedSize) + " -> " +
                std::to_string(member.header.decodedSize) + " bytes, CRC-16 " + Hex(member.header.crc16, 4) + ")";
    }
    Line(text + ": " + OutcomeName(outcome));
}

void VerboseRecorder::UpdateAccepted(const UpdateRecord& update)
{
    Line("update at " + Hex(update.offset) + " (CPUID " + Hex(update.header.signature) + ", flags " +
         Hex(update.header.platformFlags, 2) + ", Rev. " + Hex(update.header.revision, 2) + "): checksum " +
         (update.checksumValid ? "valid" : "INVALID"));
}

void VerboseRecorder::CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                                        bool /*malformed*/)
{
    Line(std::string(kind == RecordKind::microcode ? "microcode candidate" : "LZH header") + " at " + Hex(offset) +
         " rejected: " + message);
}

// ---- extraction

std::string ExtractionName(const std::string& displayName, std::size_t limit)
{
    std::string name;
    for (const char c : displayName) {
        const auto byte = static_cast<unsigned char>(c);
        name += (c == '/' || byte < 0x20 || byte == 0x7F) ? '_' : c;
    }
    if (name.empty() || name.find_first_not_of('.') == std::string::npos) {
        name.insert(0, "_");
    }
    if (name.size() > limit) {
        name.resize(limit);
    }
    return name;
}

void Extractor::CreateNew(const std::string& name, CFile& file)
{
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string extension = name.substr(stem.size());
    for (unsigned counter = 0;; ++counter) {
        const std::string candidate = counter == 0 ? name : stem + "-" + std::to_string(counter) + extension;
        // One path component, opened relative to the folder and never
        // through a link: nothing is written outside the folder.
        const int descriptor =
            ::openat(folder_, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (descriptor >= 0) {
            file.Attach(descriptor, folderPath_ + "/" + candidate);
            return;
        }
        if (errno != EEXIST || counter == 100000) {
            throw FileError::FromErrno(FileOperation::create, errno, folderPath_ + "/" + candidate);
        }
    }
}

void Extractor::FileStarted(const std::string& /*path*/, const std::string& displayName, bool /*topLevel*/)
{
    names_.push_back(displayName);
}

void Extractor::FileFinished(bool /*opened*/)
{
    names_.pop_back();
}

void Extractor::UpdateAccepted(const UpdateRecord& update)
{
    char suffix[96];
    std::snprintf(suffix, sizeof suffix, "@0x%llX_cpu%X_pf%02X_rev%02X.bin",
                  static_cast<unsigned long long>(update.offset), update.header.signature, update.header.platformFlags,
                  update.header.revision);
    CFile file;
    CreateNew(ExtractionName(names_.back()) + suffix, file);
    file.Write(update.bytes.data(), update.bytes.size());
    file.Close();
}

void Extractor::MemberDecoded(const MemberInfo& member, const std::string& decodedPath)
{
    if (!members_) {
        return;
    }
    CFile input;
    if (!input.Open(decodedPath)) {
        return;
    }
    CFile output;
    CreateNew(ExtractionName(member.displayName), output);
    std::vector<std::uint8_t> chunk(1U << 16);
    for (std::size_t got; (got = input.Read(chunk.data(), chunk.size())) > 0;) {
        output.Write(chunk.data(), got);
    }
    output.Close();
}

// ---- chain

bool ObserverChain::WantsDetails() const
{
    for (const AnalysisObserver* observer : observers_) {
        if (observer->WantsDetails()) {
            return true;
        }
    }
    return false;
}

void ObserverChain::FileStarted(const std::string& path, const std::string& displayName, bool topLevel)
{
    for (AnalysisObserver* observer : observers_) {
        observer->FileStarted(path, displayName, topLevel);
    }
}

void ObserverChain::FileFinished(bool opened)
{
    for (AnalysisObserver* observer : observers_) {
        observer->FileFinished(opened);
    }
}

void ObserverChain::MemberStarted(const MemberInfo& member)
{
    for (AnalysisObserver* observer : observers_) {
        observer->MemberStarted(member);
    }
}

void ObserverChain::MemberDecoded(const MemberInfo& member, const std::string& decodedPath)
{
    for (AnalysisObserver* observer : observers_) {
        observer->MemberDecoded(member, decodedPath);
    }
}

void ObserverChain::MemberFinished(const MemberInfo& member, MemberOutcome outcome)
{
    for (AnalysisObserver* observer : observers_) {
        observer->MemberFinished(member, outcome);
    }
}

void ObserverChain::UpdateAccepted(const UpdateRecord& update)
{
    for (AnalysisObserver* observer : observers_) {
        observer->UpdateAccepted(update);
    }
}

void ObserverChain::CandidateRejected(RecordKind kind, std::uint64_t offset, const std::string& message,
                                      bool malformed)
{
    for (AnalysisObserver* observer : observers_) {
        observer->CandidateRejected(kind, offset, message, malformed);
    }
}

}  // namespace veskari::cli
