#pragma once

#include <QElapsedTimer>
#include <QStatusBar>
#include <cstddef>
#include <functional>

#include "analysis_worker.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace veskari {

/// The status bar: while commands run, the files done of the files found
/// so far and the path analysed last, polled ten times a second; when they
/// have ended, a summary of all of them: files, members, updates, problems
/// and the time they took.
class RunStatus final : public QStatusBar {
    Q_OBJECT

public:
    explicit RunStatus(std::function<CommandProgress()> poll, QWidget* parent = nullptr);

    /// The window has begun its first command since it was last idle.
    void Begin();
    /// A command has ended; `problems` counts what the window listed for it.
    void Add(const CommandEnd& end, std::size_t problems);
    /// Every queued command has ended: shows the summary.
    void Finish();
    void Clear();
    [[nodiscard]] QString Text() const;

private:
    void ShowProgress();

    std::function<CommandProgress()> poll_;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QTimer* timer_ = nullptr;
    QElapsedTimer elapsed_;
    std::size_t files_ = 0;
    std::size_t members_ = 0;
    std::size_t updates_ = 0;
    std::size_t problems_ = 0;
    bool stopped_ = false;
    bool failed_ = false;
};

}  // namespace veskari
