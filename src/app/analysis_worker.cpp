#include "analysis_worker.h"

#include <new>

#include "analysis/analyze_path.h"

namespace veskari {
namespace {

// Forwards every append to the window's thread; knows whether the report
// is empty because nothing else writes to it during a command.
class ForwardingReport final : public ReportSink, public AnalysisObserver {
public:
    ForwardingReport(AnalysisWorker& worker, bool empty, const std::atomic<bool>& stop)
        : worker_(worker), empty_(empty), stop_(stop)
    {
    }

    [[nodiscard]] bool IsEmpty() const override { return empty_; }

    void AppendReport(const std::string& text) override
    {
        if (!text.empty()) {
            empty_ = false;
        }
        emit worker_.ReportAppended(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    }

    [[nodiscard]] bool StopRequested() override { return stop_.load(); }

private:
    AnalysisWorker& worker_;
    bool empty_;
    const std::atomic<bool>& stop_;
};

}  // namespace

void AnalysisWorker::Run(const QStringList& paths, bool reportEmpty)
{
    QString errorText;
    ForwardingReport report(*this, reportEmpty, stop_);
    try {
        Analyzer analyzer(report, &report);
        for (const QString& path : paths) {
            if (stop_.load()) {
                break;
            }
            const QByteArray bytes = path.toUtf8();
            const std::string text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            analyzer.AnalyzePath(text, text);
        }
    } catch (const FileError& failure) {
        errorText = QString::fromStdString(failure.Text(language_));
    } catch (const std::bad_alloc&) {
        errorText = QString::fromStdString(OutOfMemoryText(language_));
    } catch (const std::exception&) {
        errorText = QString::fromStdString(InternalErrorText(language_));
    }
    emit CommandFinished(errorText);
}

}  // namespace veskari
