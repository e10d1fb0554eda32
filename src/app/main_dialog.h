#pragma once

#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

#include "platform/file_error.h"

class QMenu;
class QPushButton;
class QTabWidget;
class QThread;

namespace veskari {

class AnalysisRecord;
class AnalysisWorker;
class FindBar;
class GuideWindow;
class ProblemsView;
class ReportLog;
class ReportView;
class RunStatus;
class UpdatesView;
class UpdateTreeView;
struct CommandEnd;
struct ExtractionEnd;
struct ExtractionOrder;

/// What Save writes.
enum class SaveFormat { report, reportCrLf, csv, json };

/// The main window: the report box on the left, Select File, Open Folder,
/// Clear, Close and Stop on the right; the table of updates in a second tab
/// beside the report and the tree of where each update sits in a third; what could not be analysed below them; progress in a
/// status bar. Selected and dropped paths are analysed off the window's
/// thread, one command after another, in the order given; the report grows
/// exactly as it would if every command ran synchronously.
class MainDialog : public QDialog {
    Q_OBJECT

public:
    explicit MainDialog(Language language, QWidget* parent = nullptr);
    ~MainDialog() override;

    /// Queues one command that analyses these paths in order.
    void AnalyzePaths(const QStringList& paths);
    /// The same for paths given as the local 8-bit bytes of their names,
    /// which need not be valid UTF-8.
    void AnalyzeLocalPaths(const QList<QByteArray>& paths);
    /// What could not be analysed since the last Clear, one line each.
    [[nodiscard]] QStringList Problems() const;
    [[nodiscard]] bool IsBusy() const noexcept { return busy_; }
    [[nodiscard]] const ReportLog& Log() const noexcept { return *reportLog_; }
    [[nodiscard]] ReportLog& Log() noexcept { return *reportLog_; }
    [[nodiscard]] ReportView& ReportBox() const noexcept { return *reportBox_; }
    [[nodiscard]] UpdatesView& Updates() const noexcept { return *updates_; }
    [[nodiscard]] UpdateTreeView& Tree() const noexcept { return *tree_; }
    [[nodiscard]] FindBar& Finder() const noexcept { return *findBar_; }
    /// The status bar's text: progress while a command runs, then the summary.
    [[nodiscard]] QString StatusText() const;
    /// The bytes that Save writes in `format`.
    [[nodiscard]] QByteArray SavedBytes(SaveFormat format) const;
    /// Shows the report (0), the table of updates (1) or the tree (2).
    void ShowView(int view);

    /// Asks the user for files; by default the platform's open-file dialog.
    std::function<QStringList(QWidget* parent, const QString& title, const QString& filter)> chooseFiles;
    /// Asks the user for a folder; by default the platform's folder dialog.
    std::function<QString(QWidget* parent, const QString& title)> chooseFolder;
    /// Asks where to save and in which format (`format` holds the suggested
    /// one); an empty path cancels. By default the platform's save dialog.
    std::function<QString(QWidget* parent, SaveFormat& format)> chooseSaveFile;
    /// Shows a file error; by default a message box with the stop icon.
    std::function<void(QWidget* parent, const QString& text)> showError;
    /// Asks where to save one update or member; `name` is the name that
    /// `veskari-scan --extract` gives it. An empty path cancels.
    std::function<QString(QWidget* parent, const QString& name)> chooseItemFile;
    /// Asks whether results not saved may be discarded; by default a
    /// question with "Do not ask again", which is remembered.
    std::function<bool(QWidget* parent)> confirmDiscard;

    /// Whether something was analysed since the last Clear or Save.
    [[nodiscard]] bool HasUnsavedResults() const noexcept { return unsaved_; }
    [[nodiscard]] RunStatus& Status() const noexcept { return *status_; }
    [[nodiscard]] ProblemsView& ProblemList() const noexcept { return *problems_; }
    /// The user guide's window, once F1 or Help has opened it.
    [[nodiscard]] GuideWindow* Guide() const noexcept { return guide_; }

signals:
    /// Every queued command has ended.
    void Idle();

public slots:
    void OnSelectFile();
    void OnOpenFolder();
    void OnClear();
    void OnSave();
    void OnAbout();
    /// Shows the user guide in a window of its own, in the window's language.
    void OnGuide();
    /// Writes the update or member selected in the table or the tree, read
    /// again from its file, into a file the user chooses.
    void OnSaveItemAs();
    /// Writes every update (with `members`, every decoded member too) of
    /// what was analysed since Clear into a folder the user chooses, as
    /// `veskari-scan --extract` writes them.
    void OnExtractAll(bool members);
    /// Stops the running command at its next poll and drops the commands
    /// queued behind it; the report so far stays.
    void StopCommand();
    /// Close: stops the running command, then closes the window.
    void reject() override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    /// Escape while a command runs stops it; otherwise it closes the
    /// window, after asking when there are results not saved.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildMenus(QMenu& file, QMenu& edit, QMenu& help);
    void UseSystemDialogs();
    void FillRecentMenu(QMenu& menu);
    void AnalyzeChosen(const QList<QByteArray>& paths, const QByteArray& folder = QByteArray());
    void StartNextCommand();
    void TakeOutput();
    void OnCommandFinished(const CommandEnd& end);
    void OnFind();
    void SetBusy(bool busy);
    void StopWorker();
    void ShowDropTarget(bool shown);
    void StartExtraction(const ExtractionOrder& order);
    void OnExtractionFinished(const ExtractionEnd& end);

    Language language_;
    QTabWidget* views_ = nullptr;
    ReportView* reportBox_ = nullptr;
    FindBar* findBar_ = nullptr;
    UpdatesView* updates_ = nullptr;
    UpdateTreeView* tree_ = nullptr;
    QPushButton* selectButton_ = nullptr;
    QPushButton* folderButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* guideAction_ = nullptr;
    GuideWindow* guide_ = nullptr;
    QAction* allFormatsAction_ = nullptr;
    QAction* stopAction_ = nullptr;
    QList<QAction*> idleActions_;  // enabled only while no command runs
    std::unique_ptr<ReportLog> reportLog_;
    std::unique_ptr<AnalysisRecord> record_;
    QThread* thread_ = nullptr;
    AnalysisWorker* worker_ = nullptr;
    ProblemsView* problems_ = nullptr;
    RunStatus* status_ = nullptr;
    QList<QByteArray> dropped_;  // paths of the commands a stop dropped
    bool unsaved_ = false;
    QTimer takeTimer_;
    std::deque<QList<QByteArray>> pending_;
    bool busy_ = false;
    bool extracting_ = false;  // the busy command is an extraction
    bool commandAllFormats_ = false;  // the mode of the running analysis
};

}  // namespace veskari
