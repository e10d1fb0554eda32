#pragma once

#include <QByteArray>
#include <QList>
#include <optional>
#include <string>
#include <vector>

#include "analysis_worker.h"
#include "output/json_output.h"

namespace veskari {

/// What the window analysed since the last Clear, kept so that Save can
/// write the command line's JSON document of it: the paths of every
/// command in order, and the JSON object of each top-level file as its
/// analysis made it. Kept as the analysis went, not made again when saving,
/// so that the document tells exactly what the report and the table show
/// even when the files have changed or gone since.
class AnalysisRecord {
public:
    void BeginCommand(const QList<QByteArray>& paths);
    /// A unit of the command begun last.
    void AddUnit(const UnitOutput& unit);
    void EndCommand(const CommandEnd& end);
    void Clear();

    /// The document, as `veskari-scan --json` writes it for all the paths
    /// in turn. The error is the first one that ended a command; a stopped
    /// command's paths end with the last one it reached.
    void WriteJson(const output::JsonDocument::Writer& write, Language language) const;

private:
    struct Unit {
        std::size_t argument = 0;        // among all paths
        std::vector<Problem> problems;   // of a unit without a file object
        std::string json;
    };

    std::vector<std::string> paths_;
    std::vector<Unit> units_;
    std::size_t commandStart_ = 0;       // the first path of the command begun last
    std::optional<RunFailure> failure_;
};

}  // namespace veskari
