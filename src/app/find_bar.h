#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace veskari {

class ReportView;

/// Finds text in the report: a search box with Previous and Next, shown on
/// demand below the report. The search wraps around the report's ends and
/// ignores case; Enter finds the next match, Shift+Enter the previous one,
/// Escape hides the bar.
class FindBar final : public QWidget {
    Q_OBJECT

public:
    FindBar(ReportView& report, QWidget* parent = nullptr);

    /// Shows the bar with the search box focused and its text selected.
    void Open();
    [[nodiscard]] QLineEdit& SearchBox() noexcept { return *search_; }
    /// What the last search found: the number of matches, or that there is none.
    [[nodiscard]] QString ResultText() const;

public slots:
    /// Selects the next (or previous) match of the search text; false when
    /// the report holds none.
    bool FindNext();
    bool FindPrevious();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool Find(bool backward);

    ReportView& report_;
    QLineEdit* search_ = nullptr;
    QLabel* notFound_ = nullptr;
};

}  // namespace veskari
