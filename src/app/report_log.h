#pragma once

#include <QString>
#include <QTimer>
#include <string>

#include "analysis/report_sink.h"

class QPlainTextEdit;

namespace veskari {

/// The report of the window: its text (with the report's own CR LF line
/// endings) and the box that shows it. The box gets new text at most ten
/// times a second, added to its end without setting the whole text again:
/// each addition costs a layout and a scroll of the view, and a folder of
/// many small files appends thousands of times a second. The box follows
/// new text while its view is at the bottom, also when the box changes its
/// height; a reader who has scrolled up stays where they are until they
/// scroll back to the end.
class ReportLog final : public ReportSink {
public:
    explicit ReportLog(QPlainTextEdit& box);
    ~ReportLog();
    ReportLog(const ReportLog&) = delete;
    ReportLog& operator=(const ReportLog&) = delete;

    [[nodiscard]] bool IsEmpty() const override { return text_.empty(); }
    void AppendReport(const std::string& text) override;
    /// Shows in the box what was appended and not yet shown.
    void Flush();
    void Clear();
    [[nodiscard]] const std::string& Text() const noexcept { return text_; }
    /// The text with LF line endings, as veskari-scan prints it.
    [[nodiscard]] std::string LfText() const;

private:
    QPlainTextEdit& box_;
    std::string text_;
    QString unshown_;  // appended, not yet in the box
    QTimer flushTimer_;
    bool following_ = true;
    QMetaObject::Connection scrolled_;
    QMetaObject::Connection resized_;
};

}  // namespace veskari
