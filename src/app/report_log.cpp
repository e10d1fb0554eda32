#include "report_log.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace veskari {

ReportLog::ReportLog(QPlainTextEdit& box) : box_(box)
{
    QScrollBar& bar = *box_.verticalScrollBar();
    scrolled_ = QObject::connect(&bar, &QScrollBar::valueChanged, &box_,
                                 [this, &bar](int value) { following_ = value == bar.maximum(); });
    resized_ = QObject::connect(&bar, &QScrollBar::rangeChanged, &box_, [this, &bar](int /*minimum*/, int maximum) {
        if (following_) {
            bar.setValue(maximum);
        }
    });
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(100);
    QObject::connect(&flushTimer_, &QTimer::timeout, &box_, [this] { Flush(); });
}

ReportLog::~ReportLog()
{
    // The box may outlive the log by a moment (its window destroys it later).
    QObject::disconnect(scrolled_);
    QObject::disconnect(resized_);
}

void ReportLog::AppendReport(const std::string& text)
{
    if (text.empty()) {
        return;
    }
    text_ += text;
    // The box shows lines; its line separator stands for CR LF.
    unshown_ += QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void ReportLog::Flush()
{
    flushTimer_.stop();
    if (unshown_.isEmpty()) {
        return;
    }
    unshown_.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor(box_.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(unshown_);
    unshown_.clear();
    if (following_) {
        box_.verticalScrollBar()->setValue(box_.verticalScrollBar()->maximum());
    }
}

std::string ReportLog::LfText() const
{
    std::string lf;
    lf.reserve(text_.size());
    for (std::size_t i = 0; i < text_.size(); ++i) {
        if (text_[i] != '\r' || i + 1 == text_.size() || text_[i + 1] != '\n') {
            lf += text_[i];
        }
    }
    return lf;
}

void ReportLog::Clear()
{
    text_.clear();
    unshown_.clear();
    flushTimer_.stop();
    box_.clear();
}

}  // namespace veskari
