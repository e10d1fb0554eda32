#include "report_log.h"

#include "report_view.h"

namespace veskari {

ReportLog::ReportLog(ReportView& box) : box_(box)
{
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(100);
    QObject::connect(&flushTimer_, &QTimer::timeout, &box_, [this] { Flush(); });
}

bool ReportLog::IsEmpty() const
{
    return box_.Bytes().empty();
}

const std::string& ReportLog::Text() const noexcept
{
    return box_.Bytes();
}

void ReportLog::AppendReport(const std::string& text)
{
    if (text.empty()) {
        return;
    }
    box_.Append(text);
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void ReportLog::Flush()
{
    flushTimer_.stop();
    box_.Refresh();
}

std::string ReportLog::LfText() const
{
    const std::string& text = Text();
    std::string lf;
    lf.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') {
            lf += text[i];
        }
    }
    return lf;
}

void ReportLog::Clear()
{
    flushTimer_.stop();
    box_.Clear();
}

}  // namespace veskari
