#pragma once

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include "platform/file_error.h"

namespace veskari {

/// The application: picks English or Japanese from the system locale at
/// start-up and runs the main window until it closes.
class ViewerApp : public QApplication {
    Q_OBJECT

public:
    ViewerApp(int& argc, char** argv);

    /// Loads the translations for `locale` (ours and Qt's own, so that the
    /// file dialogs and standard menus speak Japanese too, or none) and
    /// returns the language of the error texts that goes with it.
    Language InstallTranslation(const QLocale& locale);

    /// Runs the main window showing `view` (0: the report, 1: the table of
    /// updates); `paths` are analysed at once, and with a `screenshotPath`
    /// the window is saved as PNG when they are done and the program ends.
    int Run(const QList<QByteArray>& paths, int view, const QString& screenshotPath);

    /// Delivers an event; an exception that escapes a handler is shown as
    /// an internal error instead of ending the program.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    QTranslator translator_;
    QTranslator qtTranslator_;
    Language language_ = Language::English;
};

}  // namespace veskari
