#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace veskari {

/// What the window remembers between runs (QSettings): the folder of the
/// last selection, where the file choosers start, and the paths analysed
/// last, newest first. Paths are kept as their local 8-bit bytes, so that a
/// name that is not valid UTF-8 is remembered exactly.
class RecentPaths {
public:
    static constexpr int kMaxPaths = 8;

    /// The folder to start the choosers in; the home folder at first.
    [[nodiscard]] static QString LastFolder();
    [[nodiscard]] static QList<QByteArray> Paths();
    /// Remembers `paths` as the newest ones and `folder` as the last folder
    /// (empty: the folder of the first path).
    static void Remember(const QList<QByteArray>& paths, const QByteArray& folder = QByteArray());

    /// Whether updates of every layout are listed, not only the classic
    /// ones: a choice the window keeps, off at first.
    [[nodiscard]] static bool AllFormats();
    static void SetAllFormats(bool allFormats);

    /// Whether Escape asks before it discards results that were not saved:
    /// on at first, until the user says not to ask again.
    [[nodiscard]] static bool AskBeforeDiscarding();
    static void SetAskBeforeDiscarding(bool ask);
};

}  // namespace veskari
