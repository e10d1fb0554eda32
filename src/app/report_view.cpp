#include "report_view.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

namespace veskari {
namespace {

// Room between the frame and the text, as a plain text box leaves.
constexpr int kMargin = 4;

bool IsWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// The columns a line of UTF-8 takes in a fixed-pitch font, East Asian
// characters two (half-width katakana and forms one), or no more than
// `known` when it cannot exceed it: a line has no more columns than bytes,
// so only lines longer than the widest so far are counted.
std::size_t Columns(std::string_view line, std::size_t known)
{
    if (line.size() <= known) {
        return known;
    }
    std::size_t columns = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if (byte < 0x80 || (byte >= 0xC0 && byte < 0xE0)) {
            ++columns;
        } else if (byte >= 0xE0) {
            const bool halfWidth = byte == 0xEF && i + 1 < line.size() &&
                                   (static_cast<unsigned char>(line[i + 1]) == 0xBD ||
                                    static_cast<unsigned char>(line[i + 1]) == 0xBE);
            columns += halfWidth ? 1 : 2;
        }
    }
    return columns;
}

}  // namespace

// Makes assistive technology see report boxes as read-only text (see
// report_view_accessible.cpp).
void InstallReportAccessibility();

ReportView::ReportView(QWidget* parent) : QAbstractScrollArea(parent)
{
    InstallReportAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int value) { following_ = value == verticalScrollBar()->maximum(); });
}

void ReportView::Append(std::string_view bytes)
{
    // A caret at the end, with nothing selected, stays at the end.
    const bool caretAtEnd = !HasSelection() && caret_ == End();
    const std::size_t old = bytes_.size();
    bytes_.append(bytes);
    const char* text = bytes_.data();
    for (std::size_t at = old; at < bytes_.size();) {
        const void* found = std::memchr(text + at, '\n', bytes_.size() - at);
        if (found == nullptr) {
            break;
        }
        at = static_cast<std::size_t>(static_cast<const char*>(found) - text) + 1;
        widestColumns_ = std::max(widestColumns_, Columns(std::string_view(bytes_).substr(lineStarts_.back(), at - 1 - lineStarts_.back()), widestColumns_));
        lineStarts_.push_back(at);
    }
    widestColumns_ = std::max(widestColumns_, Columns(std::string_view(bytes_).substr(lineStarts_.back()), widestColumns_));
    if (caretAtEnd) {
        anchor_ = caret_ = End();
    }
}

void ReportView::Refresh()
{
    UpdateScrollBars();
    viewport()->update();
    if (QAccessible::isActive() && shownBytes_ < bytes_.size()) {
        // The new text, at the end, for assistive technology.
        const std::string_view added = std::string_view(bytes_).substr(shownBytes_);
        QString text = QString::fromUtf8(added.data(), static_cast<qsizetype>(added.size()));
        text.remove(QLatin1Char('\r'));
        const ReportPoint end = End();
        QAccessibleTextInsertEvent inserted(this, static_cast<int>(OffsetOf(end) - text.size()), text);
        QAccessible::updateAccessibility(&inserted);
    }
    shownBytes_ = bytes_.size();
}

void ReportView::TellCaret() const
{
    if (!QAccessible::isActive()) {
        return;
    }
    auto* self = const_cast<ReportView*>(this);  // the events name the object, which they do not change
    if (HasSelection()) {
        const auto [from, to] = std::minmax(anchor_, caret_);
        QAccessibleTextSelectionEvent selected(self, static_cast<int>(OffsetOf(from)), static_cast<int>(OffsetOf(to)));
        selected.setCursorPosition(static_cast<int>(OffsetOf(caret_)));
        QAccessible::updateAccessibility(&selected);
    } else {
        QAccessibleTextCursorEvent moved(self, static_cast<int>(OffsetOf(caret_)));
        QAccessible::updateAccessibility(&moved);
    }
}

