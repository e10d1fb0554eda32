#include "report_log.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

namespace veskari {

void ReportLog::AppendReport(const std::string& text)
{
    text_ += text;
    // The box shows lines; its line separator stands for CR LF.
    QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor(box_.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    box_.verticalScrollBar()->setValue(box_.verticalScrollBar()->maximum());
}

void ReportLog::Clear()
{
    text_.clear();
    box_.clear();
}

}  // namespace veskari
