#include "find_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "report_view.h"

namespace veskari {

FindBar::FindBar(ReportView& report, QWidget* parent) : QWidget(parent), report_(report)
{
    auto* label = new QLabel(tr("Find:"), this);
    search_ = new QLineEdit(this);
    search_->setAcceptDrops(false);  // dropped files go to the window
    label->setBuddy(search_);
    auto* previous = new QPushButton(tr("Previous"), this);
    auto* next = new QPushButton(tr("Next"), this);
    for (QPushButton* button : {previous, next}) {
        button->setAutoDefault(false);
    }
    notFound_ = new QLabel(tr("Not found"), this);
    notFound_->setVisible(false);
    auto* close = new QToolButton(this);
    close->setText(QStringLiteral("×"));
    close->setAutoRaise(true);
    close->setToolTip(tr("Close the search bar"));
    connect(previous, &QPushButton::clicked, this, &FindBar::FindPrevious);
    connect(next, &QPushButton::clicked, this, &FindBar::FindNext);
    connect(close, &QToolButton::clicked, this, &QWidget::hide);
    connect(search_, &QLineEdit::textChanged, this, [this] { notFound_->setVisible(false); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(search_, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(notFound_);
    layout->addWidget(close);
    setVisible(false);
}

QString FindBar::ResultText() const
{
    return notFound_->text();
}

void FindBar::Open()
{
    setVisible(true);
    search_->setFocus();
    search_->selectAll();
}

bool FindBar::FindNext()
{
    return Find(false);
}

bool FindBar::FindPrevious()
{
    return Find(true);
}

bool FindBar::Find(bool backward)
{
    const QString text = search_->text();
    if (text.isEmpty()) {
        Open();  // F3 with nothing to find asks for it
        return false;
    }
    const bool found = report_.Find(text, backward);
    if (found) {
        // The count, so that a reader knows how many more there are.
        const qsizetype matches = report_.PlainText().count(text, Qt::CaseInsensitive);
        notFound_->setText(matches == 1 ? tr("1 match") : tr("%1 matches").arg(matches));
    } else {
        notFound_->setText(tr("Not found"));
    }
    notFound_->setVisible(true);
    return found;
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        report_.setFocus();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Find(event->modifiers().testFlag(Qt::ShiftModifier));
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace veskari
