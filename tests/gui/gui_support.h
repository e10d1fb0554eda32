#pragma once

// What the window's tests share: the command line's output for comparison,
// drops, waiting for the window, its buttons and update files.

#include <QByteArray>
#include <QList>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <cstdint>

#include "main_dialog.h"
#include "support/bytes.h"

namespace veskari::test {

/// The example image of the repository.
inline const QString kExample = QStringLiteral(VESKARI_SOURCE_DIR "/examples/example.rom");

/// What veskari-scan writes for these arguments, byte for byte.
[[nodiscard]] QByteArray Scan(const QStringList& arguments);
/// Its report as the box shows it.
[[nodiscard]] QString ScanOutput(const QStringList& paths);

/// A drop of these URLs, or of these local paths, as a file manager makes it.
void DropUrls(MainDialog& dialog, const QList<QUrl>& urls);
void Drop(MainDialog& dialog, const QStringList& paths);

/// Waits until every queued command has ended; false after a minute.
[[nodiscard]] bool WaitIdle(MainDialog& dialog);

/// The window's own buttons, in their order: Select File, Open Folder,
/// Clear, Close, Stop.
[[nodiscard]] QPushButton* Button(MainDialog& dialog, int index);

/// A 2048-byte update with this revision and processor signature.
[[nodiscard]] Bytes Update(std::uint32_t revision, std::uint32_t signature = 0x652);

}  // namespace veskari::test
