#include "analysis/run_engine.h"

#include <algorithm>
#include <new>
#include <thread>

#include "platform/cp932.h"
#include "platform/file_handle.h"
#include "platform/processors.h"
#include "platform/read_ahead.h"

namespace veskari {
namespace {

// A stream to copy before its analysis, or why it could not be opened.
void TakeStream(OpenedFile stream, RunUnit& unit)
{
    unit.kind = stream.IsOpen() ? RunUnit::Kind::stream : RunUnit::Kind::file;
    unit.file = std::move(stream);
}

// Every unit taken ahead of delivery holds its file open (and, with
// --extract, the file its extractions wait in), and every unit being
// analysed may hold one more file per nesting level (members decoded to
// disk). When the system allows few open files, fewer units run at once,
// so that a run does not fail to open a file that one unit at a time would
// have opened and the report does not depend on the number of jobs.
unsigned EffectiveJobs(unsigned requested)
{
    constexpr std::uint64_t kKeptForTheProcess = 32;  // standard streams, folders, output, libraries
    constexpr std::uint64_t kPerUnit = 2;             // its file, its extractions
    constexpr std::uint64_t kPerJob =
        2 * kPerUnit + kPerUnit + static_cast<std::uint64_t>(kMaxNestingLevel);  // two waiting, one analysed
    const std::uint64_t limit = OpenFileLimit();
    const std::uint64_t affordable = limit > kKeptForTheProcess ? (limit - kKeptForTheProcess) / kPerJob : 0;
    return static_cast<unsigned>(std::clamp<std::uint64_t>(affordable, 1, std::max(1U, requested)));
}

}  // namespace

std::string RunFailure::Text(Language language) const
{
    switch (kind) {
    case Kind::fileError:
        return fileError ? fileError->Text(language) : InternalErrorText(language);
    case Kind::outOfMemory:
        return OutOfMemoryText(language);
    case Kind::internal:
        break;
    }
    return InternalErrorText(language);
}

const char* RunFailure::CauseName() const noexcept
{
    switch (kind) {
    case Kind::fileError:
        return fileError ? veskari::CauseName(fileError->Cause()) : "internal";
    case Kind::outOfMemory:
        return "outOfMemory";
    case Kind::internal:
        break;
    }
    return "internal";
}

struct RunEngine::Slot {
    explicit Slot(const StopRequest& run) : stop(&run) {}

