#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <mutex>

#include "analysis/run_engine.h"
#include "platform/file_error.h"

namespace veskari {

/// Runs the commands of the window off its thread, through the run engine
/// that the command line uses too: each command analyses its paths in
/// order, in parallel, and sends the report text back in order as it grows.
class AnalysisWorker : public QObject {
    Q_OBJECT

public:
    explicit AnalysisWorker(Language language) : language_(language) {}

    /// Ends the running command at its next poll (within milliseconds,
    /// also inside one large file); thread-safe. Later commands run as usual.
    void RequestStop();
    /// Stops the running command and every later one: the window is closing.
    void Shutdown();

public slots:
    /// Analyses `paths` (the local 8-bit bytes of each path); `reportEmpty`
    /// tells whether the report was empty when the command began (nothing
    /// else writes to it while it runs).
    void Run(const QList<QByteArray>& paths, bool reportEmpty);

signals:
    void ReportAppended(const QByteArray& text);
    /// What could not be analysed in one top-level file or folder, each
    /// problem as one line in the user's language.
    void ProblemsFound(const QStringList& problems);
    /// The command has ended; `errorText` is empty unless an error ended it.
    void CommandFinished(const QString& errorText);

private:
    class Client;

    Language language_;
    std::mutex mutex_;
    RunEngine* engine_ = nullptr;  // the running command's, guarded by mutex_
    bool shuttingDown_ = false;    // guarded by mutex_
};

}  // namespace veskari
