#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <compare>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class QMenu;

namespace veskari {

/// A place in the report: a line, and a column counted in the UTF-16
/// units of that line's text.
struct ReportPoint {
    qsizetype line = 0;
    qsizetype column = 0;
    friend auto operator<=>(const ReportPoint&, const ReportPoint&) = default;
};

/// The report box: a read-only view of the report, without wrapping. It
/// keeps the report's bytes as they are (UTF-8, CR LF) with where each line
/// starts, and makes the text of a line only to draw it, find in it or copy
/// it. A report of a large folder has tens of thousands of lines, and a text
/// document lays out and stores every line it is given: here adding a line
/// costs finding its end.
///
/// The text is selected with the mouse (a double click takes a word, a
/// triple click the line) or with Shift and the keys that walk the caret
/// (arrows, Ctrl with the arrows by word, Home, End, Page Up, Page Down,
/// Ctrl+Home, Ctrl+End), and copied with Ctrl+C or the context menu; where
/// the system has a selection clipboard, what is selected goes there too.
/// Space pages, Ctrl with the wheel or with + and - zooms. Assistive
/// technology reads the text, the caret and the selection. What is appended
/// shows at the next Refresh; while the view is at the bottom it follows the
/// end, also when its height changes, and a reader who has scrolled up
/// stays where they are.
class ReportView final : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit ReportView(QWidget* parent = nullptr);

    /// Adds bytes at the end; they show at the next Refresh.
    void Append(std::string_view bytes);
    /// Shows what was appended: the scroll ranges, the end followed, the lines drawn.
    void Refresh();
    void Clear();

    /// The report's bytes, as appended.
    [[nodiscard]] const std::string& Bytes() const noexcept { return bytes_; }
    /// Lines, the last one after the last line end (empty when the text ends with one).
    [[nodiscard]] qsizetype LineCount() const noexcept { return static_cast<qsizetype>(lineStarts_.size()); }
    [[nodiscard]] QString LineText(qsizetype line) const;
    /// The whole text with LF line ends, as shown.
    [[nodiscard]] QString PlainText() const;

    [[nodiscard]] ReportPoint Caret() const noexcept { return caret_; }
    [[nodiscard]] ReportPoint Anchor() const noexcept { return anchor_; }
    [[nodiscard]] ReportPoint End() const;
    [[nodiscard]] bool HasSelection() const noexcept { return anchor_ != caret_; }
    /// The selected text, its lines joined by LF.
    [[nodiscard]] QString SelectedText() const;
    /// Selects from `from` to `to`, the caret at `to`, and scrolls it into view.
    void Select(ReportPoint from, ReportPoint to);
    void SelectAll();
    /// Puts the selected text on the clipboard (nothing when none is selected).
    void Copy() const;
    /// Selects the next match of `text` after the selection (or the one
    /// before it), ignoring case and going around the report's ends; false,
    /// with the selection unchanged, when the report holds none.
    bool Find(const QString& text, bool backward);
    /// Copy and Select All, for a context menu; the caller owns the menu.
    [[nodiscard]] QMenu* CreateContextMenu(QWidget* parent);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class ReportAccessible;

    enum class Motion { nextChar, previousChar, nextWord, previousWord, nextLine, previousLine, lineStart, lineEnd,
                        nextPage, previousPage, start, end };

    [[nodiscard]] std::string_view LineBytes(qsizetype line) const noexcept;
    [[nodiscard]] qsizetype LineLength(qsizetype line) const { return LineText(line).size(); }
    [[nodiscard]] int LineHeight() const;
    [[nodiscard]] int VisibleLines() const;
    [[nodiscard]] int TextLeft() const;  // where column 0 is drawn, in the viewport
    [[nodiscard]] int XOf(const QString& line, qsizetype column) const;
    /// The column of `line` nearest to x (from column 0), never inside a character.
    [[nodiscard]] qsizetype ColumnAt(const QString& line, int x) const;
    [[nodiscard]] ReportPoint PointAt(QPoint at) const;
    /// Where a column is drawn, in the viewport.
    [[nodiscard]] QRect CellRect(ReportPoint point) const;
    [[nodiscard]] ReportPoint Moved(ReportPoint from, Motion motion) const;
    void MoveCaret(ReportPoint to, bool extend);
    void EnsureVisible(ReportPoint point);
    void UpdateScrollBars();
    /// Puts the selection on the system's selection clipboard, where there is one.
    void ShareSelection() const;
    void Zoom(int steps);
    /// Tells assistive technology that the caret or the selection moved.
    void TellCaret() const;
    /// Where each line starts in the text as assistive technology counts
    /// it (UTF-16 units, lines joined by one character), up to `line`.
    [[nodiscard]] qsizetype OffsetOf(ReportPoint point) const;
    [[nodiscard]] ReportPoint PointAtOffset(qsizetype offset) const;

    std::string bytes_;
    std::vector<std::size_t> lineStarts_{0};  // the byte where each line starts
    std::size_t widestColumns_ = 0;           // the widest line's columns, to size the horizontal range
    int widestDrawn_ = 0;                     // the widest line drawn so far, in pixels
    qsizetype rangeLines_ = 1;                // the lines the scroll ranges were set for
    mutable std::vector<qsizetype> lineOffsets_{0};  // OffsetOf's count, made as far as it was asked
    std::size_t shownBytes_ = 0;              // the bytes shown at the last Refresh
    // A press on the line of a double click, soon after it, selects the line.
    qsizetype doubleClickLine_ = -1;
    quint64 doubleClickTime_ = 0;
    ReportPoint anchor_;
    ReportPoint caret_;
    bool following_ = true;
    bool selecting_ = false;
};

}  // namespace veskari
