// What assistive technology (a screen reader, a magnifier) sees of the
// report box: read-only text of many lines, with its caret and selection.
// Offsets count UTF-16 units of the text with one character between lines.

#include <QAccessibleWidget>
#include <QScrollBar>
#include <algorithm>

#include "report_view.h"

namespace veskari {

class ReportAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ReportAccessible(ReportView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    QString text(QAccessible::Text type) const override
    {
        return type == QAccessible::Value ? View().PlainText() : QAccessibleWidget::text(type);
    }

    // The selection: at most one.
    void selection(int index, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (index == 0 && View().HasSelection()) {
            const auto [from, to] = std::minmax(View().Anchor(), View().Caret());
            *startOffset = Offset(from);
            *endOffset = Offset(to);
        }
    }
    int selectionCount() const override { return View().HasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int index) override
    {
        if (index == 0) {
            View().Select(View().Caret(), View().Caret());
        }
    }
    void setSelection(int index, int startOffset, int endOffset) override
    {
        if (index == 0) {
            View().Select(View().PointAtOffset(startOffset), View().PointAtOffset(endOffset));
        }
    }

    int cursorPosition() const override { return Offset(View().Caret()); }
    void setCursorPosition(int position) override { View().MoveCaret(View().PointAtOffset(position), false); }

    QString text(int startOffset, int endOffset) const override
    {
        const ReportPoint from = View().PointAtOffset(startOffset);
        const ReportPoint to = View().PointAtOffset(std::max(startOffset, endOffset));
        QString text;
        for (qsizetype line = from.line; line <= to.line; ++line) {
            const QString whole = View().LineText(line);
            const qsizetype start = line == from.line ? from.column : 0;
            text += whole.mid(start, (line == to.line ? to.column : whole.size()) - start);
            if (line < to.line) {
                text += QLatin1Char('\n');
            }
        }
        return text;
    }
    int characterCount() const override { return Offset(View().End()); }

    QRect characterRect(int offset) const override
    {
        const QRect cell = View().CellRect(View().PointAtOffset(offset));
        return QRect(View().viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        const QPoint at = View().viewport()->mapFromGlobal(point);
        return View().viewport()->rect().contains(at) ? Offset(View().PointAt(at)) : -1;
    }
    void scrollToSubstring(int startIndex, int endIndex) override
    {
        View().EnsureVisible(View().PointAtOffset(startIndex));
        View().EnsureVisible(View().PointAtOffset(endIndex));
    }
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = offset;  // plain text: no attributes
        return {};
    }

private:
    ReportView& View() const { return *static_cast<ReportView*>(widget()); }
    int Offset(ReportPoint point) const { return static_cast<int>(View().OffsetOf(point)); }
};

namespace {

QAccessibleInterface* MakeReportAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("veskari::ReportView") && object != nullptr && object->isWidgetType()) {
        return new ReportAccessible(static_cast<ReportView*>(object));
    }
    return nullptr;
}

}  // namespace

void InstallReportAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(MakeReportAccessible);
        return true;
    }();
    (void)installed;
}

}  // namespace veskari