    RunUnit unit;
    bool firstFile = false;  // the run's first file: its headline may start the report
    bool wroteText = false;
    std::string pending;     // report text waiting for the units before it
    bool finished = false;
    StopRequest stop;        // raised by the run's request, or to cancel this unit alone
    std::uint64_t size = 0;  // of its top-level file, when open
    std::atomic<std::uint64_t> scanned{0};
    std::unique_ptr<UnitObserver> observer;
    UnitResult result;
};

// The report of one unit: written through while it is the first unit not
// yet delivered, kept until then otherwise.
class RunEngine::UnitSink final : public ReportSink {
public:
    UnitSink(RunEngine& engine, Slot& slot) : engine_(engine), slot_(slot) {}
    [[nodiscard]] bool IsEmpty() const override
    {
        return engine_.settings_.reportEmpty && slot_.firstFile && !slot_.wroteText;
    }
    void AppendReport(const std::string& text) override { engine_.Append(slot_, text); }

private:
    RunEngine& engine_;
    Slot& slot_;
};

// Keeps what the run itself needs of a unit's events: its problems and counts.
class RunEngine::UnitCollector final : public AnalysisObserver {
public:
    explicit UnitCollector(UnitResult& result) : result_(result) {}
    void MemberFinished(const MemberInfo& /*member*/, MemberOutcome outcome) override
    {
        if (outcome == MemberOutcome::analysed) {
            ++result_.members;
        }
    }
    void UpdateAccepted(const FileInfo& /*file*/, const UpdateRecord& /*update*/) override { ++result_.updates; }
    void FileFinished(const FileInfo& file) override { result_.unlistedLaterUpdates += file.unlistedLaterUpdates; }
    void ProblemFound(const Problem& problem) override { result_.problems.push_back(problem); }

private:
    UnitResult& result_;
};

RunEngine::RunEngine(RunSettings settings, RunClient& client) : settings_(std::move(settings)), client_(client)
{
}

RunEngine::~RunEngine() = default;

RunProgress RunEngine::Progress() const noexcept
{
    RunProgress progress{found_.load(), done_.load(), walkDone_.load()};
    progress.measured = measured_.load();
    progress.filesTotal = filesTotal_.load();
    progress.bytesTotal = bytesTotal_.load();
    progress.bytesDone = bytesDelivered_.load();
    // The engine calls its client while it holds the lock, and a client may
    // wait there for the thread that asks for progress: never wait for the
    // lock here. Without it the files in flight are left out this time.
    const std::unique_lock lock(mutex_, std::try_to_lock);
    if (lock.owns_lock()) {
        for (const auto& [index, slot] : slots_) {
            progress.bytesDone += std::min(slot->scanned.load(std::memory_order_relaxed), slot->size);
        }
    }
    return progress;
}

void RunEngine::Measure()
{
    std::set<FolderId> walked;
    std::size_t files = 0;
    std::uint64_t bytes = 0;
    const auto ended = [this] { return measureEnded_.load() || stop_.Raised(); };
    for (const std::string& path : *paths_) {
        if (ended()) {
            return;
        }
        const auto status = path == "-" ? std::nullopt : QueryPathStatus(path);
        if (!status || !status->isDirectory) {
            ++files;
            const OpenedFile file = path == "-" ? OpenedFile{} : OpenForReading(path);
            bytes += file.IsOpen() ? FileSize(file.handle) : 0;
            continue;
        }
        walked.erase(FolderId{status->device, status->inode});
        // Sizes as the folders tell them: opening every file a second time
        // cost five more system calls a file while the analysis ran.
        FolderWalk walk(path, walked, false);
        WalkEntry entry;
        while (!ended() && walk.Next(entry)) {
            if (entry.kind != WalkEntry::Kind::repeatedFolder) {
                files += entry.kind == WalkEntry::Kind::file ? 1 : 0;
                bytes += entry.file.IsOpen() ? FileSize(entry.file.handle) : entry.size;
            }
        }
    }
    if (!ended()) {
        filesTotal_ = files;
        bytesTotal_ = bytes;
        measured_ = true;
    }
}

RunSummary RunEngine::Run(const std::vector<std::string>& paths)
{
    paths_ = &paths;
    walked_.insert(settings_.outputFolders.begin(), settings_.outputFolders.end());
    const unsigned jobs = EffectiveJobs(settings_.jobs);
    jobs_ = jobs;
    const auto guardedWork = [this] {
        try {
            Work();
        } catch (const std::bad_alloc&) {
            const std::lock_guard lock(mutex_);
            EndRun(RunFailure{RunFailure::Kind::outOfMemory, std::nullopt});
        } catch (...) {
            const std::lock_guard lock(mutex_);
            EndRun(RunFailure{RunFailure::Kind::internal, std::nullopt});
        }
    };
    std::thread measurer;
    if (settings_.measure) {
        try {
            measurer = std::thread([this] {
                try {
                    Measure();
                } catch (...) {
                    // Progress is then told without totals; the run goes on.
                }
            });
        } catch (const std::exception&) {
        }
    }
    std::vector<std::thread> workers;
    for (unsigned j = 0; jobs > 1 && j < jobs; ++j) {
        try {
            workers.emplace_back(guardedWork);
        } catch (const std::exception&) {
            break;  // no more threads: the ones running do the work
        }
    }
    if (workers.empty()) {
        guardedWork();
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    measureEnded_ = true;
    if (measurer.joinable()) {
        measurer.join();
    }
    const std::lock_guard lock(mutex_);
    const bool unitsLeft = !walkFinished_ || nextDeliver_ < nextProduce_;
    summary_.stopped = summary_.stopped || (stop_.Raised() && unitsLeft && !summary_.failure);
    slots_.clear();
    walk_.reset();
    return summary_;
}

void RunEngine::Work()
{
    // The conversion of member names needs a module loaded per thread:
    // load it now, before the analysis holds descriptors of its own.
    PrepareCp932Conversion();
    // Units taken ahead of delivery are bounded, and with them the memory
    // of the output waiting for its turn.
    const std::size_t window = 2 * static_cast<std::size_t>(jobs_) + 2;
    for (;;) {
        Slot* slot = nullptr;
        {
            std::unique_lock lock(mutex_);
            moved_.wait(lock, [&] {
                return ended_ || stop_.Raised() || walkFinished_ || nextProduce_ < nextDeliver_ + window;
            });
            if (ended_ || stop_.Raised() || walkFinished_) {
                return;
            }
            slot = Produce();
            if (slot == nullptr) {
                moved_.notify_all();
                return;
            }
        }
        Analyse(*slot);
        const std::lock_guard lock(mutex_);
        slot->finished = true;
        DeliverReady();
    }
}

RunEngine::Slot* RunEngine::Produce()
{
    RunUnit unit;
    if (!NextUnit(unit)) {
        walkFinished_ = true;
        walkDone_ = true;
        return nullptr;
    }
    auto slot = std::make_unique<Slot>(stop_);
    unit.index = nextProduce_++;
    const bool isFile = unit.kind == RunUnit::Kind::file || unit.kind == RunUnit::Kind::stream;
    slot->firstFile = isFile && !fileProduced_;
    fileProduced_ = fileProduced_ || isFile;
    slot->size = unit.file.IsOpen() && unit.kind == RunUnit::Kind::file ? FileSize(unit.file.handle) : 0;
    slot->unit = std::move(unit);
    Slot* produced = slot.get();
    slots_.emplace(produced->unit.index, std::move(slot));
    ++found_;
    return produced;
}

bool RunEngine::IsOutputFolder(const std::string& path) const
{
    const auto status = QueryPathStatus(path);
    return status && settings_.outputFolders.contains(FolderId{status->device, status->inode});
}

bool RunEngine::NextUnit(RunUnit& unit)
{
    for (;;) {
        if (walk_) {
            WalkEntry entry;
            if (walk_->Next(entry)) {
                unit.argument = currentArgument_;
                unit.path = std::move(entry.path);
                switch (entry.kind) {
                case WalkEntry::Kind::file:
                    unit.kind = RunUnit::Kind::file;
                    unit.file = std::move(entry.file);
                    break;
                case WalkEntry::Kind::unreadableFolder:
                    unit.kind = RunUnit::Kind::folderProblem;
                    unit.problem = Problem{ProblemKind::cannotList, unit.path, entry.error, 0};
                    break;
                case WalkEntry::Kind::repeatedFolder:
                    unit.kind = IsOutputFolder(unit.path) ? RunUnit::Kind::outputFolder
                                                          : RunUnit::Kind::repeatedFolder;
                    break;
                }
                return true;
            }
            walk_.reset();
        }
        if (nextArgument_ == paths_->size()) {
            return false;
        }
        currentArgument_ = nextArgument_++;
        const std::string& path = (*paths_)[currentArgument_];
        unit.argument = currentArgument_;
        unit.path = path;
        if (path == "-") {
            // Standard input is copied to a file of its own, then analysed.
            TakeStream(OpenStandardInput(), unit);
            return true;
        }
        const auto status = QueryPathStatus(path);
        if (status && status->isDirectory && settings_.outputFolders.contains(FolderId{status->device, status->inode})) {
            unit.kind = RunUnit::Kind::outputFolder;
            return true;
        }
        if (status && status->isDirectory) {
            // A folder named on the command line is walked even when a link
            // led there before; links met inside walks are followed once.
            walked_.erase(FolderId{status->device, status->inode});
            walk_ = std::make_unique<FolderWalk>(path, walked_);
            continue;
        }
        unit.kind = RunUnit::Kind::file;
        unit.file = OpenForReading(path);
        if (unit.file.kind == FileKind::pipe) {
            // A named pipe given by name, such as <(command): read it whole.
            TakeStream(OpenPipe(path), unit);
        }
        return true;
    }
}

void RunEngine::Analyse(Slot& slot)
{
    const StopScope scope(slot.stop);
    const ProcessorInUse busy;
    UnitResult& result = slot.result;
    result.unit = &slot.unit;
    try {
        slot.observer = client_.UnitStarted(slot.unit);
        result.observer = slot.observer.get();
        UnitCollector collector(result);
        ObserverFanOut observers;
        observers.Add(&collector);
        if (slot.observer != nullptr) {
            slot.observer->AddObservers(observers);
        }
        UnitSink sink(*this, slot);
        Analyzer analyzer(sink, &observers);
        analyzer.SetLimits(settings_.limits);
        analyzer.SetMicrocodeFormats(settings_.formats);
        analyzer.SetScanProgress(&slot.scanned);
        switch (slot.unit.kind) {
        case RunUnit::Kind::file:
            analyzer.AnalyzeTopLevelFile(slot.unit.path, slot.unit.file);
            break;
        case RunUnit::Kind::stream: {
            const OpenedFile copy =
                CopyStreamToAnonymousFile(slot.unit.file.handle.Get(), slot.unit.path, settings_.streamBytes);
            slot.unit.file.handle.Reset();
            analyzer.AnalyzeTopLevelFile(slot.unit.path, copy);
            break;
        }
        case RunUnit::Kind::folderProblem:
            observers.ProblemFound(slot.unit.problem);
            break;
        case RunUnit::Kind::repeatedFolder:
        case RunUnit::Kind::outputFolder:
            break;
        }
    } catch (const FileError& error) {
        result.failure = RunFailure{RunFailure::Kind::fileError, error};
    } catch (const AnalysisStopped&) {
        result.stopped = true;
    } catch (const std::bad_alloc&) {
        result.failure = RunFailure{RunFailure::Kind::outOfMemory, std::nullopt};
    } catch (...) {
        result.failure = RunFailure{RunFailure::Kind::internal, std::nullopt};
    }
}

void RunEngine::Append(Slot& slot, const std::string& text)
{
    if (text.empty()) {
        return;
    }
    slot.wroteText = true;
    const std::lock_guard lock(mutex_);
    if (ended_) {
        return;  // a unit after the one that ended the run: never delivered
    }
    if (slot.unit.index == nextDeliver_ && slot.pending.empty()) {
        client_.ReportAppended(text);
    } else {
        slot.pending += text;
    }
}

void RunEngine::DeliverReady()
{
    try {
        while (!ended_) {
            const auto found = slots_.find(nextDeliver_);
            if (found == slots_.end()) {
                break;
            }
            Slot& slot = *found->second;
            if (!slot.pending.empty()) {
                std::string text;
                text.swap(slot.pending);
                client_.ReportAppended(text);
            }
            if (!slot.finished) {
                break;  // it writes through from now on
            }
            UnitResult& result = slot.result;
            client_.UnitFinished(result);
            const bool isFile = slot.unit.kind == RunUnit::Kind::file || slot.unit.kind == RunUnit::Kind::stream;
            summary_.files += isFile ? 1 : 0;
            summary_.members += result.members;
            summary_.updates += result.updates;
            summary_.unlistedLaterUpdates += result.unlistedLaterUpdates;
            summary_.problems += result.problems.size();
            const std::optional<RunFailure> failure = result.failure;
            const bool stopped = result.stopped;
            bytesDelivered_ += slot.size;
            slots_.erase(found);
            ++nextDeliver_;
            ++done_;
            if (failure || stopped) {
                summary_.stopped = stopped;
                EndRun(failure);
            }
        }
    } catch (const FileError& error) {
        // The front end's own output failed (a full disk under --extract).
        EndRun(RunFailure{RunFailure::Kind::fileError, error});
    } catch (const std::bad_alloc&) {
        EndRun(RunFailure{RunFailure::Kind::outOfMemory, std::nullopt});
    } catch (...) {
        EndRun(RunFailure{RunFailure::Kind::internal, std::nullopt});
    }
    moved_.notify_all();
}

void RunEngine::EndRun(std::optional<RunFailure> failure)
{
    if (!ended_ && failure) {
        summary_.failure = std::move(failure);
    }
    ended_ = true;
    // Units after the one that ended the run stop at their next poll; a
    // sequential run would never have started them.
    for (auto& [index, slot] : slots_) {
        slot->stop.Raise();
    }
    moved_.notify_all();
}

}  // namespace veskari
