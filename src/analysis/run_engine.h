#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "analysis/analysis_events.h"
#include "analysis/analyzer.h"
#include "platform/file_error.h"
#include "platform/folder.h"
#include "platform/stop_request.h"

namespace veskari {

/// One top-level item of a run, in run order: a file (its headline is
/// written even when it cannot be read), or a folder that could not be read.
struct RunUnit {
    enum class Kind {
        file,            ///< `file` says whether it could be opened
        stream,          ///< standard input or a named pipe: copied, then analysed
        folderProblem,   ///< a folder that could not be opened or listed: `problem`
        repeatedFolder,  ///< a folder reached again through a link: not walked twice
        outputFolder,    ///< a folder that the run writes into: never walked
    };
    Kind kind = Kind::file;
    std::size_t index = 0;     ///< position in the run
    std::size_t argument = 0;  ///< the PATH it comes from
    std::string path;          ///< as the report names it
    OpenedFile file;
    Problem problem;
};

/// Why a run ended before its last unit.
struct RunFailure {
    enum class Kind { fileError, outOfMemory, internal };
    Kind kind = Kind::internal;
    std::optional<FileError> fileError;

    /// The text the user reads: the file error's, or the out-of-memory or
    /// internal-error text.
    [[nodiscard]] std::string Text(Language language) const;
    /// The cause's name in machine-readable output.
    [[nodiscard]] const char* CauseName() const noexcept;
};

/// A front end's observer of one unit, made when the unit starts and kept
/// until it has been delivered.
class UnitObserver : public AnalysisObserver {
public:
    virtual ~UnitObserver() = default;
    /// Adds to the unit's fan-out whatever hears its events: the observer
    /// itself unless a front end keeps several outputs that each hear them.
    virtual void AddObservers(ObserverFanOut& fanOut) { fanOut.Add(this); }
};

/// Everything one unit produced besides its report text.
struct UnitResult {
    const RunUnit* unit = nullptr;
    UnitObserver* observer = nullptr;   ///< the front end's, or nullptr
    std::vector<Problem> problems;      ///< what could not be analysed, in order
    std::optional<RunFailure> failure;  ///< the error that ended the run inside this unit
    bool stopped = false;               ///< a stop request ended it before its end
    std::size_t members = 0;            ///< members decoded and analysed
    std::size_t updates = 0;            ///< updates accepted
    std::uint64_t unlistedLaterUpdates = 0;  ///< later-layout updates the classic mode did not list
};

/// What a front end does with a run. ReportAppended and UnitFinished are
/// called in run order, never two at once, from whichever thread of the
/// run is ready (the caller's own with one job).
class RunClient {
public:
    /// On the thread that will analyse `unit`: the observer for its events
    /// (nullptr: none).
    [[nodiscard]] virtual std::unique_ptr<UnitObserver> UnitStarted(const RunUnit& /*unit*/) { return nullptr; }
    /// Report text, byte for byte as one sequential run would write it:
    /// the first unit still running writes through, later units' text
    /// waits until every unit before them has finished.
    virtual void ReportAppended(const std::string& text) = 0;
    /// A unit has ended, after all of its report text.
    virtual void UnitFinished(UnitResult& result) = 0;

protected:
    ~RunClient() = default;
};

struct RunSettings {
    unsigned jobs = 1;        ///< units analysed at once
    bool reportEmpty = true;  ///< whether the report is empty when the run starts
    WorkLimits limits;
    MicrocodeFormats formats = MicrocodeFormats::classic;
    /// Walks the paths once more on a thread of its own, ahead of the
    /// analysis, to learn how many files and bytes the run holds: the
    /// analysis walks lazily, a few files ahead, so only this tells a
    /// window the true fraction done.
    bool measure = false;
    std::uint64_t streamBytes = kStreamCopyLimit;  ///< the most copied of standard input or a pipe
    /// Folders that the run writes into (the extraction folder): neither
    /// walked nor read, named or met in a walk, so that a run never reads
    /// its own output and its report never depends on the number of jobs.
    std::set<FolderId> outputFolders;
};

struct RunSummary {
    std::size_t files = 0;     ///< top-level files analysed (or tried)
    std::size_t members = 0;
    std::size_t updates = 0;
    std::size_t problems = 0;
    /// Updates of the later layout that the classic mode met and did not list.
    std::uint64_t unlistedLaterUpdates = 0;
    std::optional<RunFailure> failure;
    bool stopped = false;
};

/// How far a run has come; read from any thread while it runs.
struct RunProgress {
    std::size_t found = 0;  ///< units met so far (the walk goes on ahead of the analysis)
    std::size_t done = 0;   ///< units delivered
    bool walkFinished = false;
    /// Bytes of the top-level files delivered, and of those still being
    /// analysed as far as their scan has come.
    std::uint64_t bytesDone = 0;
    /// With RunSettings::measure, once the measuring walk has ended: the
    /// run's files and their bytes.
    bool measured = false;
    std::size_t filesTotal = 0;
    std::uint64_t bytesTotal = 0;
};

/// Runs the analysis of several paths: folders are walked into units, units
/// are analysed by up to `jobs` threads at once, and everything is
/// delivered in unit order, byte for byte what one thread would produce.
/// A file error or lack of memory ends the run where a sequential run would
/// have ended; a stop request ends it at the next poll.
class RunEngine {
public:
    RunEngine(RunSettings settings, RunClient& client);
    ~RunEngine();
    RunEngine(const RunEngine&) = delete;
    RunEngine& operator=(const RunEngine&) = delete;

