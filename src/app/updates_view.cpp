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
    filter_->setPlaceholderText(tr("Filter: text or CPUID"));
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
    if (!sized_ && isVisible() && model_->rowCount() > 0) {
        sized_ = true;
        table_->resizeColumnsToContents();
    }
}

void UpdatesView::Add(std::vector<output::UpdateRow>&& rows)
{
    if (rows.empty()) {
        return;
    }
    if (unshown_.empty()) {
        unshown_ = std::move(rows);
    } else {
        unshown_.insert(unshown_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    }
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void UpdatesView::Flush()
{
    flushTimer_.stop();
    model_->Append(std::move(unshown_));
    unshown_.clear();
}

void UpdatesView::Clear()
{
    flushTimer_.stop();
    unshown_.clear();
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
