#include "updates_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "update_table_model.h"

namespace veskari {

UpdatesView::UpdatesView(QWidget* parent) : QWidget(parent)
{
    model_ = new UpdateTableModel(this);
    proxy_ = new UpdateFilterProxy(*model_, this);

    filter_ = new QLineEdit(this);
    filter_->setPlaceholderText(tr("Filter: CPUID or revision (0x686, cpuid 0x686, rev 0x2A), or text in names"));
    filter_->setToolTip(tr("A number in hex keeps the updates whose CPUID or revision is that number; "
                           "\"cpuid\" or \"rev\" before it, that field only. Other text keeps the updates "
                           "whose file, member, package or processor holds it."));
    filter_->setClearButtonEnabled(true);
    filter_->setAcceptDrops(false);  // dropped files go to the window
    count_ = new QLabel(this);
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        proxy_->SetFilterText(text);
        UpdateCount();
    });

    table_ = new QTableView(this);
    table_->setModel(proxy_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    // No column may shrink below its heading, and long names are shortened
    // in the middle, where a path's folders are, not at its end.
    table_->horizontalHeader()->setMinimumSectionSize(table_->fontMetrics().horizontalAdvance(QStringLiteral("0x00000")));
    table_->setTextElideMode(Qt::ElideMiddle);
    table_->horizontalHeader()->setResizeContentsPrecision(200);
    // Analysis order until a column is chosen; a third click returns to it.
    table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table_->horizontalHeader()->setSortIndicatorClearable(true);
    table_->setSortingEnabled(true);

    auto* copy = new QAction(tr("&Copy"), table_);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &UpdatesView::CopySelection);
    table_->addAction(copy);
    table_->setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(model_, &QAbstractItemModel::rowsInserted, this, [this] {
        SizeColumns();
        UpdateCount();
    });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        sized_ = false;
        UpdateCount();
    });

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(100);
    connect(&flushTimer_, &QTimer::timeout, this, &UpdatesView::Flush);

    auto* top = new QHBoxLayout;
    top->addWidget(filter_, 1);
    top->addWidget(count_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    UpdateCount();
}

void UpdatesView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    SizeColumns();
}

void UpdatesView::SizeColumns()
{
    // Once, by the first rows the table shows: measuring text is the
    // costliest part of adding rows, so it waits until someone looks.
    if (!isVisible() || model_->rowCount() == 0) {
        return;
    }
    const bool first = !sized_;
    if (first) {
        sized_ = true;
        table_->resizeColumnsToContents();
    }
    // Every column in view at the window's size: names take at most a
    // share of the width, numbers what they need. A name column sized by
    // short first rows grows when longer names arrive, up to its share.
    QHeaderView& header = *table_->horizontalHeader();
    constexpr std::pair<output::CsvColumn, int> kNames[] = {{output::CsvColumn::path, 28},
                                                            {output::CsvColumn::memberChain, 20},
                                                            {output::CsvColumn::package, 16},
                                                            {output::CsvColumn::processor, 28}};
    int width = table_->viewport()->width();
    for (int index = 0; index < model_->columnCount(); ++index) {
        if (std::none_of(std::begin(kNames), std::end(kNames),
                         [index](const auto& name) { return static_cast<int>(name.first) == index; })) {
            // The numbers keep what they need (the last column's size
            // is stretched, so its hint counts, not its size).
            width -= std::max(static_cast<QAbstractItemView*>(table_)->sizeHintForColumn(index),
                              header.sectionSizeHint(index));
        }
    }
    width = std::max(width, 200);
    for (const auto& [column, percent] : kNames) {
        const int index = static_cast<int>(column);
        const int least =
            header.fontMetrics().horizontalAdvance(model_->headerData(index, Qt::Horizontal).toString()) + 16;
        const int wanted = std::max(
            least, std::min(static_cast<QAbstractItemView*>(table_)->sizeHintForColumn(index), width * percent / 100));
        if (first || header.sectionSize(index) < wanted) {
            header.resizeSection(index, wanted);
        }
    }
}

std::span<const output::UpdateRow> UpdatesView::Add(std::vector<output::UpdateRow>&& rows)
{
    const std::span<const output::UpdateRow> kept = model_->Keep(std::move(rows));
    if (!kept.empty() && !flushTimer_.isActive()) {
        flushTimer_.start();
    }
    return kept;
}

void UpdatesView::Flush()
{
    flushTimer_.stop();
    model_->ShowKept();
}

void UpdatesView::Clear()
{
    flushTimer_.stop();
    // A filter left from before would hide every new row.
    filter_->clear();
    model_->Clear();
}

void UpdatesView::UpdateCount()
{
    const int shown = proxy_->rowCount();
    const int total = model_->rowCount();
    count_->setText(tr("%1 of %2").arg(shown).arg(total));
    emit CountChanged(shown, total);
}

QString UpdatesView::SelectedText() const
{
    QModelIndexList rows = table_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex& index : rows) {
        const int source = proxy_->mapToSource(index).row();
        for (int column = 0; column < model_->columnCount(); ++column) {
            text += (column == 0 ? QString() : QStringLiteral("\t")) + model_->CellText(source, column);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

void UpdatesView::CopySelection() const
{
    QApplication::clipboard()->setText(SelectedText());
}

}  // namespace veskari
