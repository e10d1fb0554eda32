#include "main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

#include "about_dialog.h"
#include "analysis_worker.h"
#include "report_log.h"

namespace veskari {

MainDialog::MainDialog(Language language, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Veskari"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/veskari-32.png")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setAcceptDrops(true);

    reportBox_ = new QPlainTextEdit(this);
    reportBox_->setReadOnly(true);
    reportBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
    reportBox_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    reportBox_->setAcceptDrops(false);  // drops go to the window
    reportLog_ = std::make_unique<ReportLog>(*reportBox_);

    selectButton_ = new QPushButton(tr("Select File"), this);
    clearButton_ = new QPushButton(tr("Clear"), this);
    auto* closeButton = new QPushButton(tr("Close"), this);
    for (QPushButton* button : {selectButton_, clearButton_, closeButton}) {
        button->setAutoDefault(false);
        button->setMinimumHeight(44);
    }
    connect(selectButton_, &QPushButton::clicked, this, &MainDialog::OnSelectFile);
    connect(clearButton_, &QPushButton::clicked, this, &MainDialog::OnClear);
    connect(closeButton, &QPushButton::clicked, this, &MainDialog::reject);

    auto* buttons = new QVBoxLayout;
    buttons->addSpacing(20);
    buttons->addWidget(selectButton_);
    buttons->addWidget(clearButton_);
    buttons->addWidget(closeButton);
    buttons->addStretch();
    // Below the report: what could not be analysed, so that a file that
    // cannot be read never looks like a file without updates.
    problemsList_ = new QListWidget(this);
    problemsList_->setMaximumHeight(110);
    problemsList_->setVisible(false);
    statusLine_ = new QLabel(this);
    statusLine_->setVisible(false);
    auto* reportColumn = new QVBoxLayout;
    reportColumn->addWidget(reportBox_, 1);
    reportColumn->addWidget(statusLine_);
    reportColumn->addWidget(problemsList_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(reportColumn, 1);
    layout->addLayout(buttons);
    resize(820, 460);

    // The desktop offers no window menu to extend: the about entry lives in
    // the window's context menu and on F1.
    aboutAction_ = new QAction(tr("About Veskari (&A)..."), this);
    aboutAction_->setShortcut(QKeySequence(Qt::Key_F1));
    aboutAction_->setShortcutContext(Qt::WindowShortcut);
    connect(aboutAction_, &QAction::triggered, this, &MainDialog::OnAbout);
    addAction(aboutAction_);

    chooseFiles = [](QWidget* owner, const QString& title, const QString& filter) {
        return QFileDialog::getOpenFileNames(owner, title, QString(), filter);
    };
    showError = [](QWidget* owner, const QString& text) {
        QMessageBox::critical(owner, MainDialog::tr("Veskari"), text);
    };

    thread_ = new QThread(this);
    worker_ = new AnalysisWorker(language);
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &AnalysisWorker::ReportAppended, this, &MainDialog::OnReportAppended);
    connect(worker_, &AnalysisWorker::ProblemsFound, this, &MainDialog::OnProblemsFound);
    connect(worker_, &AnalysisWorker::CommandFinished, this, &MainDialog::OnCommandFinished);
    thread_->start();
}

MainDialog::~MainDialog()
{
    StopWorker();
}

void MainDialog::StopWorker()
{
    if (thread_ == nullptr || !thread_->isRunning()) {
        return;
    }
    pending_.clear();
    worker_->Shutdown();
    thread_->quit();
    thread_->wait();
}

void MainDialog::AnalyzePaths(const QStringList& paths)
{
    QList<QByteArray> local;
    for (const QString& path : paths) {
        local.push_back(QFile::encodeName(path));
    }
    AnalyzeLocalPaths(local);
}

void MainDialog::AnalyzeLocalPaths(const QList<QByteArray>& paths)
{
    if (paths.isEmpty()) {
        return;
    }
    pending_.push_back(paths);
    if (!busy_) {
        StartNextCommand();
    }
}

void MainDialog::StartNextCommand()
{
    if (pending_.empty()) {
        SetBusy(false);
        emit Idle();
        return;
    }
    SetBusy(true);
    const QList<QByteArray> paths = pending_.front();
    pending_.pop_front();
    QMetaObject::invokeMethod(worker_, "Run", Qt::QueuedConnection, Q_ARG(QList<QByteArray>, paths),
                              Q_ARG(bool, reportLog_->IsEmpty()));
}

void MainDialog::OnReportAppended(const QByteArray& text)
{
    reportLog_->AppendReport(std::string(text.constData(), static_cast<std::size_t>(text.size())));
}

void MainDialog::OnProblemsFound(const QStringList& problems)
{
    problemsList_->addItems(problems);
    problemsList_->scrollToBottom();
    problemsList_->setVisible(true);
    statusLine_->setText(tr("%n item(s) could not be analysed:", "", problemsList_->count()));
    statusLine_->setVisible(true);
}

QStringList MainDialog::Problems() const
{
    QStringList problems;
    for (int i = 0; i < problemsList_->count(); ++i) {
        problems.push_back(problemsList_->item(i)->text());
    }
    return problems;
}

void MainDialog::OnCommandFinished(const QString& errorText)
{
    if (!errorText.isEmpty()) {
        // The paths of the failed command that were not analysed are dropped;
        // the report stays.
        QApplication::restoreOverrideCursor();
        showError(this, errorText);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    StartNextCommand();
}

void MainDialog::SetBusy(bool busy)
{
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    selectButton_->setEnabled(!busy);
    clearButton_->setEnabled(!busy);
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void MainDialog::OnSelectFile()
{
    if (busy_) {
        return;
    }
    // "*" rather than "*.*": on this platform many firmware and microcode
    // files have no extension, and "*.*" would hide them.
    const QStringList paths = chooseFiles(this, tr("Select MicroCode File"), tr("BIOS or MicroCodeFile (*)"));
    AnalyzePaths(paths);
}

void MainDialog::OnClear()
{
    if (!busy_) {
        reportLog_->Clear();
        problemsList_->clear();
        problemsList_->setVisible(false);
        statusLine_->setVisible(false);
    }
}

void MainDialog::StopCommand()
{
    worker_->RequestStop();
}

void MainDialog::OnAbout()
{
    AboutDialog about(this);
    about.exec();
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void MainDialog::dropEvent(QDropEvent* event)
{
    // The path's own bytes, from the URL's percent-encoding: a name that is
    // not valid UTF-8 reaches the analysis unchanged.
    QList<QByteArray> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
        }
    }
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        AnalyzeLocalPaths(paths);
    }
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(aboutAction_);
    menu.exec(event->globalPos());
}

void MainDialog::reject()
{
    // Close and Escape: stop the running command at its next poll (within
    // milliseconds, also inside a large file), then close.
    StopWorker();
    if (busy_) {
        busy_ = false;
        QApplication::restoreOverrideCursor();
    }
    QDialog::reject();
}

}  // namespace veskari
