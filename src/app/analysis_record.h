#pragma once

#include <QByteArray>
#include <QList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis_worker.h"
#include "output/json_output.h"

namespace veskari {

/// What the window analysed since the last Clear, kept so that Save can
/// write the command line's JSON document of it: the paths of every
/// command in order, and the events of each top-level unit as its analysis
/// told them. The document is made from these events, not from a second
/// analysis, so that it tells exactly what the report and the table show,
/// also when the files have changed or gone since or a command was stopped.
class AnalysisRecord {
public:
    /// `allFormats`: the command lists updates of every layout, and its
    /// updates carry the fields of the later layout in the document.
    void BeginCommand(const QList<QByteArray>& paths, bool allFormats);
    /// A unit of the command begun last; its events are kept (shared with
    /// the tree). `rows` are its rows of updates as the table keeps them,
    /// until Clear.
    void AddUnit(UnitOutput& unit, std::span<const output::UpdateRow> rows);
    void EndCommand(const CommandEnd& end);
    void Clear();
    /// The paths analysed, in order, in runs of one mode (true: every
    /// format); a stopped command's up to the last one it reached.
    [[nodiscard]] std::vector<std::pair<std::vector<std::string>, bool>> Runs() const;

    /// The document, as `veskari-scan --json` writes it for all the paths
    /// in turn. The error is the first one that ended a command; a stopped
    /// command's paths end with the last one it reached.
    void WriteJson(const output::JsonDocument::Writer& write, Language language) const;

private:
    struct Unit {
        std::size_t argument = 0;  // among all paths
        std::vector<Problem> problems;
        std::shared_ptr<const EventLog> events;  // shared with the tree
        std::span<const output::UpdateRow> rows;
        bool allFormats = false;
    };

    std::vector<std::string> paths_;
    std::vector<bool> pathAllFormats_;  // the mode of each path's command
    std::vector<Unit> units_;
    std::size_t commandStart_ = 0;       // the first path of the command begun last
    bool commandAllFormats_ = false;
    std::optional<RunFailure> failure_;
    bool stopped_ = false;  // a command was stopped before its last file
};

}  // namespace veskari
