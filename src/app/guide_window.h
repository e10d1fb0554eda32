#pragma once

#include <QUrl>
#include <QWidget>

#include "platform/file_error.h"

class QTextBrowser;

namespace veskari {

/// The user guide, bundled with the program, in a window of its own beside
/// the main window: what the report says, the table, the tree, problems,
/// modes and keys, in the language the window speaks. Its contents link to
/// each section; Back returns from a jump.
class GuideWindow final : public QWidget {
    Q_OBJECT

public:
    explicit GuideWindow(Language language, QWidget* parent = nullptr);

    /// Where the guide in `language` lies among the program's resources.
    [[nodiscard]] static QUrl Source(Language language);

    [[nodiscard]] QTextBrowser& Browser() const noexcept { return *browser_; }

private:
    QTextBrowser* browser_ = nullptr;
};

}  // namespace veskari
