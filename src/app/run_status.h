#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>
#include <cstddef>
#include <functional>

#include "analysis_worker.h"

class QProgressBar;
class QTimer;

namespace veskari {

/// A one-line label that never asks for more width than it is given: its
/// text is elided in the middle, and the whole text is its tooltip. A long
/// path in it must not widen the window.
class ElidedLabel final : public QLabel {
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    void SetFullText(const QString& text);
    [[nodiscard]] const QString& FullText() const noexcept { return full_; }
    [[nodiscard]] QSize minimumSizeHint() const override;
    [[nodiscard]] QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();
    QString full_;
};

/// The status bar. While commands run: a busy indicator as long as the
/// files to analyse are still being counted, then the fraction done by
/// bytes of the top-level files (moving inside a large file too), the
/// files done of all files and the path analysed last, polled ten times a
/// second. When they have ended: a summary of everything since the last
/// Clear (files, members, updates, the problems listed and the time), and
/// after a stop how many files were not analysed. The layout of updates
/// listed (classic only, or every format) is shown at its right all along.
class RunStatus final : public QStatusBar {
    Q_OBJECT

public:
    explicit RunStatus(std::function<CommandProgress()> poll, QWidget* parent = nullptr);

    /// The window has begun its first command since it was last idle.
    void Begin();
    /// A command of it starts: its progress begins at nothing.
    void CommandStarted();
    /// A command has ended.
    void Add(const CommandEnd& end);
    /// Every queued command has ended: shows the summary, with `problems`
    /// items listed as not analysed.
    void Finish(std::size_t problems);
    void Clear();
    /// An extraction runs: its progress is shown, then `outcome` in place
    /// of the summary, which stays what it was.
    void ExtractionStarted();
    void ExtractionEnded(const QString& outcome);
    /// Shows which layouts of updates are listed.
    void SetAllFormats(bool all);
    /// The whole status text (the label elides it to fit).
    [[nodiscard]] QString Text() const;
    [[nodiscard]] QString FormatsText() const;
    /// The fraction of the running command done, from 0 to 1; negative
    /// while its files are still being counted.
    [[nodiscard]] double Fraction() const noexcept { return fraction_; }

signals:
    /// The fraction shown has changed (negative: busy, not yet known).
    void FractionShown(double fraction);

private:
    void ShowProgress();

    std::function<CommandProgress()> poll_;
    ElidedLabel* text_ = nullptr;
    QLabel* formats_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QTimer* timer_ = nullptr;
    QElapsedTimer elapsed_;
    qint64 milliseconds_ = 0;  // of the commands since Clear
    std::size_t files_ = 0;
    std::size_t members_ = 0;
    std::size_t updates_ = 0;
    std::size_t notAnalysed_ = 0;
    bool notCounted_ = false;  // a stop came before the files were counted
    bool stopped_ = false;
    bool failed_ = false;
    double fraction_ = -1;
    bool extracting_ = false;
    QString summary_;  // what an extraction's progress covers
};

}  // namespace veskari