    /// Analyses `paths` in order ("-" is standard input) and returns when
    /// the run has ended. One run per engine.
    RunSummary Run(const std::vector<std::string>& paths);

    /// Ends the run at the next poll of its analysis; any thread.
    void RequestStop() noexcept { stop_.Raise(); }

    [[nodiscard]] RunProgress Progress() const noexcept;

private:
    struct Slot;
    class UnitSink;
    class UnitCollector;

    void Work();
    void Measure();
    [[nodiscard]] Slot* Produce();
    [[nodiscard]] bool NextUnit(RunUnit& unit);
    [[nodiscard]] bool IsOutputFolder(const std::string& path) const;
    void Analyse(Slot& slot);
    void DeliverReady();
    void EndRun(std::optional<RunFailure> failure);
    void Append(Slot& slot, const std::string& text);

    RunSettings settings_;
    unsigned jobs_ = 1;  // units analysed at once: settings_.jobs as open files allow
    RunClient& client_;
    StopRequest stop_;

    mutable std::mutex mutex_;
    std::condition_variable moved_;
    // The walk, guarded by mutex_.
    const std::vector<std::string>* paths_ = nullptr;
    std::size_t nextArgument_ = 0;
    std::size_t currentArgument_ = 0;
    std::unique_ptr<FolderWalk> walk_;
    std::set<FolderId> walked_;
    bool walkFinished_ = false;
    bool fileProduced_ = false;
    // Units between delivery and production, guarded by mutex_.
    std::map<std::size_t, std::unique_ptr<Slot>> slots_;
    std::size_t nextProduce_ = 0;
    std::size_t nextDeliver_ = 0;
    bool ended_ = false;
    RunSummary summary_;

    std::atomic<std::size_t> found_{0};
    std::atomic<std::size_t> done_{0};
    std::atomic<bool> walkDone_{false};
    std::atomic<std::uint64_t> bytesDelivered_{0};
    std::atomic<bool> measureEnded_{false};  // tells the measuring walk to end
    std::atomic<bool> measured_{false};
    std::atomic<std::size_t> filesTotal_{0};
    std::atomic<std::uint64_t> bytesTotal_{0};
};

}  // namespace veskari