void ReportView::Clear()
{
    bytes_.clear();
    lineStarts_.assign(1, 0);
    widestColumns_ = 0;
    widestDrawn_ = 0;
    lineOffsets_.assign(1, 0);
    shownBytes_ = 0;
    anchor_ = caret_ = ReportPoint{};
    following_ = true;
    selecting_ = false;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    Refresh();
}

std::string_view ReportView::LineBytes(qsizetype line) const noexcept
{
    const auto index = static_cast<std::size_t>(line);
    const std::size_t start = lineStarts_[index];
    std::size_t end = index + 1 < lineStarts_.size() ? lineStarts_[index + 1] - 1 : bytes_.size();
    if (end > start && bytes_[end - 1] == '\r') {
        --end;  // the report's lines end in CR LF
    }
    return std::string_view(bytes_).substr(start, end - start);
}

QString ReportView::LineText(qsizetype line) const
{
    const std::string_view bytes = LineBytes(line);
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString ReportView::PlainText() const
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes_.size()));
    for (qsizetype line = 0; line < LineCount(); ++line) {
        if (line > 0) {
            text += QLatin1Char('\n');
        }
        text += LineText(line);
    }
    return text;
}

ReportPoint ReportView::End() const
{
    return {LineCount() - 1, LineLength(LineCount() - 1)};
}

QString ReportView::SelectedText() const
{
    const auto [from, to] = std::minmax(anchor_, caret_);
    if (from.line == to.line) {
        return LineText(from.line).mid(from.column, to.column - from.column);
    }
    QString text = LineText(from.line).mid(from.column);
    for (qsizetype line = from.line + 1; line < to.line; ++line) {
        text += QLatin1Char('\n');
        text += LineText(line);
    }
    text += QLatin1Char('\n');
    text += LineText(to.line).left(to.column);
    return text;
}

void ReportView::Select(ReportPoint from, ReportPoint to)
{
    anchor_ = from;
    caret_ = to;
    EnsureVisible(from);
    EnsureVisible(to);
    viewport()->update();
    ShareSelection();
    TellCaret();
}

void ReportView::SelectAll()
{
    anchor_ = ReportPoint{};
    caret_ = End();
    viewport()->update();
    ShareSelection();
    TellCaret();
}

void ReportView::ShareSelection() const
{
    QClipboard& clipboard = *QApplication::clipboard();
    if (HasSelection() && clipboard.supportsSelection()) {
        clipboard.setText(SelectedText(), QClipboard::Selection);
    }
}

void ReportView::Copy() const
{
    if (HasSelection()) {
        QApplication::clipboard()->setText(SelectedText());
    }
}

bool ReportView::Find(const QString& text, bool backward)
{
    if (text.isEmpty()) {
        return false;
    }
    const auto [selectionStart, selectionEnd] = std::minmax(anchor_, caret_);
    const qsizetype lines = LineCount();
    // Line by line from the selection on, then around the other end back to
    // where it began: a search text has no line end, so no match spans lines.
    for (qsizetype step = 0; step <= lines; ++step) {
        const qsizetype line = backward ? (selectionStart.line - step % lines + lines) % lines
                                        : (selectionEnd.line + step) % lines;
        const QString lineText = LineText(line);
        qsizetype at = -1;
        if (!backward) {
            at = lineText.indexOf(text, step == 0 ? selectionEnd.column : 0, Qt::CaseInsensitive);
        } else if (step > 0) {
            at = lineText.lastIndexOf(text, -1, Qt::CaseInsensitive);
        } else if (selectionStart.column > 0) {
            at = lineText.lastIndexOf(text, selectionStart.column - 1, Qt::CaseInsensitive);
        }
        if (at >= 0) {
            Select({line, at}, {line, at + text.size()});
            return true;
        }
    }
    return false;
}

