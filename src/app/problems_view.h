#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

#include "analysis_worker.h"

class QLabel;
class QListWidget;

namespace veskari {

/// What could not be analysed, one line each with the path or member and
/// why: files and folders that could not be read, members passed over for
/// a bound or for lack of a file, members whose data is damaged. It shows
/// itself with its first line and hides when cleared.
class ProblemsView final : public QWidget {
    Q_OBJECT

public:
    ProblemsView(Language language, QWidget* parent = nullptr);

    void Add(const std::vector<Finding>& findings);
    /// Adds a line of the window's own, such as a stop.
    void AddLine(const QString& line);
    void Clear();
    [[nodiscard]] QStringList Lines() const;
    [[nodiscard]] int Count() const;
    /// The selected lines, or all when none is selected, each ending with
    /// a line feed: what Copy puts on the clipboard and Save writes.
    [[nodiscard]] QString Text() const;

    /// Asks where to save the list as text; by default the platform's
    /// save dialog. Errors go to `showError`.
    std::function<QString(QWidget* parent)> chooseFile;
    std::function<void(QWidget* parent, const QString& text)> showError;

public slots:
    void Copy() const;
    void Save();

private:
    void Shown();

    Language language_;
    QLabel* heading_ = nullptr;
    QListWidget* list_ = nullptr;
};

}  // namespace veskari
