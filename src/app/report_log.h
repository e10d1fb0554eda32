#pragma once

#include <QTimer>
#include <string>

#include "analysis/report_sink.h"

namespace veskari {

class ReportView;

/// The report of the window, kept by the box that shows it (with the
/// report's own CR LF line endings). The box shows new text at most ten
/// times a second: each showing sets its scroll ranges and draws it, and a
/// folder of many small files appends thousands of times a second.
class ReportLog final : public ReportSink {
public:
    explicit ReportLog(ReportView& box);
    ReportLog(const ReportLog&) = delete;
    ReportLog& operator=(const ReportLog&) = delete;

    [[nodiscard]] bool IsEmpty() const override;
    void AppendReport(const std::string& text) override;
    /// Shows in the box what was appended and not yet shown.
    void Flush();
    void Clear();
    [[nodiscard]] const std::string& Text() const noexcept;
    /// The text with LF line endings, as veskari-scan prints it.
    [[nodiscard]] std::string LfText() const;

private:
    ReportView& box_;
    QTimer flushTimer_;
};

}  // namespace veskari
