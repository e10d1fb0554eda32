#pragma once

#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

#include "platform/file_error.h"

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QThread;

namespace veskari {

class AnalysisWorker;
class ReportLog;

/// The main window: the report box on the left, Select File, Clear and
/// Close on the right. Selected and dropped paths are analysed off the
/// window's thread, one command after another, in the order given; the
/// report grows exactly as it would if every command ran synchronously.
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
    [[nodiscard]] QPlainTextEdit& ReportBox() const noexcept { return *reportBox_; }

    /// Asks the user for files; by default the platform's open-file dialog.
    std::function<QStringList(QWidget* parent, const QString& title, const QString& filter)> chooseFiles;
    /// Shows a file error; by default a message box with the stop icon.
    std::function<void(QWidget* parent, const QString& text)> showError;

signals:
    /// Every queued command has ended.
    void Idle();

public slots:
    void OnSelectFile();
    void OnClear();
    void OnAbout();
    /// Stops the running command at its next poll; queued commands go on.
    void StopCommand();
    /// Close and Escape: stops the running command at the next file
    /// boundary, then closes the window.
    void reject() override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void StartNextCommand();
    void OnReportAppended(const QByteArray& text);
    void OnProblemsFound(const QStringList& problems);
    void OnCommandFinished(const QString& errorText);
    void SetBusy(bool busy);
    void StopWorker();

    QPlainTextEdit* reportBox_ = nullptr;
    QPushButton* selectButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QAction* aboutAction_ = nullptr;
    std::unique_ptr<ReportLog> reportLog_;
    QThread* thread_ = nullptr;
    AnalysisWorker* worker_ = nullptr;
    QListWidget* problemsList_ = nullptr;
    QLabel* statusLine_ = nullptr;
    std::deque<QList<QByteArray>> pending_;
    bool busy_ = false;
};

}  // namespace veskari
