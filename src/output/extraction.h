#pragma once

// Extraction of updates and members into files of their own, shared by the
// command line's --extract and the window's Save As and Extract All: the only
// code that writes a user's files besides the window's Save. Each unit stages
// what it extracts in a file without a name while it is analysed; when its
// turn comes, the files are written into the folder under the names that a
// run with one job would give them, each complete or not at all.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_events.h"
#include "platform/descriptor_file.h"
#include "platform/file_handle.h"
#include "platform/output_folder.h"

namespace veskari::output {

/// The name a display name becomes inside the extraction folder: one path
/// component, '/' and control characters (DEL included) replaced by '_',
/// never "." or "..", at most `limit` bytes: a longer name loses the end of
/// its stem, cut between UTF-8 characters, and keeps its extension. On
/// Windows also a name that Windows allows (WindowsAllowedName).
[[nodiscard]] std::string ExtractionName(const std::string& displayName, std::size_t limit = 200);

/// The length of the extension of a display name's last part (".bin"): from
/// its last dot, not a leading one, at most 32 bytes; 0 when it has none.
[[nodiscard]] std::size_t ExtensionLength(std::string_view displayName);

/// `name` as Windows allows a file name: each of <>:"\|?* becomes '_', a
/// trailing dot or space (which Windows would drop) becomes '_', and a name
/// whose part before the first dot is a device name (CON, PRN, AUX, NUL,
/// COM1 to COM9, LPT1 to LPT9, in any case) gets a leading '_'.
[[nodiscard]] std::string WindowsAllowedName(std::string name);

/// The name an update is extracted under: its file's display name, then
/// where it sits and what it is ("fw.bin@0x0_cpu652_pf04_rev2A.bin").
[[nodiscard]] std::string UpdateExtractionName(const std::string& fileDisplayName, const UpdateRecord& update);

/// One item of a top-level file taken out alone: the update of its
/// `ordinal`-th accepted line, or its `ordinal`-th member, counted from 0
/// in the order the analysis tells them.
struct ExtractionPick {
    enum class Kind { update, member };
    Kind kind = Kind::update;
    std::size_t ordinal = 0;
};

/// What one unit extracts: each accepted update's bytes, and with `members`
/// each decoded member, staged until the unit's turn; or only the item of
/// a pick.
class Extractor final : public AnalysisObserver {
public:
    struct Entry {
        std::string name;           ///< the wanted name, before any counter
        std::size_t extension = 0;  ///< its last bytes that a counter goes before
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
    };

    explicit Extractor(bool members, std::optional<ExtractionPick> pick = std::nullopt)
        : members_(members || (pick && pick->kind == ExtractionPick::Kind::member)), pick_(pick)
    {
    }

    [[nodiscard]] bool WantsUpdateBytes() const override { return true; }
    void MemberStarted(const MemberInfo& member) override;
    void MemberDecoded(const MemberInfo& member, const ByteSource& decoded, std::uint64_t size) override;
    void UpdateAccepted(const FileInfo& file, const UpdateRecord& update) override;
    void UpdateBytes(const FileInfo& file, const UpdateRecord& update, File& bytes) override;

    [[nodiscard]] const std::vector<Entry>& Entries() const noexcept { return entries_; }
    [[nodiscard]] const FileHandle& Staging() const noexcept { return staging_; }
    /// Hands the staged bytes of `entry` to `write`, a piece at a time.
    void ReadEntry(const Entry& entry, const std::function<void(std::span<const std::uint8_t>)>& write) const;

private:
    File& StagingFile();

    bool members_;
    std::optional<ExtractionPick> pick_;
    std::size_t updatesSeen_ = 0;
    std::size_t membersSeen_ = 0;
    bool picked_ = false;  // the line or member told last is the pick's
    FileHandle staging_;
    BorrowedFile stagingFile_;
    std::vector<Entry> entries_;
};

/// The folder that --extract writes into, and the names it gives there.
class ExtractionFolder {
public:
    /// Makes and opens the folder (see OutputFolder); throws FileError.
    ExtractionFolder(const std::string& path, bool& isLink) : folder_(path, isLink) {}

    /// Writes the staged files of one unit, in order. A name that is taken
    /// gets a counter before the extension of its own last part
    /// (name-1.bin, fw.bin_README-1, ...), kept per name
    /// so that naming stays linear; nothing is ever written over, and a
    /// write that fails leaves no partial file and throws FileError.
    void Write(const Extractor& unit);

private:
    OutputFolder folder_;
    std::map<std::string, unsigned> nextCounter_;
};

}  // namespace veskari::output
