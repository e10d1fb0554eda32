#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "analysis/run_engine.h"
#include "event_log.h"
#include "output/csv_output.h"
#include "output/extraction.h"
#include "platform/file_error.h"
#include "unit_tree.h"

namespace veskari {

/// A listed member that was not analysed because of its own bytes: a CRC
/// that does not match, damaged data, a header not found again. (Members
/// passed over for a bound or for lack of a file come as problems.)
/// Within a handler of any exception: the failure it stands for (out of
/// memory, or an internal error) and its text in `language`.
void SetFailureOfCurrentException(RunSummary& summary, QString& errorText, Language language);

struct FailedMember {
    std::string displayName;
    MemberOutcome outcome = MemberOutcome::damaged;
};

/// A file of which the classic mode did not list updates of the later
/// layout: told once for the file, so that they are not taken for absent.
struct UnlistedLater {
    std::string displayName;
    std::uint64_t count = 0;
};

/// What could not be analysed or was not listed, in the order the analysis met it.
using Finding = std::variant<Problem, FailedMember, UnlistedLater>;

/// What one top-level unit of a command brought besides its report text.
struct UnitOutput {
    std::size_t argument = 0;  ///< which of the command's paths it comes from
    std::vector<Problem> problems;
    std::vector<Finding> findings;
    std::vector<output::UpdateRow> updates;
    /// What its JSON object is made from; the tree's nodes name its events.
    std::shared_ptr<const EventLog> events;
    std::vector<TreeNode> tree;  ///< where each member and update sits
};

/// What the running command has delivered and the window not yet taken:
/// report text and units, in run order.
struct Delivery {
    std::string report;
    std::vector<UnitOutput> units;
};

/// How a command ended.
struct CommandEnd {
    RunSummary summary;
    QString errorText;  ///< empty unless an error ended it
    /// A stopped command's files that it did not reach, when they had
    /// been counted before the stop.
    std::optional<std::size_t> filesNotAnalysed;
};

/// What the window asks to take out of the files analysed: every update
/// (and member) of their paths into a folder, as `veskari-scan --extract`
/// writes them, or one item into a file of the user's choosing. The files
/// are read again: the window keeps only the first bytes of each item.
struct ExtractionOrder {
    /// Paths to read, in runs of one layout mode (true: every format), in
    /// the order they were analysed.
    std::vector<std::pair<std::vector<std::string>, bool>> runs;
    QByteArray folder;     ///< Extract All: the folder, made when missing
    bool members = false;  ///< Extract All: each decoded member too
    /// Save As: the item of the one top-level file in `runs`, the name it
    /// is extracted under (it must be found under that name again) and the
    /// file to write.
    std::optional<output::ExtractionPick> pick;
    std::string pickName;
    QString file;
};

/// How an extraction ended.
struct ExtractionEnd {
    RunSummary summary;
    QString errorText;        ///< empty unless an error ended it
    std::size_t written = 0;  ///< files written
};

/// How far the running command has come.
struct CommandProgress {
    RunProgress run;
    QByteArray currentPath;  ///< the top-level file analysed last started
};

/// Runs the commands of the window off its thread, through the run engine
/// that the command line uses too: each command analyses its paths in
/// order, in parallel, and hands the report text back in order as it grows,
/// with what each unit brought (updates, problems, its JSON object). The
/// output waits in one delivery that the window takes when it is told,
/// so that a folder of thousands of small files costs the window's thread
/// a few wake-ups a second, not one per report block.
class AnalysisWorker : public QObject {
    Q_OBJECT

public:
    explicit AnalysisWorker(Language language);

    /// Ends the running command at its next poll (within milliseconds,
    /// also inside one large file); thread-safe. Later commands run as usual.
    void RequestStop();
    /// Stops the running command and every later one: the window is closing.
    void Shutdown();
    /// Thread-safe; zero when no command runs.
    [[nodiscard]] CommandProgress Progress();
    /// The output delivered since the last call; thread-safe.
    [[nodiscard]] Delivery TakeOutput();

public slots:
    /// Analyses `paths` (the local 8-bit bytes of each path); `reportEmpty`
    /// tells whether the report was empty when the command began (nothing
    /// else writes to it while it runs); `allFormats` lists the updates of
    /// every layout.
    void Run(const QList<QByteArray>& paths, bool reportEmpty, bool allFormats);
    /// Reads the order's paths again and writes what it asks for; Stop
    /// and the progress work as for an analysis.
    void Extract(const veskari::ExtractionOrder& order);

signals:
    /// There is output to take; told once until it has been taken.
    void OutputReady();
    /// The command has ended, after its last output.
    void CommandFinished(const veskari::CommandEnd& end);
    /// The extraction has ended.
    void ExtractionFinished(const veskari::ExtractionEnd& end);

private:
    class Client;
    class ExtractionClient;
    void Deliver(std::string_view text, UnitOutput* unit);
    /// Runs `paths` through an engine that Stop and Progress reach.
    RunSummary RunEngineOf(const RunSettings& settings, RunClient& client, const std::vector<std::string>& paths,
                           RunProgress* counted = nullptr);

    Language language_;
    std::mutex mutex_;
    RunEngine* engine_ = nullptr;  // the running command's, guarded by mutex_
    QByteArray current_;           // guarded by mutex_
    bool shuttingDown_ = false;    // guarded by mutex_
    std::mutex outputMutex_;
    Delivery output_;              // guarded by outputMutex_
    bool told_ = false;            // guarded by outputMutex_: OutputReady not yet answered
};

}  // namespace veskari

Q_DECLARE_METATYPE(veskari::CommandEnd)
Q_DECLARE_METATYPE(veskari::ExtractionOrder)
Q_DECLARE_METATYPE(veskari::ExtractionEnd)
