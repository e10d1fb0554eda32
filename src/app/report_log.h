#pragma once

#include <string>

#include "analysis/report_sink.h"

class QPlainTextEdit;

namespace veskari {

/// The report of the window: its text (with the report's own CR LF line
/// endings) and the box that shows it. Appending adds to the end of the
/// box and keeps the last line in view, without setting the whole text
/// again, so that a report of many thousand lines stays fast.
class ReportLog final : public ReportSink {
public:
    explicit ReportLog(QPlainTextEdit& box) : box_(box) {}

    [[nodiscard]] bool IsEmpty() const override { return text_.empty(); }
    void AppendReport(const std::string& text) override;
    void Clear();
    [[nodiscard]] const std::string& Text() const noexcept { return text_; }

private:
    QPlainTextEdit& box_;
    std::string text_;
};

}  // namespace veskari
