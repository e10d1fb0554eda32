#include "analysis_worker.h"

#include "platform/processors.h"

namespace veskari {

// Hands the run's output to the window's thread through signals.
class AnalysisWorker::Client final : public RunClient {
public:
    explicit Client(AnalysisWorker& worker) : worker_(worker) {}

    void ReportAppended(const std::string& text) override
    {
        emit worker_.ReportAppended(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    }

    void UnitFinished(UnitResult& result) override
    {
        QStringList problems;
        for (const Problem& problem : result.problems) {
            problems.push_back(QString::fromStdString(problem.Text(worker_.language_)));
        }
        if (!problems.isEmpty()) {
            emit worker_.ProblemsFound(problems);
        }
    }

private:
    AnalysisWorker& worker_;
};

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

void AnalysisWorker::Run(const QList<QByteArray>& paths, bool reportEmpty)
{
    QString errorText;
    try {
        std::vector<std::string> texts;
        for (const QByteArray& path : paths) {
            texts.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
        }
        Client client(*this);
        RunSettings settings;
        settings.jobs = UsableProcessorCount();
        settings.reportEmpty = reportEmpty;
        RunEngine engine(settings, client);
        {
            const std::lock_guard lock(mutex_);
            engine_ = &engine;
            if (shuttingDown_) {
                engine.RequestStop();
            }
        }
        const RunSummary summary = engine.Run(texts);
        {
            const std::lock_guard lock(mutex_);
            engine_ = nullptr;
        }
        if (summary.failure) {
            errorText = QString::fromStdString(summary.failure->Text(language_));
        }
    } catch (const std::bad_alloc&) {
        errorText = QString::fromStdString(OutOfMemoryText(language_));
    } catch (...) {
        errorText = QString::fromStdString(InternalErrorText(language_));
    }
    {
        const std::lock_guard lock(mutex_);
        engine_ = nullptr;
    }
    emit CommandFinished(errorText);
}

}  // namespace veskari