QMenu* ReportView::CreateContextMenu(QWidget* parent)
{
    // Qt's own words for these entries, as a text box's menu has them.
    auto* menu = new QMenu(parent);
    QAction* copy = menu->addAction(QCoreApplication::translate("QWidgetTextControl", "&Copy"), this,
                                    &ReportView::Copy);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(HasSelection());
    QAction* all = menu->addAction(QCoreApplication::translate("QWidgetTextControl", "Select All"), this,
                                   &ReportView::SelectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(!bytes_.empty());
    return menu;
}

int ReportView::LineHeight() const
{
    return std::max(1, fontMetrics().lineSpacing());
}

int ReportView::VisibleLines() const
{
    return std::max(1, (viewport()->height() - 2 * kMargin) / LineHeight());
}

int ReportView::TextLeft() const
{
    return kMargin - horizontalScrollBar()->value();
}

int ReportView::XOf(const QString& line, qsizetype column) const
{
    return fontMetrics().horizontalAdvance(line.left(column));
}

void ReportView::UpdateScrollBars()
{
    const bool follow = following_;
    QScrollBar& vertical = *verticalScrollBar();
    const int visible = VisibleLines();
    vertical.setPageStep(visible);
    vertical.setRange(0, static_cast<int>(std::max<qsizetype>(0, LineCount() - visible)));
    if (follow) {
        vertical.setValue(vertical.maximum());
    }
    following_ = vertical.value() == vertical.maximum();
    rangeLines_ = LineCount();

    // The widest line is guessed from its columns in the font's digit
    // width, and widened once a line is drawn wider than that.
    QScrollBar& horizontal = *horizontalScrollBar();
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const qsizetype guessed = static_cast<qsizetype>(widestColumns_) * digit;
    const int widest = static_cast<int>(std::min<qsizetype>(std::max<qsizetype>(guessed, widestDrawn_), 1 << 30));
    const int room = viewport()->width() - 2 * kMargin;
    horizontal.setSingleStep(digit * 2);
    horizontal.setPageStep(std::max(1, room));
    horizontal.setRange(0, std::max(0, widest - room));
}

void ReportView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(viewport());
    const QFontMetrics metrics = fontMetrics();
    const int height = LineHeight();
    const int left = TextLeft();
    const qsizetype first = verticalScrollBar()->value();
    const qsizetype last = std::min(LineCount(), first + VisibleLines() + 1);
    const auto [from, to] = std::minmax(anchor_, caret_);
    const QPalette& colours = palette();
    int widest = widestDrawn_;
    for (qsizetype line = first; line < last; ++line) {
        const QString text = LineText(line);
        const int top = kMargin + static_cast<int>(line - first) * height;
        const int baseline = top + metrics.ascent();
        widest = std::max(widest, metrics.horizontalAdvance(text));
        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(left, baseline, text);
        if (from != to && line >= from.line && line <= to.line) {
            // The selected part: its background, and its text again over it.
            const int start = left + XOf(text, line == from.line ? from.column : 0);
            const int end = left + (line == to.line ? XOf(text, to.column)
                                                    : metrics.horizontalAdvance(text) + metrics.averageCharWidth());
            const QRect selected(start, top, end - start, height);
            painter.fillRect(selected, colours.color(QPalette::Highlight));
            painter.save();
            painter.setClipRect(selected);
            painter.setPen(colours.color(QPalette::HighlightedText));
            painter.drawText(left, baseline, text);
            painter.restore();
        }
        if (line == caret_.line && hasFocus()) {
            const int x = left + XOf(text, caret_.column);
            painter.fillRect(QRect(x, top, 1, height), colours.color(QPalette::Text));
        }
    }
    if (widest > widestDrawn_) {
        // A line wider than its bytes told: widen the range once painting is done.
        widestDrawn_ = widest;
        QTimer::singleShot(0, this, [this] { UpdateScrollBars(); });
    }
}

void ReportView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void ReportView::scrollContentsBy(int /*dx*/, int /*dy*/)
{
    viewport()->update();  // lines are drawn from the scroll bars' values
}

