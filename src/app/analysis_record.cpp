#include "analysis_record.h"

namespace veskari {

void AnalysisRecord::BeginCommand(const QList<QByteArray>& paths, bool allFormats)
{
    commandStart_ = paths_.size();
    commandAllFormats_ = allFormats;
    for (const QByteArray& path : paths) {
        paths_.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
        pathAllFormats_.push_back(allFormats);
    }
}

void AnalysisRecord::AddUnit(UnitOutput& unit, std::span<const output::UpdateRow> rows)
{
    // A unit whose recorder could not be made (no memory for it) has no
    // events: it is kept with none, as its file's object is written empty.
    units_.push_back(Unit{commandStart_ + unit.argument, unit.problems,
                          unit.events ? unit.events : std::make_shared<const EventLog>(), rows, commandAllFormats_});
}

void AnalysisRecord::EndCommand(const CommandEnd& end)
{
    if (end.summary.stopped && !end.summary.failure) {
        // The paths it never reached were not analysed: they are left out
        // rather than shown as paths without files.
        std::size_t reached = commandStart_;
        if (!units_.empty() && units_.back().argument >= commandStart_) {
            reached = units_.back().argument + 1;
        }
        paths_.resize(reached);
        pathAllFormats_.resize(reached);
        stopped_ = true;
    }
    if (!failure_ && end.summary.failure) {
        failure_ = end.summary.failure;
    }
}

void AnalysisRecord::Clear()
{
    paths_.clear();
    pathAllFormats_.clear();
    units_.clear();
    commandStart_ = 0;
    failure_.reset();
    stopped_ = false;
}

void AnalysisRecord::WriteJson(const output::JsonDocument::Writer& write, Language language) const
{
    output::JsonDocument document(write, paths_, language);
    document.Begin();
    for (const Unit& unit : units_) {
        RunUnit runUnit;
        runUnit.argument = unit.argument;
        UnitResult result;
        result.unit = &runUnit;
        result.problems = unit.problems;
        // The file object as veskari-scan's recorder makes it; empty for a
        // unit without a file, whose problems the document places itself.
        output::JsonRecorder recorder(output::JsonStyle{}, output::JsonDocument::kFileDepth, false, unit.allFormats,
                                      language);
        unit.events->Replay(recorder, unit.rows);
        document.Add(result, recorder.Text());
    }
    document.End(failure_, stopped_);
}

std::vector<std::pair<std::vector<std::string>, bool>> AnalysisRecord::Runs() const
{
    std::vector<std::pair<std::vector<std::string>, bool>> runs;
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        if (runs.empty() || runs.back().second != pathAllFormats_[i]) {
            runs.emplace_back(std::vector<std::string>{}, pathAllFormats_[i]);
        }
        runs.back().first.push_back(paths_[i]);
    }
    return runs;
}

}  // namespace veskari
