#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>

#include "platform/file_error.h"

namespace veskari {

/// Runs the commands of the window off its thread: each command analyses
/// its paths in order, as the synchronous design would, and sends the
/// report text back as it grows. A file error ends the command.
class AnalysisWorker : public QObject {
    Q_OBJECT

public:
    explicit AnalysisWorker(Language language) : language_(language) {}

    /// Ends the running command at the next file boundary; thread-safe.
    void RequestStop() noexcept { stop_.store(true); }

public slots:
    /// Analyses `paths`; `reportEmpty` tells whether the report was empty
    /// when the command began (nothing else writes to it while it runs).
    void Run(const QStringList& paths, bool reportEmpty);

signals:
    void ReportAppended(const QByteArray& text);
    /// The command has ended; `errorText` is empty unless a file error ended it.
    void CommandFinished(const QString& errorText);

private:
    Language language_;
    std::atomic<bool> stop_{false};
};

}  // namespace veskari