qsizetype ReportView::ColumnAt(const QString& line, int x) const
{
    // The last column that starts at or before x, then the nearer of it and the next.
    qsizetype low = 0;
    qsizetype high = line.size();
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (XOf(line, middle) <= x) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    if (low < line.size() && x - XOf(line, low) > XOf(line, low + 1) - x) {
        ++low;
    }
    if (low > 0 && low < line.size() && line[low].isLowSurrogate()) {
        --low;  // never between the halves of a character
    }
    return low;
}

ReportPoint ReportView::PointAt(QPoint at) const
{
    const qsizetype row = at.y() < kMargin ? -1 : (at.y() - kMargin) / LineHeight();
    const qsizetype line = std::clamp<qsizetype>(verticalScrollBar()->value() + row, 0, LineCount() - 1);
    return {line, ColumnAt(LineText(line), at.x() - TextLeft())};
}

QRect ReportView::CellRect(ReportPoint point) const
{
    const QString text = LineText(point.line);
    const int x = TextLeft() + XOf(text, point.column);
    const int width = point.column < text.size() ? XOf(text, point.column + 1) + TextLeft() - x
                                                 : fontMetrics().averageCharWidth();
    const int top = kMargin + static_cast<int>(point.line - verticalScrollBar()->value()) * LineHeight();
    return {x, top, std::max(1, width), LineHeight()};
}

ReportPoint ReportView::Moved(ReportPoint from, Motion motion) const
{
    const qsizetype lastLine = LineCount() - 1;
    const QString text = LineText(from.line);
    // Up and down keep the caret where it stands on the screen.
    const auto onLine = [&](qsizetype line) {
        line = std::clamp<qsizetype>(line, 0, lastLine);
        return ReportPoint{line, ColumnAt(LineText(line), XOf(text, from.column))};
    };
    switch (motion) {
    case Motion::nextChar:
        if (from.column < text.size()) {
            const bool pair = text[from.column].isHighSurrogate() && from.column + 1 < text.size();
            return {from.line, from.column + (pair ? 2 : 1)};
        }
        return from.line < lastLine ? ReportPoint{from.line + 1, 0} : from;
    case Motion::previousChar:
        if (from.column > 0) {
            const bool pair = from.column >= 2 && text[from.column - 1].isLowSurrogate();
            return {from.line, from.column - (pair ? 2 : 1)};
        }
        return from.line > 0 ? ReportPoint{from.line - 1, LineLength(from.line - 1)} : from;
    case Motion::nextWord: {
        // To the start of the next word, or past the line's end to the next line.
        if (from.column >= text.size()) {
            return from.line < lastLine ? ReportPoint{from.line + 1, 0} : from;
        }
        qsizetype column = from.column;
        while (column < text.size() && IsWordCharacter(text[column])) {
            ++column;
        }
        while (column < text.size() && !IsWordCharacter(text[column])) {
            ++column;
        }
        return {from.line, column};
    }
    case Motion::previousWord: {
        if (from.column == 0) {
            return from.line > 0 ? ReportPoint{from.line - 1, LineLength(from.line - 1)} : from;
        }
        qsizetype column = from.column;
        while (column > 0 && !IsWordCharacter(text[column - 1])) {
            --column;
        }
        while (column > 0 && IsWordCharacter(text[column - 1])) {
            --column;
        }
        return {from.line, column};
    }
    case Motion::nextLine:
        return onLine(from.line + 1);
    case Motion::previousLine:
        return onLine(from.line - 1);
    case Motion::lineStart:
        return {from.line, 0};
    case Motion::lineEnd:
        return {from.line, text.size()};
    case Motion::nextPage:
        return onLine(from.line + VisibleLines());
    case Motion::previousPage:
        return onLine(from.line - VisibleLines());
    case Motion::start:
        return {};
    case Motion::end:
        return End();
    }
    return from;
}

void ReportView::MoveCaret(ReportPoint to, bool extend)
{
    caret_ = to;
    if (!extend) {
        anchor_ = to;
    }
    EnsureVisible(caret_);
    viewport()->update();
    TellCaret();
}

