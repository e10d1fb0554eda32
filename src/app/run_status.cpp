#include "run_status.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>

#include "platform/visible_text.h"

namespace veskari {

RunStatus::RunStatus(std::function<CommandProgress()> poll, QWidget* parent)
    : QStatusBar(parent), poll_(std::move(poll))
{
    setSizeGripEnabled(false);
    text_ = new QLabel(this);
    text_->setTextFormat(Qt::PlainText);
    bar_ = new QProgressBar(this);
    bar_->setMaximumWidth(160);
    bar_->setTextVisible(false);
    bar_->setVisible(false);
    addWidget(text_, 1);
    addPermanentWidget(bar_);
    timer_ = new QTimer(this);
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &RunStatus::ShowProgress);
}

void RunStatus::Begin()
{
    files_ = members_ = updates_ = problems_ = 0;
    stopped_ = failed_ = false;
    elapsed_.start();
    bar_->setVisible(true);
    timer_->start();
    ShowProgress();
}

void RunStatus::Add(const CommandEnd& end, std::size_t problems)
{
    files_ += end.summary.files;
    members_ += end.summary.members;
    updates_ += end.summary.updates;
    problems_ += problems;
    stopped_ = stopped_ || end.summary.stopped;
    failed_ = failed_ || end.summary.failure.has_value();
}

void RunStatus::Finish()
{
    timer_->stop();
    bar_->setVisible(false);
    const QString outcome = failed_ ? tr("Ended by an error.") : stopped_ ? tr("Stopped.") : tr("Done.");
    text_->setText(outcome + QLatin1Char(' ') +
                   tr("Files: %1  Members: %2  Updates: %3  Problems: %4  Time: %5 s")
                       .arg(files_)
                       .arg(members_)
                       .arg(updates_)
                       .arg(problems_)
                       .arg(static_cast<double>(elapsed_.elapsed()) / 1000.0, 0, 'f', 2));
}

void RunStatus::Clear()
{
    text_->clear();
}

QString RunStatus::Text() const
{
    return text_->text();
}

void RunStatus::ShowProgress()
{
    const CommandProgress progress = poll_();
    bar_->setMaximum(static_cast<int>(std::max<std::size_t>(progress.run.found, 1)));
    bar_->setValue(static_cast<int>(progress.run.done));
    text_->setText(tr("Analysing: %1 of %2 files: %3")
                       .arg(progress.run.done)
                       .arg(progress.run.found)
                       .arg(QString::fromStdString(VisibleText(progress.currentPath.toStdString()))));
}

}  // namespace veskari
