#include "main_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QScreen>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QThread>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "about_dialog.h"
#include "analysis_record.h"
#include "analysis_worker.h"
#include "find_bar.h"
#include "guide_window.h"
#include "problems_view.h"
#include "recent_paths.h"
#include "report_log.h"
#include "report_view.h"
#include "run_status.h"
#include "update_table_model.h"
#include "update_tree_view.h"
#include "updates_view.h"
#include "platform/visible_text.h"

namespace veskari {

MainDialog::MainDialog(Language language, QWidget* parent)
    : QDialog(parent), language_(language), record_(std::make_unique<AnalysisRecord>())
{
    setWindowTitle(tr("Veskari"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/veskari-32.png")));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setAcceptDrops(true);

    reportBox_ = new ReportView(this);
    reportBox_->setAccessibleName(tr("Report"));
    reportBox_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    reportBox_->setContextMenuPolicy(Qt::CustomContextMenu);
    reportLog_ = std::make_unique<ReportLog>(*reportBox_);
    findBar_ = new FindBar(*reportBox_, this);
    updates_ = new UpdatesView(this);
    tree_ = new UpdateTreeView(this);

    selectButton_ = new QPushButton(tr("Select File"), this);
    folderButton_ = new QPushButton(tr("Open Folder"), this);
    clearButton_ = new QPushButton(tr("Clear"), this);
    auto* closeButton = new QPushButton(tr("Close"), this);
    stopButton_ = new QPushButton(tr("Stop"), this);
    stopButton_->setEnabled(false);
    for (QPushButton* button : {selectButton_, folderButton_, clearButton_, closeButton, stopButton_}) {
        button->setAutoDefault(false);
        button->setMinimumHeight(44);
    }
    connect(selectButton_, &QPushButton::clicked, this, &MainDialog::OnSelectFile);
    connect(folderButton_, &QPushButton::clicked, this, &MainDialog::OnOpenFolder);
    connect(clearButton_, &QPushButton::clicked, this, &MainDialog::OnClear);
    connect(closeButton, &QPushButton::clicked, this, &MainDialog::reject);
    connect(stopButton_, &QPushButton::clicked, this, &MainDialog::StopCommand);
    auto* buttons = new QVBoxLayout;
    buttons->addSpacing(20);
    buttons->addWidget(selectButton_);
    buttons->addWidget(folderButton_);
    buttons->addWidget(clearButton_);
    buttons->addWidget(closeButton);
    buttons->addStretch();
    buttons->addWidget(stopButton_);

    // The report first; the table of updates and the tree beside it.
    auto* reportPage = new QWidget(this);
    auto* reportColumn = new QVBoxLayout(reportPage);
    reportColumn->setContentsMargins(0, 0, 0, 0);
    reportColumn->addWidget(reportBox_, 1);
    reportColumn->addWidget(findBar_);
    views_ = new QTabWidget(this);
    views_->addTab(reportPage, tr("Report"));
    views_->addTab(updates_, tr("Updates"));
    views_->addTab(tree_, tr("Tree"));
    connect(updates_, &UpdatesView::CountChanged, this, [this](int /*shown*/, int total) {
        views_->setTabText(1, total == 0 ? tr("Updates") : tr("Updates (%1)").arg(total));
    });

    // Below both: what could not be analysed, so that a file that cannot be
    // read never looks like a file without updates.
    problems_ = new ProblemsView(language, this);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(views_);
    splitter->addWidget(problems_);
    splitter->setStretchFactor(0, 4);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);

    status_ = new RunStatus([this] { return worker_->Progress(); }, this);
    problems_->showError = [this](QWidget* owner, const QString& text) { showError(owner, text); };

    auto* menuBar = new QMenuBar(this);
    // The desktop offers no window menu to extend: the about entry lives in
    // the Help menu and the context menus. F1 opens the user guide.
    aboutAction_ = new QAction(tr("About Veskari (&A)..."), this);
    connect(aboutAction_, &QAction::triggered, this, &MainDialog::OnAbout);
    addAction(aboutAction_);
    guideAction_ = new QAction(tr("&User Guide"), this);
    guideAction_->setShortcut(QKeySequence(Qt::Key_F1));
    guideAction_->setShortcutContext(Qt::WindowShortcut);
    connect(guideAction_, &QAction::triggered, this, &MainDialog::OnGuide);
    addAction(guideAction_);
    QMenu* file = menuBar->addMenu(tr("&File"));
    QMenu* edit = menuBar->addMenu(tr("&Edit"));
    BuildMenus(*file, *edit, *menuBar->addMenu(tr("&Help")));
    connect(reportBox_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        std::unique_ptr<QMenu> menu(reportBox_->CreateContextMenu(this));
        menu->addSeparator();
        menu->addAction(aboutAction_);
        menu->exec(reportBox_->mapToGlobal(at));
    });

    auto* top = new QHBoxLayout;
    top->addWidget(splitter, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addLayout(top, 1);
    layout->addWidget(status_);
    // Never larger than the screen, also at a high scale factor.
    const QSize available = screen() != nullptr ? screen()->availableSize() : QSize(900, 560);
    resize(QSize(1000, 600).boundedTo(available * 9 / 10));

    // The content first, then the buttons.
    QWidget* order[] = {reportBox_, &updates_->FilterBox(), &updates_->Table(), &tree_->Tree(),
                        &tree_->Details(), problems_,
                        selectButton_, folderButton_, clearButton_, closeButton, stopButton_};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }

    UseSystemDialogs();
    showError = [](QWidget* owner, const QString& text) {
        QMessageBox::critical(owner, MainDialog::tr("Veskari"), text);
    };
    confirmDiscard = [](QWidget* owner) {
        if (!RecentPaths::AskBeforeDiscarding()) {
            return true;
        }
        QMessageBox box(QMessageBox::Question, MainDialog::tr("Veskari"),
                        MainDialog::tr("Close the window and discard the analysis that was not saved?"),
                        QMessageBox::Discard | QMessageBox::Cancel, owner);
        box.setDefaultButton(QMessageBox::Cancel);
        auto* again = new QCheckBox(MainDialog::tr("Do not ask again"), &box);
        box.setCheckBox(again);
        const bool discard = box.exec() == QMessageBox::Discard;
        if (discard && again->isChecked()) {
            RecentPaths::SetAskBeforeDiscarding(false);
        }
        return discard;
    };

    thread_ = new QThread(this);
    worker_ = new AnalysisWorker(language);
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    // Output is taken at most twenty times a second: each take wakes this
    // thread, and on a machine whose cores all analyse, every wake-up
    // stops an analysis for a moment. Until it is taken the worker tells
    // no more.
    takeTimer_.setSingleShot(true);
    takeTimer_.setInterval(50);
    connect(&takeTimer_, &QTimer::timeout, this, &MainDialog::TakeOutput);
    connect(worker_, &AnalysisWorker::OutputReady, this, [this] {
        if (!takeTimer_.isActive()) {
            takeTimer_.start();
        }
    });
    connect(worker_, &AnalysisWorker::CommandFinished, this, &MainDialog::OnCommandFinished);
    connect(worker_, &AnalysisWorker::ExtractionFinished, this, &MainDialog::OnExtractionFinished);
    thread_->start();
}

MainDialog::~MainDialog()
{
    StopWorker();
}

void MainDialog::BuildMenus(QMenu& file, QMenu& edit, QMenu& help)
{
    const auto add = [this](QMenu& menu, const QString& text, const QKeySequence& keys, auto slot) {
        QAction* action = menu.addAction(text, this, slot);
        action->setShortcut(keys);
        addAction(action);  // the shortcut works while the menu bar is hidden, too
        return action;
    };
    idleActions_.push_back(add(file, tr("Select &File..."), QKeySequence::Open, &MainDialog::OnSelectFile));
    idleActions_.push_back(add(file, tr("Open F&older..."), QKeySequence(), &MainDialog::OnOpenFolder));
    QMenu* recent = file.addMenu(tr("&Recent Paths"));
    idleActions_.push_back(recent->menuAction());
    connect(recent, &QMenu::aboutToShow, this, [this, recent] { FillRecentMenu(*recent); });
    file.addSeparator();
    idleActions_.push_back(add(file, tr("&Save..."), QKeySequence::Save, &MainDialog::OnSave));
    // Taking updates and members out: of the selection, or of everything.
    QList<QAction*> extraction = {
        add(file, tr("Save Selected Item &As..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
            &MainDialog::OnSaveItemAs),
        add(file, tr("E&xtract All Updates..."), QKeySequence(Qt::CTRL | Qt::Key_E), [this] { OnExtractAll(false); }),
        add(file, tr("Extract All Updates and &Members..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
            [this] { OnExtractAll(true); })};
    idleActions_.append(extraction);
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    updates_->Table().addAction(separator);
    updates_->Table().addActions(extraction);
    tree_->Tree().setContextMenuPolicy(Qt::ActionsContextMenu);
    tree_->Tree().addActions(extraction);
    file.addSeparator();
    add(file, tr("&Close"), QKeySequence(), &MainDialog::reject);

    add(edit, tr("&Find..."), QKeySequence::Find, &MainDialog::OnFind);
    add(edit, tr("Find &Next"), QKeySequence::FindNext, [this] { findBar_->FindNext(); });
    add(edit, tr("Find &Previous"), QKeySequence::FindPrevious, [this] { findBar_->FindPrevious(); });
    edit.addSeparator();
    stopAction_ = add(edit, tr("S&top"), QKeySequence(), &MainDialog::StopCommand);
    stopAction_->setEnabled(false);
    idleActions_.push_back(add(edit, tr("C&lear"), QKeySequence(), &MainDialog::OnClear));
    edit.addSeparator();
    // Off by default: the report then lists exactly the classic updates.
    allFormatsAction_ = edit.addAction(tr("List Updates of &Every Format"));
    allFormatsAction_->setCheckable(true);
    allFormatsAction_->setChecked(RecentPaths::AllFormats());
    connect(allFormatsAction_, &QAction::toggled, this, [this](bool checked) {
        RecentPaths::SetAllFormats(checked);
        status_->SetAllFormats(checked);
    });
    status_->SetAllFormats(allFormatsAction_->isChecked());
    help.addAction(guideAction_);
    help.addSeparator();
    help.addAction(aboutAction_);
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
        reportLog_->Flush();
        updates_->Flush();
        SetBusy(false);
        emit Idle();
        return;
    }
    SetBusy(true);
    const QList<QByteArray> paths = pending_.front();
    pending_.pop_front();
    const bool allFormats = allFormatsAction_->isChecked();
    commandAllFormats_ = allFormats;
    record_->BeginCommand(paths, allFormats);
    status_->CommandStarted();
    QMetaObject::invokeMethod(worker_, "Run", Qt::QueuedConnection, Q_ARG(QList<QByteArray>, paths),
                              Q_ARG(bool, reportLog_->IsEmpty()), Q_ARG(bool, allFormats));
}

void MainDialog::TakeOutput()
{
    takeTimer_.stop();
    Delivery output = worker_->TakeOutput();
    reportLog_->AppendReport(output.report);
    for (UnitOutput& unit : output.units) {
        // The table keeps the rows; the tree and the record for Save show them.
        const std::span<const output::UpdateRow> rows = updates_->Add(std::move(unit.updates));
        record_->AddUnit(unit, rows);
        tree_->Add(std::move(unit.tree), unit.events, rows, commandAllFormats_);
        problems_->Add(unit.findings);
        unsaved_ = true;
    }
}

QStringList MainDialog::Problems() const
{
    return problems_->Lines();
}

void MainDialog::OnCommandFinished(const CommandEnd& end)
{
    TakeOutput();
    record_->EndCommand(end);
    status_->Add(end);
    if (end.summary.stopped && !end.summary.failure) {
        // A stopped run must not look complete: the list says so, too.
        const std::size_t left = end.filesNotAnalysed.value_or(0);
        problems_->AddLine(!end.filesNotAnalysed ? tr("Stopped: the files after the last one analysed were not analysed")
                           : left == 1           ? tr("Stopped: 1 file not analysed")
                                                 : tr("Stopped: %1 files not analysed").arg(left));
        for (const QByteArray& path : std::exchange(dropped_, {})) {
            problems_->AddLine(tr("%1: not analysed, the analysis was stopped")
                                   .arg(QString::fromStdString(VisibleText(path.toStdString()))));
        }
    }
    dropped_.clear();
    if (!end.errorText.isEmpty()) {
        // The paths of the failed command that were not analysed are dropped;
        // the report stays.
        QApplication::restoreOverrideCursor();
        showError(this, end.errorText);
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    StartNextCommand();
}

void MainDialog::SetBusy(bool busy)
{
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    for (QWidget* button : {static_cast<QWidget*>(selectButton_), static_cast<QWidget*>(folderButton_),
                            static_cast<QWidget*>(clearButton_)}) {
        button->setEnabled(!busy);
    }
    for (QAction* action : idleActions_) {
        action->setEnabled(!busy);
    }
    stopButton_->setEnabled(busy);
    stopAction_->setEnabled(busy);
    // An extraction shows its own progress and leaves the summary of the
    // analyses as it was.
    if (busy) {
        if (!extracting_) {
            status_->Begin();
        }
        // Busy, not waiting: the window can be read, searched and stopped meanwhile.
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        if (!extracting_) {
            status_->Finish(static_cast<std::size_t>(problems_->Count()));
        }
        QApplication::restoreOverrideCursor();
    }
}

QString MainDialog::StatusText() const
{
    return status_->Text();
}

void MainDialog::OnClear()
{
    if (busy_) {
        return;
    }
    reportLog_->Clear();
    record_->Clear();  // the record and the tree first: they show the table's rows
    tree_->Clear();
    updates_->Clear();
    problems_->Clear();
    status_->Clear();
    unsaved_ = false;
}

void MainDialog::StopCommand()
{
    if (busy_) {
        for (const QList<QByteArray>& command : pending_) {
            dropped_.append(command);
        }
    }
    pending_.clear();
    worker_->RequestStop();
}

void MainDialog::OnFind()
{
    if (views_->currentIndex() == 1) {
        updates_->FilterBox().setFocus();
        updates_->FilterBox().selectAll();
        return;
    }
    findBar_->Open();
}

void MainDialog::ShowView(int view)
{
    views_->setCurrentIndex(view);
}

void MainDialog::OnAbout()
{
    AboutDialog about(this);
    about.exec();
}

void MainDialog::OnGuide()
{
    // One guide window, kept while the main window lives: F1 again brings
    // it forward where the reader left it.
    if (guide_ == nullptr) {
        guide_ = new GuideWindow(language_, this);
    }
    guide_->show();
    guide_->raise();
    guide_->activateWindow();
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
        ShowDropTarget(true);
    }
}

void MainDialog::dragLeaveEvent(QDragLeaveEvent* event)
{
    ShowDropTarget(false);
    QDialog::dragLeaveEvent(event);
}

void MainDialog::ShowDropTarget(bool shown)
{
    // While files are over the window, its content is framed in the
    // highlight colour and the status bar says what a drop will do.
    views_->setStyleSheet(shown ? QStringLiteral("QTabWidget::pane { border: 3px solid palette(highlight); }")
                                : QString());
    if (shown) {
        status_->showMessage(busy_ ? tr("Drop to analyse after the running command")
                                   : tr("Drop to analyse these files and folders"));
    } else {
        status_->clearMessage();
    }
}

void MainDialog::dropEvent(QDropEvent* event)
{
    ShowDropTarget(false);
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
        AnalyzeChosen(paths);
    }
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(aboutAction_);
    menu.exec(event->globalPos());
}

void MainDialog::keyPressEvent(QKeyEvent* event)
{
    // Escape while a command runs stops it, keeping the window and its
    // report: closing is what a reader in the middle of a long run least
    // wants to happen by accident. Without a command it closes, as Close does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && busy_) {
        StopCommand();
        return;
    }
    // Escape is easily pressed by accident: with results not saved it asks
    // first. Close, which is chosen on purpose, does not.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && unsaved_ &&
        !confirmDiscard(this)) {
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainDialog::reject()
{
    // Close: stop the running command at its next poll (within
    // milliseconds, also inside a large file), then close.
    StopWorker();
    if (busy_) {
        busy_ = false;
        QApplication::restoreOverrideCursor();
    }
    QDialog::reject();
}

}  // namespace veskari
