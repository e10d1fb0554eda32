#include "gui_support.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>

namespace veskari::test {

QByteArray Scan(const QStringList& arguments)
{
    QProcess scan;
    scan.start(QStringLiteral(VESKARI_SCAN_BINARY), arguments);
    scan.waitForFinished(60000);
    return scan.readAllStandardOutput();
}

QString ScanOutput(const QStringList& paths)
{
    return QString::fromUtf8(Scan(paths));
}

void DropUrls(MainDialog& dialog, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    // A drop reaches only the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &drop);
}

void Drop(MainDialog& dialog, const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.push_back(QUrl::fromLocalFile(path));
    }
    DropUrls(dialog, urls);
}

bool WaitIdle(MainDialog& dialog)
{
    if (!dialog.IsBusy()) {
        return true;
    }
    QSignalSpy idle(&dialog, &MainDialog::Idle);
    return idle.wait(60000);
}

QPushButton* Button(MainDialog& dialog, int index)
{
    return dialog.findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly).value(index);
}

Bytes Update(std::uint32_t revision, std::uint32_t signature)
{
    MicrocodeFields fields;
    fields.revision = revision;
    fields.signature = signature;
    return MakeMicrocodeUpdate(fields);
}

}  // namespace veskari::test
