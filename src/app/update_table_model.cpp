#include "update_table_model.h"

#include <QRegularExpression>
#include <algorithm>

#include <QColor>

#include "microcode/update_layout.h"
#include "output/standing_output.h"
#include "platform/visible_text.h"

namespace veskari {
namespace {

using output::CsvColumn;

// The table shows the CSV's columns up to the standing; what the CSV adds
// about the standing is in the standing cell's tooltip.
constexpr int kColumns = static_cast<int>(CsvColumn::standing) + 1;

// Older updates and uncovered ones stand out; newest and newer ones read plainly.
QVariant StandingColour(Standing standing)
{
    switch (standing) {
    case Standing::older:
        return QColor(0xC0, 0x50, 0x00);
    case Standing::notCovered:
        return QColor(0x80, 0x80, 0x80);
    case Standing::newest:
    case Standing::newer:
        break;
    }
    return {};
}

std::string LowerAscii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

template <typename T>
int Compare(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

std::span<const output::UpdateRow> UpdateTableModel::Keep(std::vector<output::UpdateRow>&& rows)
{
    if (rows.empty()) {
        return {};
    }
    // Moving a vector keeps its elements where they are.
    const std::vector<output::UpdateRow>& kept = kept_.emplace_back(std::move(rows));
    for (const output::UpdateRow& row : kept) {
        unshown_.push_back(&row);
    }
    return kept;
}

void UpdateTableModel::ShowKept()
{
    if (unshown_.empty()) {
        return;
    }
    const int first = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(unshown_.size()) - 1);
    rows_.insert(rows_.end(), unshown_.begin(), unshown_.end());
    unshown_.clear();
    endInsertRows();
}

void UpdateTableModel::Clear()
{
    beginResetModel();
    rows_.clear();
    unshown_.clear();
    kept_.clear();
    searchTexts_.clear();
    endResetModel();
}

QString UpdateTableModel::CellText(int row, int column) const
{
    const output::UpdateRow& entry = *rows_[static_cast<std::size_t>(row)];
    switch (static_cast<CsvColumn>(column)) {
    case CsvColumn::path:
    case CsvColumn::memberChain:
        return QString::fromStdString(VisibleText(output::CsvFields(entry)[static_cast<std::size_t>(column)]));
    case CsvColumn::checksumValid:
        return entry.update.checksumValid ? tr("valid") : tr("invalid");
    case CsvColumn::standing:
        return StandingText(entry);
    default:
        return QString::fromStdString(output::CsvFields(entry)[static_cast<std::size_t>(column)]);
    }
}

QVariant UpdateTableModel::StandingColour(Standing standing)
{
    return veskari::StandingColour(standing);
}

QString UpdateTableModel::StandingText(const output::UpdateRow& row)
{
    if (row.reference == nullptr) {
        return {};
    }
    switch (row.standing.standing) {
    case Standing::newest:
        return tr("newest");
    case Standing::older:
        return tr("older: 0x%1 published")
            .arg(QString::number(row.standing.newestRevision, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    case Standing::newer:
        return tr("newer than published");
    case Standing::notCovered:
        break;
    }
    return tr("not covered");
}

QString UpdateTableModel::StandingWordsText(const output::UpdateRow& row)
{
    if (row.reference == nullptr) {
        return {};
    }
    const UpdateStanding& standing = row.standing;
    const ReleaseReference& reference = *row.reference;
    const auto span = [&reference](std::size_t first, std::size_t last) {
        return QString::fromStdString(VisibleText(output::ReleaseSpan(reference, first, last)));
    };
    const QString revision =
        QStringLiteral("0x%1").arg(QString::number(standing.newestRevision, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    const QString newest = tr("Rev. %1 of %2 (%3)")
                               .arg(revision,
                                    standing.newestDate == 0
                                        ? QString()
                                        : QString::fromStdString(update_layout::DateText(standing.newestDate)),
                                    span(standing.newestFirstRelease, standing.newestLastRelease));
    switch (standing.standing) {
    case Standing::newest:
        return tr("newest published (in %1)").arg(span(standing.firstRelease, standing.lastRelease));
    case Standing::older:
        return standing.published ? tr("older: %1 is the newest published; this revision was published in %2")
                                        .arg(newest, span(standing.firstRelease, standing.lastRelease))
                                  : tr("older: %1 is the newest published; this revision was never published").arg(newest);
    case Standing::newer:
        return tr("newer than any published: the newest published is %1").arg(newest);
    case Standing::notCovered:
        break;
    }
    return standing.flagsZeroUnmatched
               ? tr("not covered: platform flags 0 match only updates published without a platform, and this "
                    "processor's were published for other platforms")
               : tr("not covered: no published update for this processor and platform");
}

bool UpdateTableModel::Less(int row, int other, int column) const
{
    const output::UpdateRow& rowA = *rows_[static_cast<std::size_t>(row)];
    const output::UpdateRow& rowB = *rows_[static_cast<std::size_t>(other)];
    const UpdateRecord& a = rowA.update;
    const UpdateRecord& b = rowB.update;
    int order = 0;
    switch (static_cast<CsvColumn>(column)) {
    case CsvColumn::path:
        order = Compare(rowA.path, rowB.path);
        break;
    case CsvColumn::memberChain:
        order = Compare(rowA.members, rowB.members);
        break;
    case CsvColumn::offset:
        order = Compare(a.offset, b.offset);
        break;
    case CsvColumn::cpuid:
        order = Compare(a.LineSignature(), b.LineSignature());
        break;
    case CsvColumn::platformFlags:
        order = Compare(a.LinePlatformFlags(), b.LinePlatformFlags());
        break;
    case CsvColumn::revision:
        order = Compare(a.header.revision, b.header.revision);
        break;
    case CsvColumn::date:  // year, month and day at fixed widths
        order = Compare(a.header.dateText, b.header.dateText);
        break;
    case CsvColumn::package:
        order = Compare(a.LinePackage(), b.LinePackage());
        break;
    case CsvColumn::processor:
        order = Compare(a.LineProcessor(), b.LineProcessor());
        break;
    case CsvColumn::checksumValid:
        order = Compare(a.checksumValid, b.checksumValid);
        break;
    case CsvColumn::standing:
        order = Compare(rowA.standing.standing, rowB.standing.standing);
        break;
    default:  // not shown
        break;
    }
    return order < 0;
}

bool UpdateTableModel::Matches(int row, const std::string& needle) const
{
    while (searchTexts_.size() <= static_cast<std::size_t>(row)) {
        // The names only, apart, so that no match runs from one into the
        // next: numbers are matched by their value, never as text.
        std::string text;
        const auto fields = output::CsvFields(*rows_[searchTexts_.size()]);
        for (const CsvColumn column : {CsvColumn::path, CsvColumn::memberChain, CsvColumn::package,
                                       CsvColumn::processor}) {
            text += LowerAscii(VisibleText(fields[static_cast<std::size_t>(column)]));
            text += '\n';
        }
        searchTexts_.push_back(std::move(text));
    }
    return searchTexts_[static_cast<std::size_t>(row)].find(needle) != std::string::npos;
}

std::uint32_t UpdateTableModel::Cpuid(int row) const
{
    return rows_[static_cast<std::size_t>(row)]->update.LineSignature();
}

std::uint32_t UpdateTableModel::Revision(int row) const
{
    return rows_[static_cast<std::size_t>(row)]->update.header.revision;
}

int UpdateTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int UpdateTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant UpdateTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const auto column = static_cast<CsvColumn>(index.column());
    if (role == Qt::DisplayRole) {
        return CellText(index.row(), index.column());
    }
    const output::UpdateRow& entry = *rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::ForegroundRole && column == CsvColumn::checksumValid && !entry.update.checksumValid) {
        return QColor(0xC0, 0x00, 0x00);  // a damaged or altered update
    }
    if (role == Qt::ForegroundRole && entry.reference != nullptr) {
        return StandingColour(entry.standing.standing);
    }
    if (role == Qt::ToolTipRole && column == CsvColumn::standing && entry.reference != nullptr) {
        return StandingWordsText(entry);
    }
    if (role == Qt::TextAlignmentRole) {
        const bool number = column == CsvColumn::offset || column == CsvColumn::cpuid ||
                            column == CsvColumn::platformFlags || column == CsvColumn::revision;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

QVariant UpdateTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (static_cast<CsvColumn>(section)) {
    case CsvColumn::path:
        return tr("File");
    case CsvColumn::memberChain:
        return tr("Member");
    case CsvColumn::offset:
        return tr("Offset");
    case CsvColumn::cpuid:
        return tr("CPUID");
    case CsvColumn::platformFlags:
        return tr("Platform flags");
    case CsvColumn::revision:
        return tr("Revision");
    case CsvColumn::date:
        return tr("Date");
    case CsvColumn::package:
        return tr("Package");
    case CsvColumn::processor:
        return tr("Processor");
    case CsvColumn::checksumValid:
        return tr("Checksum");
    case CsvColumn::standing:
        return tr("Standing");
    default:  // not shown
        break;
    }
    return {};
}

UpdateFilterProxy::UpdateFilterProxy(UpdateTableModel& model, QObject* parent)
    : QSortFilterProxyModel(parent), model_(model)
{
    setSourceModel(&model);
}

void UpdateFilterProxy::SetFilterText(const QString& text)
{
    std::string needle = LowerAscii(text.trimmed().toStdString());
    // "cpuid 0x686", "rev: 0x2a", "0x686": a field and a number in hex.
    static const QRegularExpression numberPattern(
        QStringLiteral("^(?:(cpuid|rev|revision)\\s*:?\\s*)?0x([0-9a-f]{1,8})$"));
    const QRegularExpressionMatch match = numberPattern.match(QString::fromStdString(needle));
    Field field = Field::none;
    std::uint32_t number = 0;
    if (match.hasMatch()) {
        const QString word = match.captured(1);
        field = word.isEmpty() ? Field::number : word == QStringLiteral("cpuid") ? Field::cpuid : Field::revision;
        number = match.captured(2).toUInt(nullptr, 16);
    }
    if (needle != needle_ || field != field_ || number != number_) {
        needle_ = std::move(needle);
        field_ = field;
        number_ = number;
        // All at once: a filter that removes rows one run at a time tells
        // the view of every run, which takes seconds on 100,000 rows.
        invalidate();
    }
}

bool UpdateFilterProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    return model_.Less(left.row(), right.row(), left.column());
}

bool UpdateFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex& /*sourceParent*/) const
{
    switch (field_) {
    case Field::cpuid:
        return model_.Cpuid(sourceRow) == number_;
    case Field::revision:
        return model_.Revision(sourceRow) == number_;
    case Field::number:
        return model_.Cpuid(sourceRow) == number_ || model_.Revision(sourceRow) == number_;
    case Field::none:
        break;
    }
    return needle_.empty() || model_.Matches(sourceRow, needle_);
}

}  // namespace veskari
