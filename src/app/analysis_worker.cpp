#include "analysis_worker.h"

#include <algorithm>
#include <atomic>

#include "platform/processors.h"

namespace veskari {
namespace {

// What the window keeps of one unit's events: its rows of updates, what
// could not be analysed, the events its JSON object is made from and the
// tree of its members and updates, whose nodes name those events.
class UnitRecorder final : public UnitObserver {
public:
    [[nodiscard]] bool WantsUpdateBytes() const override { return true; }
    void FileStarted(const FileInfo& file) override
    {
        events.FileStarted(file);
        rows.FileStarted(file);
        tree.FileStarted(file, events.Size() - 1);
    }
    void FileFinished(const FileInfo& file) override
    {
        events.FileFinished(file);
        rows.FileFinished(file);
        tree.FileFinished(file, events.Size() - 1);
        if (file.unlistedLaterUpdates > 0) {
            findings.emplace_back(UnlistedLater{file.displayName, file.unlistedLaterUpdates});
        }
    }
    void MemberStarted(const MemberInfo& member) override
    {
        events.MemberStarted(member);
        tree.MemberStarted(member, events.Size() - 1);
    }
    void MemberDecoded(const MemberInfo& member, const ByteSource& decoded, std::uint64_t size) override
    {
        tree.MemberDecoded(member, decoded, size);
    }
    void MemberFinished(const MemberInfo& member, MemberOutcome outcome) override
    {
        events.MemberFinished(member, outcome);
        tree.MemberFinished(member, events.Size() - 1);
        if (outcome == MemberOutcome::crcMismatch || outcome == MemberOutcome::damaged ||
            outcome == MemberOutcome::notFound) {
            findings.emplace_back(FailedMember{member.displayName, outcome});
        }
    }
    void UpdateAccepted(const FileInfo& file, const UpdateRecord& update) override
    {
        events.UpdateAccepted(file, update);
        rows.UpdateAccepted(file, update);
        tree.UpdateAccepted(file, events.Size() - 1, rows.Rows().back(), rows.Rows().size() - 1);
    }
    void UpdateBytes(const FileInfo& /*file*/, const UpdateRecord& /*update*/, File& bytes) override
    {
        tree.UpdateBytes(bytes);
    }
    void ProblemFound(const Problem& problem) override
    {
        events.ProblemFound(problem);
        // A damaged member is listed from its outcome, with its cause.
        if (problem.kind != ProblemKind::memberDamaged) {
            findings.emplace_back(problem);
        }
    }

    EventLog events;
    output::UpdateRowRecorder rows;
    TreeRecorder tree;
    std::vector<Finding> findings;
};

}  // namespace

// Hands the run's output to the window's thread through signals.
class AnalysisWorker::Client final : public RunClient {
public:
    explicit Client(AnalysisWorker& worker) : worker_(worker) {}

    std::unique_ptr<UnitObserver> UnitStarted(const RunUnit& unit) override
    {
        {
            const std::lock_guard lock(worker_.mutex_);
            worker_.current_ = QByteArray(unit.path.data(), static_cast<qsizetype>(unit.path.size()));
        }
        // Room for as many records as the unit finished last had: the files
        // of a folder tend to be alike, and a unit's records are large enough
        // that growing them step by step costs more than recording them.
        auto recorder = std::make_unique<UnitRecorder>();
        recorder->events.Reserve(lastSize_.events.load(std::memory_order_relaxed));
        recorder->rows.Rows().reserve(lastSize_.rows.load(std::memory_order_relaxed));
        recorder->tree.Nodes().reserve(lastSize_.nodes.load(std::memory_order_relaxed));
        return recorder;
    }

    void ReportAppended(const std::string& text) override { worker_.Deliver(text, nullptr); }

    void UnitFinished(UnitResult& result) override
    {
        stoppedInside = stoppedInside || result.stopped;
        UnitOutput output;
        output.argument = result.unit->argument;
        output.problems = result.problems;  // the run still counts them
        if (auto* recorder = static_cast<UnitRecorder*>(result.observer)) {
            output.findings = std::move(recorder->findings);
            lastSize_.events.store(std::min(recorder->events.Size(), kMostReserved), std::memory_order_relaxed);
            lastSize_.rows.store(std::min(recorder->rows.Rows().size(), kMostReserved), std::memory_order_relaxed);
            lastSize_.nodes.store(std::min(recorder->tree.Nodes().size(), kMostReserved), std::memory_order_relaxed);
            output.updates = std::move(recorder->rows.Rows());
            recorder->events.ShrinkToFit();
            output.events = std::make_shared<const EventLog>(std::move(recorder->events));
            output.tree = std::move(recorder->tree.Nodes());
            // The window keeps them until Clear: without the room their
            // growth left (2 of 30 MB for 500 small firmware images).
            output.updates.shrink_to_fit();
            output.tree.shrink_to_fit();
        }
        worker_.Deliver({}, &output);
    }

