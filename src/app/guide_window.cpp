#include "guide_window.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace veskari {

GuideWindow::GuideWindow(Language language, QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(tr("Veskari User Guide"));
    browser_ = new QTextBrowser(this);
    // Links within the guide move to their section; any other opens in
    // the desktop's browser.
    browser_->setOpenExternalLinks(true);
    browser_->setSource(Source(language));

    auto* contents = new QPushButton(tr("Contents"), this);
    auto* back = new QPushButton(tr("Back"), this);
    auto* close = new QPushButton(tr("Close"), this);
    back->setEnabled(false);
    for (QPushButton* button : {contents, back, close}) {
        button->setAutoDefault(false);
    }
    connect(contents, &QPushButton::clicked, browser_, &QTextBrowser::home);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_, 1);
    layout->addLayout(buttons);
    // Never larger than the screen, also at a high scale factor.
    const QSize available = screen() != nullptr ? screen()->availableSize() : QSize(720, 640);
    resize(QSize(760, 680).boundedTo(available * 9 / 10));
}

QUrl GuideWindow::Source(Language language)
{
    return QUrl(language == Language::Japanese ? QStringLiteral("qrc:/help/guide-ja.html")
                                               : QStringLiteral("qrc:/help/guide-en.html"));
}

}  // namespace veskari
