#include "recent_paths.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QVariant>

namespace veskari {
namespace {

const QString kLastFolder = QStringLiteral("lastFolder");
const QString kRecentPaths = QStringLiteral("recentPaths");

}  // namespace

QString RecentPaths::LastFolder()
{
    const QByteArray folder = QSettings().value(kLastFolder).toByteArray();
    return folder.isEmpty() ? QDir::homePath() : QFile::decodeName(folder);
}

QList<QByteArray> RecentPaths::Paths()
{
    QList<QByteArray> paths;
    for (const QVariant& path : QSettings().value(kRecentPaths).toList()) {
        if (!path.toByteArray().isEmpty()) {
            paths.push_back(path.toByteArray());
        }
    }
    return paths;
}

void RecentPaths::Remember(const QList<QByteArray>& paths, const QByteArray& folder)
{
    if (paths.isEmpty()) {
        return;
    }
    QList<QByteArray> recent = Paths();
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        recent.removeAll(*path);
        recent.push_front(*path);
    }
    QVariantList stored;
    for (const QByteArray& path : recent.mid(0, kMaxPaths)) {
        stored.push_back(path);
    }
    QSettings settings;
    settings.setValue(kRecentPaths, stored);
    QByteArray last = folder;
    if (last.isEmpty()) {
        const qsizetype slash = paths.front().lastIndexOf('/');
        last = slash > 0 ? paths.front().left(slash) : QByteArray(slash == 0 ? "/" : ".");
    }
    settings.setValue(kLastFolder, last);
}

bool RecentPaths::AllFormats()
{
    return QSettings().value(QStringLiteral("allFormats"), false).toBool();
}

void RecentPaths::SetAllFormats(bool allFormats)
{
    QSettings().setValue(QStringLiteral("allFormats"), allFormats);
}

bool RecentPaths::AskBeforeDiscarding()
{
    return QSettings().value(QStringLiteral("askBeforeDiscarding"), true).toBool();
}

void RecentPaths::SetAskBeforeDiscarding(bool ask)
{
    QSettings().setValue(QStringLiteral("askBeforeDiscarding"), ask);
}

}  // namespace veskari
