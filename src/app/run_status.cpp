#include "run_status.h"

#include <QProgressBar>
#include <QTimer>
#include <algorithm>

#include "platform/visible_text.h"

namespace veskari {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::SetFullText(const QString& text)
{
    full_ = text;
    setToolTip(text);
    Elide();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const
{
    return {0, QLabel::sizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Elide();
}

void ElidedLabel::Elide()
{
    setText(fontMetrics().elidedText(full_, Qt::ElideMiddle, std::max(0, contentsRect().width())));
}

RunStatus::RunStatus(std::function<CommandProgress()> poll, QWidget* parent)
    : QStatusBar(parent), poll_(std::move(poll))
{
    setSizeGripEnabled(false);
    text_ = new ElidedLabel(this);
    bar_ = new QProgressBar(this);
    bar_->setMaximumWidth(160);
    bar_->setTextVisible(false);
    bar_->setVisible(false);
    formats_ = new QLabel(this);
    addWidget(text_, 1);
    addPermanentWidget(bar_);
    addPermanentWidget(formats_);
    timer_ = new QTimer(this);
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &RunStatus::ShowProgress);
}

void RunStatus::SetAllFormats(bool all)
{
    formats_->setText(all ? tr("All formats") : tr("Classic format only"));
    formats_->setToolTip(all ? tr("Updates of every published layout are listed")
                             : tr("Only updates of the classic layout are listed (Edit, List Updates of Every Format)"));
}

QString RunStatus::FormatsText() const
{
    return formats_->text();
}

void RunStatus::Begin()
{
    stopped_ = failed_ = notCounted_ = false;
    notAnalysed_ = 0;
    elapsed_.start();
    bar_->setVisible(true);
    timer_->start();
    CommandStarted();
}

void RunStatus::CommandStarted()
{
    fraction_ = -1;
    ShowProgress();
}

void RunStatus::Add(const CommandEnd& end)
{
    files_ += end.summary.files;
    members_ += end.summary.members;
    updates_ += end.summary.updates;
    failed_ = failed_ || end.summary.failure.has_value();
    if (end.summary.stopped) {
        stopped_ = true;
        if (end.filesNotAnalysed) {
            notAnalysed_ += *end.filesNotAnalysed;
        } else {
            notCounted_ = true;
        }
    } else if (!end.summary.failure) {
        fraction_ = 1;
        emit FractionShown(fraction_);
    }
}

void RunStatus::Finish(std::size_t problems)
{
    timer_->stop();
    bar_->setVisible(false);
    milliseconds_ += elapsed_.elapsed();
    QString outcome = failed_ ? tr("Ended by an error.") : tr("Done.");
    if (stopped_ && !failed_) {
        outcome = notCounted_ ? tr("Stopped: files after the last one analysed were not analysed.")
                    : notAnalysed_ == 1 ? tr("Stopped: 1 file not analysed.")
                                        : tr("Stopped: %1 files not analysed.").arg(notAnalysed_);
    }
    text_->SetFullText(outcome + QLatin1Char(' ') +
                       tr("Files: %1  Members: %2  Updates: %3  Problems: %4  Time: %5 s")
                           .arg(files_)
                           .arg(members_)
                           .arg(updates_)
                           .arg(problems)
                           .arg(static_cast<double>(milliseconds_) / 1000.0, 0, 'f', 2));
}

void RunStatus::Clear()
{
    files_ = members_ = updates_ = 0;
    milliseconds_ = 0;
    text_->SetFullText(QString());
}

void RunStatus::ExtractionStarted()
{
    extracting_ = true;
    summary_ = text_->FullText();
    fraction_ = -1;
    bar_->setVisible(true);
    timer_->start();
    ShowProgress();
}

void RunStatus::ExtractionEnded(const QString& outcome)
{
    extracting_ = false;
    timer_->stop();
    bar_->setVisible(false);
    text_->SetFullText(outcome.isEmpty() ? summary_ : outcome + QLatin1Char(' ') + summary_);
}

QString RunStatus::Text() const
{
    return text_->FullText();
}

void RunStatus::ShowProgress()
{
    const CommandProgress progress = poll_();
    const QString path = QString::fromStdString(VisibleText(progress.currentPath.toStdString()));
    if (!progress.run.measured) {
        // Still counting: the fraction would only be a guess.
        bar_->setRange(0, 0);
        text_->SetFullText((extracting_ ? tr("Extracting: %1 files done, still counting: %2")
                                        : tr("Analysing: %1 files done, still counting: %2"))
                               .arg(progress.run.done)
                               .arg(path));
        return;
    }
    const RunProgress& run = progress.run;
    double fraction = run.bytesTotal > 0 ? static_cast<double>(run.bytesDone) / static_cast<double>(run.bytesTotal)
                      : run.filesTotal > 0 ? static_cast<double>(run.done) / static_cast<double>(run.filesTotal)
                                           : 0.0;
    // Files may grow while they are analysed; what is shown never goes back.
    fraction = std::clamp(fraction, std::max(fraction_, 0.0), 1.0);
    if (fraction != fraction_) {
        fraction_ = fraction;
        emit FractionShown(fraction_);
    }
    constexpr int kSteps = 1000;
    bar_->setRange(0, kSteps);
    bar_->setValue(static_cast<int>(fraction_ * kSteps));
    text_->SetFullText((extracting_ ? tr("Extracting: %1 of %2 files: %3") : tr("Analysing: %1 of %2 files: %3"))
                           .arg(std::min(run.done, run.filesTotal))
                           .arg(run.filesTotal)
                           .arg(path));
}

}  // namespace veskari
