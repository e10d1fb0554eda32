#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTabWidget>
#include <QTableView>

#include "analysis_record.h"
#include "analysis_worker.h"
#include "main_dialog.h"
#include "problems_view.h"
#include "recent_paths.h"
#include "run_status.h"
#include "update_table_model.h"
#include "update_tree_view.h"
#include "updates_view.h"
#include "platform/visible_text.h"

// The window's commands that take updates and members out of the files
// analysed: the selected item into a file, or everything into a folder,
// with the names and bytes of `veskari-scan --extract`.

namespace veskari {

void MainDialog::OnSaveItemAs()
{
    if (busy_) {
        return;
    }
    // The selected update of the table, or the update or member of the tree.
    std::optional<TreeNodeId> node;
    if (views_->currentIndex() == 1) {
        const QModelIndex current = updates_->Table().currentIndex();
        if (current.isValid() && updates_->Table().selectionModel()->isSelected(current)) {
            node = tree_->UpdateNode(static_cast<std::size_t>(updates_->Proxy().mapToSource(current).row()));
        }
    } else if (views_->currentIndex() == 2) {
        node = tree_->CurrentNode();
    }
    const std::optional<UpdateTreeView::ItemSource> source = node ? tree_->SourceOf(*node) : std::nullopt;
    if (!source) {
        showError(this, tr("Select an update in the table, or an update or a decoded member in the tree."));
        return;
    }
    const QString file = chooseItemFile(this, QFile::decodeName(QByteArray::fromStdString(source->name)));
    if (file.isEmpty()) {
        return;
    }
    ExtractionOrder order;
    order.runs.emplace_back(std::vector<std::string>{source->path}, source->allFormats);
    order.pick = source->pick;
    order.pickName = source->name;
    order.file = file;
    StartExtraction(order);
}

void MainDialog::OnExtractAll(bool members)
{
    if (busy_) {
        return;
    }
    ExtractionOrder order;
    order.runs = record_->Runs();
    if (order.runs.empty()) {
        showError(this, tr("Nothing to extract: analyse files or folders first."));
        return;
    }
    const QString folder = chooseFolder(this, members ? tr("Extract All Updates and Members into Folder")
                                                      : tr("Extract All Updates into Folder"));
    if (folder.isEmpty()) {
        return;
    }
    order.folder = QFile::encodeName(folder);
    order.members = members;
    StartExtraction(order);
}

void MainDialog::StartExtraction(const ExtractionOrder& order)
{
    extracting_ = true;
    SetBusy(true);
    status_->ExtractionStarted();
    QMetaObject::invokeMethod(worker_, "Extract", Qt::QueuedConnection, Q_ARG(veskari::ExtractionOrder, order));
}

void MainDialog::OnExtractionFinished(const ExtractionEnd& end)
{
    SetBusy(false);
    extracting_ = false;
    QString outcome;
    if (!end.errorText.isEmpty()) {
        outcome = tr("Extraction ended by an error.");
    } else if (end.summary.stopped) {
        outcome = tr("Extraction stopped: %1 files written.").arg(end.written);
    } else {
        outcome = end.written == 1 ? tr("1 file written.") : tr("%1 files written.").arg(end.written);
    }
    status_->ExtractionEnded(outcome);
    for (const QByteArray& path : std::exchange(dropped_, {})) {
        problems_->AddLine(tr("%1: not analysed, the analysis was stopped")
                               .arg(QString::fromStdString(VisibleText(path.toStdString()))));
    }
    if (!end.errorText.isEmpty()) {
        showError(this, end.errorText);
    }
    StartNextCommand();
}

}  // namespace veskari
