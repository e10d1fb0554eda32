#pragma once

// --extract: the only code that writes a user's files. Each unit stages what
// it extracts in a file without a name while it is analysed; when its turn
// comes, the files are written into the folder under the names that a run
// with one job would give them, each complete or not at all.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "analysis/analysis_events.h"
#include "platform/cfile.h"
#include "platform/file_handle.h"

namespace veskari::cli {

/// The name a display name becomes inside the extraction folder: one path
/// component, '/' and control characters replaced by '_', never "." or "..",
/// at most `limit` bytes.
[[nodiscard]] std::string ExtractionName(const std::string& displayName, std::size_t limit = 200);

/// What one unit extracts: each accepted update's bytes, and with `members`
/// each decoded member, staged until the unit's turn.
class Extractor final : public AnalysisObserver {
public:
    struct Entry {
        std::string name;  ///< the wanted name, before any counter
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
    };

    explicit Extractor(bool members) : members_(members) {}

    [[nodiscard]] bool WantsDetails() const override { return true; }
    void MemberDecoded(const MemberInfo& member, const FileHandle& decoded, std::uint64_t size) override;
    void UpdateAccepted(const FileInfo& file, const UpdateRecord& update) override;

    [[nodiscard]] const std::vector<Entry>& Entries() const noexcept { return entries_; }
    [[nodiscard]] const FileHandle& Staging() const noexcept { return staging_; }

private:
    CFile& StagingFile();

    bool members_;
    FileHandle staging_;
    CFile stagingFile_;
    std::vector<Entry> entries_;
};

/// The folder that --extract writes into.
class ExtractionFolder {
public:
    /// Makes the folder when it is missing and opens it. A symbolic link as
    /// its last component is followed only when the path ends in '/' (the
    /// user then names the folder it points to). Throws FileError when the
    /// folder cannot be made or opened; a link refused so sets `isLink`.
    ExtractionFolder(const std::string& path, bool& isLink);
    ~ExtractionFolder();
    ExtractionFolder(const ExtractionFolder&) = delete;
    ExtractionFolder& operator=(const ExtractionFolder&) = delete;

    /// Writes the staged files of one unit, in order. A name that is taken
    /// gets a counter before its extension (name-1.bin, ...); nothing is
    /// ever written over. A write that fails leaves no partial file and
    /// throws FileError.
    void Write(const Extractor& unit);

private:
    void WriteOne(const Extractor& unit, const Extractor::Entry& entry);

    int folder_ = -1;
    std::string path_;
    std::map<std::string, unsigned> nextCounter_;  // per wanted name: naming stays linear
};

}  // namespace veskari::cli