void ReportView::EnsureVisible(ReportPoint point)
{
    if (rangeLines_ != LineCount()) {
        UpdateScrollBars();  // lines appended since the last refresh may be the ones to show
    }
    QScrollBar& vertical = *verticalScrollBar();
    const int visible = VisibleLines();
    if (point.line < vertical.value()) {
        vertical.setValue(static_cast<int>(point.line));
    } else if (point.line >= vertical.value() + visible) {
        vertical.setValue(static_cast<int>(point.line) - visible + 1);
    }
    QScrollBar& horizontal = *horizontalScrollBar();
    const int x = XOf(LineText(point.line), point.column);
    const int room = viewport()->width() - 2 * kMargin;
    if (x < horizontal.value()) {
        horizontal.setValue(std::max(0, x - room / 4));
    } else if (x > horizontal.value() + room) {
        if (x > horizontal.maximum() + room) {
            widestDrawn_ = std::max(widestDrawn_, x + room / 4);
            UpdateScrollBars();
        }
        horizontal.setValue(x - room * 3 / 4);
    }
}

bool ReportView::event(QEvent* event)
{
    // The report's own keys win over the window's shortcuts while it has the focus.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll) ||
            key->matches(QKeySequence::MoveToStartOfDocument) || key->matches(QKeySequence::MoveToEndOfDocument) ||
            key->matches(QKeySequence::ZoomIn) || key->matches(QKeySequence::ZoomOut)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void ReportView::keyPressEvent(QKeyEvent* event)
{
    // The keys that walk the caret, and whether they extend the selection.
    struct CaretKey {
        QKeySequence::StandardKey key;
        Motion motion;
        bool extend;
    };
    static constexpr CaretKey kCaretKeys[] = {
        {QKeySequence::MoveToNextChar, Motion::nextChar, false},
        {QKeySequence::MoveToPreviousChar, Motion::previousChar, false},
        {QKeySequence::MoveToNextWord, Motion::nextWord, false},
        {QKeySequence::MoveToPreviousWord, Motion::previousWord, false},
        {QKeySequence::MoveToNextLine, Motion::nextLine, false},
        {QKeySequence::MoveToPreviousLine, Motion::previousLine, false},
        {QKeySequence::MoveToStartOfLine, Motion::lineStart, false},
        {QKeySequence::MoveToEndOfLine, Motion::lineEnd, false},
        {QKeySequence::MoveToNextPage, Motion::nextPage, false},
        {QKeySequence::MoveToPreviousPage, Motion::previousPage, false},
        {QKeySequence::MoveToStartOfDocument, Motion::start, false},
        {QKeySequence::MoveToEndOfDocument, Motion::end, false},
        {QKeySequence::SelectNextChar, Motion::nextChar, true},
        {QKeySequence::SelectPreviousChar, Motion::previousChar, true},
        {QKeySequence::SelectNextWord, Motion::nextWord, true},
        {QKeySequence::SelectPreviousWord, Motion::previousWord, true},
        {QKeySequence::SelectNextLine, Motion::nextLine, true},
        {QKeySequence::SelectPreviousLine, Motion::previousLine, true},
        {QKeySequence::SelectStartOfLine, Motion::lineStart, true},
        {QKeySequence::SelectEndOfLine, Motion::lineEnd, true},
        {QKeySequence::SelectNextPage, Motion::nextPage, true},
        {QKeySequence::SelectPreviousPage, Motion::previousPage, true},
        {QKeySequence::SelectStartOfDocument, Motion::start, true},
        {QKeySequence::SelectEndOfDocument, Motion::end, true},
    };
    if (event->matches(QKeySequence::Copy)) {
        Copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    if (event->matches(QKeySequence::ZoomIn) || event->matches(QKeySequence::ZoomOut)) {
        Zoom(event->matches(QKeySequence::ZoomIn) ? 1 : -1);
        return;
    }
    for (const CaretKey& key : kCaretKeys) {
        if (event->matches(key.key)) {
            MoveCaret(Moved(caret_, key.motion), key.extend);
            if (key.extend) {
                ShareSelection();
            }
            return;
        }
    }
    if (event->key() == Qt::Key_Space && (event->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier) {
        // As in a page being read: Space pages down, Shift+Space up.
        verticalScrollBar()->triggerAction(event->modifiers() == Qt::ShiftModifier
                                               ? QAbstractSlider::SliderPageStepSub
                                               : QAbstractSlider::SliderPageStepAdd);
        return;
    }
    event->ignore();  // Escape, Enter and the rest are the window's
}

void ReportView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const ReportPoint at = PointAt(event->position().toPoint());
    if (at.line == doubleClickLine_ &&
        event->timestamp() - doubleClickTime_ < static_cast<quint64>(QApplication::doubleClickInterval())) {
        doubleClickLine_ = -1;
        Select({at.line, 0}, {at.line, LineLength(at.line)});
        return;
    }
    selecting_ = true;
    MoveCaret(at, event->modifiers().testFlag(Qt::ShiftModifier));
}

void ReportView::mouseMoveEvent(QMouseEvent* event)
{
    if (!selecting_) {
        return;
    }
    // Dragged past an edge: the view scrolls a line that way.
    const QPoint at = event->position().toPoint();
    if (at.y() < 0) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (at.y() > viewport()->height()) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    MoveCaret(PointAt(at), true);
}

void ReportView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !selecting_) {
        return;
    }
    selecting_ = false;
    ShareSelection();
}

