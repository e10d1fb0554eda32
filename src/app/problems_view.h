#pragma once

#include <QStringList>
#include <QWidget>
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
    void Clear();
    [[nodiscard]] QStringList Lines() const;

private:
    Language language_;
    QLabel* heading_ = nullptr;
    QListWidget* list_ = nullptr;
};

}  // namespace veskari
