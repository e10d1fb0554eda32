#pragma once

#include <QDialog>

namespace veskari {

/// The about box: the icon, the name and version, what the program does, and OK.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace veskari
