#include "problems_view.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "platform/visible_text.h"

namespace veskari {

ProblemsView::ProblemsView(Language language, QWidget* parent) : QWidget(parent), language_(language)
{
    heading_ = new QLabel(this);
    list_ = new QListWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(heading_);
    layout->addWidget(list_, 1);
    setVisible(false);
}

void ProblemsView::Add(const std::vector<Finding>& findings)
{
    if (findings.empty()) {
        return;
    }
    for (const Finding& finding : findings) {
        if (const auto* problem = std::get_if<Problem>(&finding)) {
            list_->addItem(QString::fromStdString(problem->Text(language_)));
            continue;
        }
        const auto& member = std::get<FailedMember>(finding);
        const QString name = QString::fromStdString(VisibleText(member.displayName));
        switch (member.outcome) {
        case MemberOutcome::crcMismatch:
            list_->addItem(tr("%1: member not analysed, its CRC-16 does not match").arg(name));
            break;
        case MemberOutcome::notFound:
            list_->addItem(tr("%1: member not analysed, its header was not found again").arg(name));
            break;
        default:
            list_->addItem(tr("%1: member not analysed, its data is damaged").arg(name));
            break;
        }
    }
    list_->scrollToBottom();
    heading_->setText(tr("%n item(s) could not be analysed:", "", list_->count()));
    setVisible(true);
}

void ProblemsView::Clear()
{
    list_->clear();
    setVisible(false);
}

QStringList ProblemsView::Lines() const
{
    QStringList lines;
    for (int i = 0; i < list_->count(); ++i) {
        lines.push_back(list_->item(i)->text());
    }
    return lines;
}

}  // namespace veskari