void ReportView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const ReportPoint at = PointAt(event->position().toPoint());
    const QString text = LineText(at.line);
    qsizetype start = at.column;
    qsizetype end = at.column;
    while (start > 0 && IsWordCharacter(text[start - 1])) {
        --start;
    }
    while (end < text.size() && IsWordCharacter(text[end])) {
        ++end;
    }
    selecting_ = false;
    doubleClickLine_ = at.line;
    doubleClickTime_ = event->timestamp();
    Select({at.line, start}, {at.line, end});
}

void ReportView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        const int steps = event->angleDelta().y() / 120;
        if (steps != 0) {
            Zoom(steps);
        }
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void ReportView::Zoom(int steps)
{
    QFont zoomed = font();
    if (zoomed.pointSizeF() > 0) {
        zoomed.setPointSizeF(std::clamp(zoomed.pointSizeF() + steps, 4.0, 72.0));
    } else {
        zoomed.setPixelSize(std::clamp(zoomed.pixelSize() + steps, 6, 96));
    }
    setFont(zoomed);
}

qsizetype ReportView::OffsetOf(ReportPoint point) const
{
    // Counted once for each line, when first asked: only assistive
    // technology asks, and a report has tens of thousands of lines.
    const auto line = static_cast<std::size_t>(std::clamp<qsizetype>(point.line, 0, LineCount() - 1));
    while (lineOffsets_.size() <= line) {
        const auto known = static_cast<qsizetype>(lineOffsets_.size()) - 1;
        lineOffsets_.push_back(lineOffsets_.back() + LineLength(known) + 1);
    }
    return lineOffsets_[line] + point.column;
}

ReportPoint ReportView::PointAtOffset(qsizetype offset) const
{
    const ReportPoint end = End();
    if (offset >= OffsetOf(end)) {
        return end;
    }
    const auto after = std::upper_bound(lineOffsets_.begin(), lineOffsets_.end(), std::max<qsizetype>(offset, 0));
    const auto line = static_cast<qsizetype>(after - lineOffsets_.begin()) - 1;
    return {line, std::min(offset - lineOffsets_[static_cast<std::size_t>(line)], LineLength(line))};
}

void ReportView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();  // the caret shows
}

void ReportView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void ReportView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        widestDrawn_ = 0;
        UpdateScrollBars();
    }
}

}  // namespace veskari
