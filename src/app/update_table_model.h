#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <string>
#include <vector>

#include "output/csv_output.h"

namespace veskari {

/// Every accepted update of what the window analysed, in report order, one
/// row each, with the columns of the CSV output up to the standing; older
/// and uncovered updates are coloured.
class UpdateTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void Append(std::vector<output::UpdateRow>&& rows);
    void Clear();
    [[nodiscard]] const std::vector<output::UpdateRow>& Rows() const noexcept { return rows_; }

    /// The text a cell shows: the CSV field, names with unprintable bytes
    /// shown as \xHH, the checksum verdict in words.
    [[nodiscard]] QString CellText(int row, int column) const;
    /// The standing in a few words: "older: 0x2B published".
    [[nodiscard]] static QString StandingText(const output::UpdateRow& row);
    /// Whether `row` sorts before `other` by `column`: numbers by value,
    /// texts by their bytes.
    [[nodiscard]] bool Less(int row, int other, int column) const;
    /// Whether a column of `row` holds `needle` (UTF-8, ASCII letters in
    /// lower case), ignoring the case of ASCII letters.
    [[nodiscard]] bool Matches(int row, const std::string& needle) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;

private:
    std::vector<output::UpdateRow> rows_;
    // Each row's shown texts in lower case, made when a filter first asks;
    // rows are only ever added, so what is made stays right.
    mutable std::vector<std::string> searchTexts_;
};

/// Sorts and filters the table of updates through the model's own
/// comparisons, which need no QVariant per comparison: 100,000 rows sort
/// in well under a second.
class UpdateFilterProxy final : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit UpdateFilterProxy(UpdateTableModel& model, QObject* parent = nullptr);

    /// Shows the rows of which a column holds `text` (any case); empty shows all.
    void SetFilterText(const QString& text);

protected:
    [[nodiscard]] bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    [[nodiscard]] bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    UpdateTableModel& model_;
    std::string needle_;
};

}  // namespace veskari
