#include "output/extraction.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/anonymous_file.h"
#include "platform/source_file.h"

namespace veskari::output {
namespace {

#if defined(_WIN32)
constexpr bool kWindowsNames = true;
#else
constexpr bool kWindowsNames = false;
#endif

constexpr std::size_t kCopyChunk = std::size_t{1} << 16;

// Copies `size` bytes of `input` (from where it stands) to `output`.
void Copy(File& input, File& output, std::uint64_t size)
{
    std::vector<std::uint8_t> chunk(kCopyChunk);
    while (size > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, chunk.size()));
        const std::size_t got = input.Read(chunk.data(), want);
        if (got == 0) {
            break;
        }
        output.Write(chunk.data(), got);
        size -= got;
    }
}

// The counter goes before the extension of the name's own last part, never
// into the names of the files that hold it: fw.bin's second README becomes
// fw.bin_README-1, which no member of a file fw-1.bin can be called.
std::string WithCounter(const std::string& name, std::size_t extension, unsigned counter)
{
    if (counter == 0) {
        return name;
    }
    const std::size_t stem = name.size() - std::min(extension, name.size());
    return name.substr(0, stem) + "-" + std::to_string(counter) + name.substr(stem);
}

// The longest extension that a cut keeps whole.
constexpr std::size_t kExtensionLimit = 32;

}  // namespace

std::string WindowsAllowedName(std::string name)
{
    for (char& c : name) {
        if (std::string_view("<>:\"\\|?*").find(c) != std::string_view::npos) {
            c = '_';
        }
    }
    if (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        name.back() = '_';
    }
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.pop_back();
    }
    for (char& c : stem) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const bool numbered = stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
                          stem[3] >= '1' && stem[3] <= '9';
    if (numbered || stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") {
        name.insert(name.begin(), '_');
    }
    return name;
}

std::size_t ExtensionLength(std::string_view displayName)
{
    const std::size_t slash = displayName.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? displayName : displayName.substr(slash + 1);
    const std::size_t dot = last.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || last.size() - dot > kExtensionLimit) {
        return 0;
    }
    return last.size() - dot;
}

std::string ExtractionName(const std::string& displayName, std::size_t limit)
{
    std::string name;
    for (const char c : displayName) {
        const auto byte = static_cast<unsigned char>(c);
        name += (c == '/' || byte < 0x20 || byte == 0x7F) ? '_' : c;
    }
    if (name.empty() || name.find_first_not_of('.') == std::string::npos) {
        name.insert(name.begin(), '_');
    }
    if (kWindowsNames) {
        name = WindowsAllowedName(std::move(name));
    }
    if (name.size() > limit) {
        // Cut the stem, keep the extension, and never split a UTF-8 character.
        const std::size_t extension = std::min(ExtensionLength(displayName), name.size());
        std::size_t cut = limit > extension ? limit - extension : 0;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0U) == 0x80U) {
            --cut;
        }
        name = name.substr(0, cut) + name.substr(name.size() - extension);
        if (kWindowsNames) {
            name = WindowsAllowedName(std::move(name));  // the cut may leave a dot or space at the end
        }
    }
    return name;
}

File& Extractor::StagingFile()
{
    if (!staging_.IsOpen()) {
        if (const int error = CreateAnonymousFile(kSpillToDisk, staging_); error != 0) {
            throw FileError::FromErrno(FileOperation::create, error, TemporaryDirectory());
        }
        stagingFile_.Open(staging_, TemporaryDirectory());
    }
    return stagingFile_;
}

std::string UpdateExtractionName(const std::string& fileDisplayName, const UpdateRecord& update)
{
    char suffix[96];
    std::snprintf(suffix, sizeof suffix, "@0x%llX_cpu%X_pf%02X_rev%02X.bin",
                  static_cast<unsigned long long>(update.offset), update.header.signature,
                  update.header.platformFlags, update.header.revision);
    return ExtractionName(fileDisplayName) + suffix;
}

void Extractor::UpdateAccepted(const FileInfo& /*file*/, const UpdateRecord& /*update*/)
{
    picked_ = pick_ && pick_->kind == ExtractionPick::Kind::update && pick_->ordinal == updatesSeen_;
    ++updatesSeen_;
}

void Extractor::UpdateBytes(const FileInfo& file, const UpdateRecord& update, File& bytes)
{
    if (pick_ && !picked_) {
        return;
    }
    File& staging = StagingFile();
    entries_.push_back(Entry{UpdateExtractionName(file.displayName, update), 4, staging.GetPosition(), 0});
    Copy(bytes, staging, update.header.totalSize);
    entries_.back().size = staging.GetPosition() - entries_.back().offset;
}

void Extractor::MemberStarted(const MemberInfo& /*member*/)
{
    // A member is decoded right after it starts, before any member inside it.
    picked_ = pick_ && pick_->kind == ExtractionPick::Kind::member && pick_->ordinal == membersSeen_;
    ++membersSeen_;
}

void Extractor::MemberDecoded(const MemberInfo& member, const ByteSource& decoded, std::uint64_t size)
{
    if (!members_ || (pick_ && !picked_)) {
        return;
    }
    File& staging = StagingFile();
    const std::string name = ExtractionName(member.displayName);
    entries_.push_back(Entry{name, std::min(ExtensionLength(member.displayName), name.size()), staging.GetPosition(), size});
    SourceFile input(decoded, member.displayName);
    Copy(*input, staging, size);
    entries_.back().size = staging.GetPosition() - entries_.back().offset;
}

void Extractor::ReadEntry(const Entry& entry, const std::function<void(std::span<const std::uint8_t>)>& write) const
{
    BorrowedFile staging(staging_, TemporaryDirectory());
    staging.Seek(entry.offset);
    std::vector<std::uint8_t> chunk(kCopyChunk);
    for (std::uint64_t left = entry.size; left > 0;) {
        const std::size_t got =
            staging.Read(chunk.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size())));
        if (got == 0) {
            break;
        }
        write(std::span<const std::uint8_t>(chunk.data(), got));
        left -= got;
    }
}

void ExtractionFolder::Write(const Extractor& unit)
{
    for (const Extractor::Entry& entry : unit.Entries()) {
        unsigned& counter = nextCounter_[entry.name];
        counter = 1 + folder_.WriteNew(
                          [&](File& output) {
                              unit.ReadEntry(entry, [&output](std::span<const std::uint8_t> bytes) {
                                  output.Write(bytes.data(), bytes.size());
                              });
                          },
                          [&entry](unsigned n) { return WithCounter(entry.name, entry.extension, n); }, counter);
    }
}

}  // namespace veskari::output
