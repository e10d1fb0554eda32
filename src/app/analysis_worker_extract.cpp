// The window's extractions: the files analysed are read again through the
// run engine, and what the command line's --extract would write is written,
// by the same code, into a folder or, for one item, into a file.

#include <QSaveFile>

#include "analysis_worker.h"
#include "platform/folder.h"
#include "platform/processors.h"
#include "platform/visible_text.h"

namespace veskari {
namespace {

// The extractor of one unit, which hears the unit's events itself.
class ExtractorUnit final : public UnitObserver {
public:
    ExtractorUnit(bool members, std::optional<output::ExtractionPick> pick) : extractor(members, pick) {}

    void AddObservers(ObserverFanOut& fanOut) override { fanOut.Add(&extractor); }

    output::Extractor extractor;
};

}  // namespace

// Writes each unit's files when its turn comes, as veskari-scan does: into
// the folder, or the picked item into the chosen file.
class AnalysisWorker::ExtractionClient final : public RunClient {
public:
    ExtractionClient(AnalysisWorker& worker, const ExtractionOrder& order, output::ExtractionFolder* folder)
        : worker_(worker), order_(order), folder_(folder)
    {
    }

    std::unique_ptr<UnitObserver> UnitStarted(const RunUnit& unit) override
    {
        {
            const std::lock_guard lock(worker_.mutex_);
            worker_.current_ = QByteArray(unit.path.data(), static_cast<qsizetype>(unit.path.size()));
        }
        return std::make_unique<ExtractorUnit>(order_.members, order_.pick);
    }

    void ReportAppended(const std::string& /*text*/) override {}

    void UnitFinished(UnitResult& result) override
    {
        const auto* unit = static_cast<ExtractorUnit*>(result.observer);
        if (unit == nullptr) {
            return;
        }
        if (folder_ != nullptr) {
            // What the unit staged before an error or a stop, as --extract
            // writes it: each file complete.
            folder_->Write(unit->extractor);
            written += unit->extractor.Entries().size();
        } else if (order_.pick && !result.stopped && !result.failure) {
            WritePicked(unit->extractor);
        }
    }

    std::size_t written = 0;
    QString errorText;

private:
    // The one item, under the name it was shown with: a file changed since
    // its analysis may hold something else at that place, which must not
    // be saved in its stead.
    void WritePicked(const output::Extractor& extractor)
    {
        const std::vector<output::Extractor::Entry>& entries = extractor.Entries();
        if (entries.size() != 1 || entries.front().name != order_.pickName) {
            errorText = AnalysisWorker::tr("%1 is no longer found where it was analysed; analyse its file again")
                            .arg(QString::fromStdString(VisibleText(order_.pickName)));
            return;
        }
        // Written whole or not at all: never a partial file under the name.
        QSaveFile file(order_.file);
        bool wrote = file.open(QIODevice::WriteOnly);
        extractor.ReadEntry(entries.front(), [&file, &wrote](std::span<const std::uint8_t> bytes) {
            const auto size = static_cast<qint64>(bytes.size());
            wrote = wrote && file.write(reinterpret_cast<const char*>(bytes.data()), size) == size;
        });
        if (!wrote || !file.commit()) {
            errorText = AnalysisWorker::tr("%1 could not be saved: %2").arg(order_.file, file.errorString());
            return;
        }
        written = 1;
    }

    AnalysisWorker& worker_;
    const ExtractionOrder& order_;
    output::ExtractionFolder* folder_;
};

void AnalysisWorker::Extract(const ExtractionOrder& order)
{
    ExtractionEnd end;
    try {
        std::optional<output::ExtractionFolder> folder;
        RunSettings settings;
        settings.jobs = UsableProcessorCount();
        settings.measure = true;
        if (!order.pick) {
            // A folder the user chose: a link there names the folder it points to.
            std::string path(order.folder.constData(), static_cast<std::size_t>(order.folder.size()));
            bool isLink = false;
            folder.emplace(path.ends_with('/') ? path : path + '/', isLink);
            // The run never reads what it writes, as with --extract.
            if (const auto status = QueryPathStatus(path)) {
                settings.outputFolders.insert(FolderId{status->device, status->inode});
            }
        }
        ExtractionClient client(*this, order, folder ? &*folder : nullptr);
        // One run per mode, all into the same folder: its names count on
        // across them, as one veskari-scan run with all the paths counts.
        for (const auto& [paths, allFormats] : order.runs) {
            settings.formats = allFormats ? MicrocodeFormats::all : MicrocodeFormats::classic;
            const RunSummary summary = RunEngineOf(settings, client, paths);
            end.summary.files += summary.files;
            end.summary.stopped = summary.stopped;
            end.summary.failure = summary.failure;
            if (summary.stopped || summary.failure) {
                break;
            }
        }
        end.written = client.written;
        end.errorText = client.errorText;
        if (end.summary.failure) {
            end.errorText = QString::fromStdString(end.summary.failure->Text(language_));
        }
    } catch (const FileError& error) {
        end.summary.failure = RunFailure{RunFailure::Kind::fileError, error};
        end.errorText = QString::fromStdString(error.Text(language_));
    } catch (...) {
        SetFailureOfCurrentException(end.summary, end.errorText, language_);
    }
    emit ExtractionFinished(end);
}

}  // namespace veskari
