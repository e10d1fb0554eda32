#pragma once

#include <QTimer>
#include <QWidget>
#include <span>
#include <vector>

#include "output/csv_output.h"

class QLabel;
class QLineEdit;
class QTableView;

namespace veskari {

class UpdateFilterProxy;
class UpdateTableModel;

/// The table of updates: a filter box above a sortable table. Rows in the
/// order the table shows them copy as tab-separated text. New rows reach
/// the table at most ten times a second: each addition re-sorts and
/// repaints, and a folder of many small files delivers thousands of rows
/// a second.
class UpdatesView final : public QWidget {
    Q_OBJECT

public:
    explicit UpdatesView(QWidget* parent = nullptr);

    /// Adds rows after those already there; the table shows them at its
    /// next flush, and they stay where the result says until Clear.
    std::span<const output::UpdateRow> Add(std::vector<output::UpdateRow>&& rows);
    /// Puts the rows added so far into the table.
    void Flush();
    void Clear();

    [[nodiscard]] UpdateTableModel& Model() noexcept { return *model_; }
    [[nodiscard]] UpdateFilterProxy& Proxy() noexcept { return *proxy_; }
    [[nodiscard]] QTableView& Table() noexcept { return *table_; }
    [[nodiscard]] QLineEdit& FilterBox() noexcept { return *filter_; }

    /// The selected rows as the table shows them: the cells of a row joined
    /// by tabs, each row ending with a line feed.
    [[nodiscard]] QString SelectedText() const;
    void CopySelection() const;

signals:
    /// The number of rows shown or in the table has changed.
    void CountChanged(int shown, int total);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SizeColumns();
    void UpdateCount();

    UpdateTableModel* model_ = nullptr;
    UpdateFilterProxy* proxy_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QLabel* count_ = nullptr;
    QTableView* table_ = nullptr;
    QTimer flushTimer_;
    bool sized_ = false;
};

}  // namespace veskari
