#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QSaveFile>
#include <QTabWidget>

#include "analysis_record.h"
#include "main_dialog.h"
#include "output/csv_output.h"
#include "platform/visible_text.h"
#include "recent_paths.h"
#include "report_log.h"
#include "update_table_model.h"
#include "updates_view.h"

// The window's commands that choose files and folders and save its output.

namespace veskari {

void MainDialog::UseSystemDialogs()
{
    // The platform's own dialogs; the tests put their own answers instead.
    chooseFiles = [](QWidget* owner, const QString& title, const QString& filter) {
        return QFileDialog::getOpenFileNames(owner, title, RecentPaths::LastFolder(), filter);
    };
    chooseFolder = [](QWidget* owner, const QString& title) {
        return QFileDialog::getExistingDirectory(owner, title, RecentPaths::LastFolder());
    };
    chooseSaveFile = [](QWidget* owner, SaveFormat& format) {
        const QStringList filters = {tr("Report (*.txt)"), tr("Report with CR LF line ends (*.txt)"),
                                     tr("Table of updates as CSV (*.csv)"), tr("JSON document (*.json)")};
        const QStringList names = {QStringLiteral("report.txt"), QStringLiteral("report.txt"),
                                   QStringLiteral("updates.csv"), QStringLiteral("report.json")};
        QString chosen = filters.value(static_cast<int>(format));
        const QString path = QFileDialog::getSaveFileName(
            owner, tr("Save"), RecentPaths::LastFolder() + QLatin1Char('/') + names.value(static_cast<int>(format)),
            filters.join(QStringLiteral(";;")), &chosen);
        format = static_cast<SaveFormat>(std::max<qsizetype>(0, filters.indexOf(chosen)));
        return path;
    };
    chooseItemFile = [](QWidget* owner, const QString& name) {
        return QFileDialog::getSaveFileName(owner, tr("Save Selected Item As"),
                                            RecentPaths::LastFolder() + QLatin1Char('/') + name);
    };
}

void MainDialog::FillRecentMenu(QMenu& menu)
{
    menu.clear();
    // Long paths are shortened in the middle, where their folders are; the
    // whole path is the entry's tooltip.
    menu.setToolTipsVisible(true);
    for (const QByteArray& path : RecentPaths::Paths()) {
        const QString text = QString::fromStdString(VisibleText(path.toStdString()));
        QAction* action = menu.addAction(menu.fontMetrics().elidedText(text, Qt::ElideMiddle, 480).replace(
                                             QLatin1Char('&'), QStringLiteral("&&")),
                                         this, [this, path] { AnalyzeChosen({path}); });
        action->setToolTip(text);
    }
    if (menu.isEmpty()) {
        menu.addAction(tr("(none)"))->setEnabled(false);
    }
}

void MainDialog::AnalyzeChosen(const QList<QByteArray>& paths, const QByteArray& folder)
{
    RecentPaths::Remember(paths, folder);
    AnalyzeLocalPaths(paths);
}

void MainDialog::OnSelectFile()
{
    if (busy_) {
        return;
    }
    // "*" rather than "*.*": on this platform many firmware and microcode
    // files have no extension, and "*.*" would hide them.
    QList<QByteArray> paths;
    for (const QString& path : chooseFiles(this, tr("Select MicroCode File"), tr("BIOS or MicroCodeFile (*)"))) {
        paths.push_back(QFile::encodeName(path));
    }
    AnalyzeChosen(paths);
}

void MainDialog::OnOpenFolder()
{
    if (busy_) {
        return;
    }
    const QString folder = chooseFolder(this, tr("Select Folder"));
    if (!folder.isEmpty()) {
        AnalyzeChosen({QFile::encodeName(folder)}, QFile::encodeName(folder));
    }
}

QByteArray MainDialog::SavedBytes(SaveFormat format) const
{
    std::string bytes;
    switch (format) {
    case SaveFormat::report:
        bytes = reportLog_->LfText();
        break;
    case SaveFormat::reportCrLf:
        bytes = reportLog_->Text();
        break;
    case SaveFormat::csv:
        bytes = output::CsvHeader();
        for (const output::UpdateRow* row : updates_->Model().Rows()) {
            bytes += output::CsvRecord(*row);
        }
        break;
    case SaveFormat::json:
        record_->WriteJson([&bytes](std::string_view text) { bytes += text; }, language_);
        break;
    }
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void MainDialog::OnSave()
{
    if (busy_) {
        return;
    }
    SaveFormat format = views_->currentIndex() == 1 ? SaveFormat::csv : SaveFormat::report;
    const QString path = chooseSaveFile(this, format);
    if (path.isEmpty()) {
        return;
    }
    // Written whole or not at all: never a partial file under the name.
    QSaveFile file(path);
    const QByteArray bytes = SavedBytes(format);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        showError(this, tr("%1 could not be saved: %2").arg(path, file.errorString()));
        return;
    }
    unsaved_ = false;
}

}  // namespace veskari
