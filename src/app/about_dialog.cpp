#include "about_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "veskari/version.h"

namespace veskari {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Veskari"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/veskari-32.png")));
    auto* text = new QLabel(QStringLiteral("Veskari Version %1").arg(QString::fromLatin1(kVersionText)), this);
    text->setTextFormat(Qt::PlainText);
    auto* body = new QLabel(tr("Lists the processor microcode updates that BIOS images, microcode update files "
                               "and the LZH members inside them carry.\n\n"
                               "Free software under the MIT licence."),
                            this);
    body->setTextFormat(Qt::PlainText);
    body->setWordWrap(true);
    body->setMinimumWidth(280);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, Qt::AlignTop);
    layout->addWidget(text, 0, 1);
    layout->addWidget(body, 1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2, Qt::AlignCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace veskari
