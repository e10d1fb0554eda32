#include "problems_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QSaveFile>
#include <QListWidget>
#include <QVBoxLayout>

#include "platform/visible_text.h"

namespace veskari {

ProblemsView::ProblemsView(Language language, QWidget* parent) : QWidget(parent), language_(language)
{
    heading_ = new QLabel(this);
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* copy = new QAction(tr("&Copy"), list_);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &ProblemsView::Copy);
    auto* save = new QAction(tr("&Save List as Text..."), list_);
    connect(save, &QAction::triggered, this, &ProblemsView::Save);
    list_->addActions({copy, save});
    list_->setContextMenuPolicy(Qt::ActionsContextMenu);
    chooseFile = [](QWidget* owner) {
        return QFileDialog::getSaveFileName(owner, tr("Save"), QStringLiteral("problems.txt"), tr("Text (*.txt)"));
    };
    showError = [](QWidget* owner, const QString& text) { QMessageBox::critical(owner, QStringLiteral("Veskari"), text); };
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
        if (const auto* unlisted = std::get_if<UnlistedLater>(&finding)) {
            const QString name = QString::fromStdString(VisibleText(unlisted->displayName));
            list_->addItem(unlisted->count == 1
                               ? tr("%1: 1 later-format update not listed; turn on Edit, List Updates of Every Format")
                                     .arg(name)
                               : tr("%1: %2 later-format updates not listed; turn on Edit, List Updates of Every Format")
                                     .arg(name)
                                     .arg(unlisted->count));
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
    Shown();
}

void ProblemsView::AddLine(const QString& line)
{
    list_->addItem(line);
    Shown();
}

void ProblemsView::Shown()
{
    list_->scrollToBottom();
    // English has two forms and Japanese one; the source texts are English.
    const int count = list_->count();
    heading_->setText(count == 1 ? tr("1 item could not be analysed:") : tr("%n items could not be analysed:", "", count));
    setVisible(true);
}

int ProblemsView::Count() const
{
    return list_->count();
}

QString ProblemsView::Text() const
{
    QString text;
    const bool all = list_->selectedItems().isEmpty();
    for (int i = 0; i < list_->count(); ++i) {
        if (all || list_->item(i)->isSelected()) {
            text += list_->item(i)->text() + QLatin1Char('\n');
        }
    }
    return text;
}

void ProblemsView::Copy() const
{
    QApplication::clipboard()->setText(Text());
}

void ProblemsView::Save()
{
    const QString path = chooseFile(this);
    if (path.isEmpty()) {
        return;
    }
    QString all;
    for (const QString& line : Lines()) {
        all += line + QLatin1Char('\n');
    }
    const QByteArray bytes = all.toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        showError(this, tr("%1 could not be saved: %2").arg(path, file.errorString()));
    }
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