    bool stoppedInside = false;  // a stop ended a unit before its end

private:
    // A large unit does not make every small one after it reserve as much.
    static constexpr std::size_t kMostReserved = 1024;

    AnalysisWorker& worker_;
    struct {
        std::atomic<std::size_t> events{0};
        std::atomic<std::size_t> rows{0};
        std::atomic<std::size_t> nodes{0};
    } lastSize_;
};

AnalysisWorker::AnalysisWorker(Language language) : language_(language)
{
    qRegisterMetaType<CommandEnd>();
    qRegisterMetaType<ExtractionOrder>();
    qRegisterMetaType<ExtractionEnd>();
}

void AnalysisWorker::Deliver(std::string_view text, UnitOutput* unit)
{
    bool tell = false;
    {
        const std::lock_guard lock(outputMutex_);
        output_.report += text;
        if (unit != nullptr) {
            output_.units.push_back(std::move(*unit));
        }
        tell = !told_;
        told_ = true;
    }
    if (tell) {
        emit OutputReady();
    }
}

Delivery AnalysisWorker::TakeOutput()
{
    const std::lock_guard lock(outputMutex_);
    told_ = false;
    return std::exchange(output_, Delivery{});
}

void AnalysisWorker::RequestStop()
{
    const std::lock_guard lock(mutex_);
    if (engine_ != nullptr) {
        engine_->RequestStop();
    }
}

void AnalysisWorker::Shutdown()
{
    const std::lock_guard lock(mutex_);
    shuttingDown_ = true;
    if (engine_ != nullptr) {
        engine_->RequestStop();
    }
}

CommandProgress AnalysisWorker::Progress()
{
    const std::lock_guard lock(mutex_);
    if (engine_ == nullptr) {
        return {};
    }
    return CommandProgress{engine_->Progress(), current_};
}

RunSummary AnalysisWorker::RunEngineOf(const RunSettings& settings, RunClient& client,
                                       const std::vector<std::string>& paths, RunProgress* counted)
{
    RunEngine engine(settings, client);
    {
        const std::lock_guard lock(mutex_);
        engine_ = &engine;
        current_.clear();
        if (shuttingDown_) {
            engine.RequestStop();
        }
    }
    RunSummary summary;
    try {
        summary = engine.Run(paths);
    } catch (...) {
        const std::lock_guard lock(mutex_);
        engine_ = nullptr;
        throw;
    }
    if (counted != nullptr) {
        *counted = engine.Progress();
    }
    const std::lock_guard lock(mutex_);
    engine_ = nullptr;
    return summary;
}

void SetFailureOfCurrentException(RunSummary& summary, QString& errorText, Language language)
{
    try {
        throw;
    } catch (const std::bad_alloc&) {
        summary.failure = RunFailure{RunFailure::Kind::outOfMemory, std::nullopt};
        errorText = QString::fromStdString(OutOfMemoryText(language));
    } catch (...) {
        summary.failure = RunFailure{RunFailure::Kind::internal, std::nullopt};
        errorText = QString::fromStdString(InternalErrorText(language));
    }
}

void AnalysisWorker::Run(const QList<QByteArray>& paths, bool reportEmpty, bool allFormats)
{
    CommandEnd end;
    try {
        std::vector<std::string> texts;
        for (const QByteArray& path : paths) {
            texts.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
        }
        Client client(*this);
        RunSettings settings;
        settings.jobs = UsableProcessorCount();
        settings.reportEmpty = reportEmpty;
        settings.formats = allFormats ? MicrocodeFormats::all : MicrocodeFormats::classic;
        settings.measure = true;  // for the fraction done that the window shows
        RunProgress counted;
        end.summary = RunEngineOf(settings, client, texts, &counted);
        if (end.summary.stopped && counted.measured) {
            // The files never reached, and the one the stop came in.
            end.filesNotAnalysed = counted.filesTotal - std::min(counted.filesTotal, end.summary.files) +
                                   (client.stoppedInside ? 1 : 0);
        }
        if (end.summary.failure) {
            end.errorText = QString::fromStdString(end.summary.failure->Text(language_));
        }
    } catch (...) {
        SetFailureOfCurrentException(end.summary, end.errorText, language_);
    }
    {
        const std::lock_guard lock(mutex_);
        engine_ = nullptr;
    }
    emit CommandFinished(end);
}

}  // namespace veskari
