#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "output/csv_output.h"

namespace veskari {

/// Every accepted update of what the window analysed, in report order, one
/// row each, with the columns of the CSV output up to the standing; older
/// and uncovered updates are coloured, an invalid checksum in red.
class UpdateTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    /// Keeps `rows` without showing them yet; they stay where they are
    /// until Clear, so that the tree shows the very same rows.
    std::span<const output::UpdateRow> Keep(std::vector<output::UpdateRow>&& rows);
    /// Shows the rows kept and not shown yet, after those shown.
    void ShowKept();
    void Append(std::vector<output::UpdateRow>&& rows)
    {
        Keep(std::move(rows));
        ShowKept();
    }
    void Clear();
    /// The rows shown, in report order.
    [[nodiscard]] const std::vector<const output::UpdateRow*>& Rows() const noexcept { return rows_; }

    /// The text a cell shows: the CSV field, names with unprintable bytes
    /// shown as \xHH, the checksum verdict in words.
    [[nodiscard]] QString CellText(int row, int column) const;
    /// The standing in a few words: "older: 0x2B published".
    [[nodiscard]] static QString StandingText(const output::UpdateRow& row);
    /// The standing in words, in the window's language: what the command
    /// line's --verbose says in English.
    [[nodiscard]] static QString StandingWordsText(const output::UpdateRow& row);
    /// The colour of an older or uncovered update (none for the others),
    /// which the tree of updates shares.
    [[nodiscard]] static QVariant StandingColour(Standing standing);
    /// Whether `row` sorts before `other` by `column`: numbers by value,
    /// texts by their bytes.
    [[nodiscard]] bool Less(int row, int other, int column) const;
    /// Whether a name of `row` (file, member chain, package, processor)
    /// holds `needle` (UTF-8, ASCII letters in lower case), ignoring the
    /// case of ASCII letters.
    [[nodiscard]] bool Matches(int row, const std::string& needle) const;
    [[nodiscard]] std::uint32_t Cpuid(int row) const;
    [[nodiscard]] std::uint32_t Revision(int row) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;

private:
    std::vector<std::vector<output::UpdateRow>> kept_;  // every row, in the vectors they came in
    std::vector<const output::UpdateRow*> rows_;         // shown
    std::vector<const output::UpdateRow*> unshown_;      // kept and not shown yet
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

    /// Shows the rows that `text` asks for; empty shows all. A number in
    /// hex ("0x686") keeps the rows whose CPUID or revision is that number,
    /// "cpuid 0x686" or "rev 0x2A" only that field (a colon may follow the
    /// word); any other text keeps the rows whose names (file, member
    /// chain, package, processor) hold it, in any case.
    void SetFilterText(const QString& text);

protected:
    [[nodiscard]] bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    [[nodiscard]] bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    enum class Field { none, cpuid, revision, number };
    UpdateTableModel& model_;
    std::string needle_;
    Field field_ = Field::none;  // none: `needle_` is text
    std::uint32_t number_ = 0;
};

}  // namespace veskari
