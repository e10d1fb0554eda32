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

    /// Loads the translation for `locale` (Japanese or none) and returns
    /// the language of the error texts that goes with it.
    Language InstallTranslation(const QLocale& locale);

    /// Runs the main window; `paths` are analysed at once, and with a
    /// `screenshotPath` the window is saved as PNG when they are done and
    /// the program ends.
    int Run(const QList<QByteArray>& paths, const QString& screenshotPath);

    /// Delivers an event; an exception that escapes a handler is shown as
    /// an internal error instead of ending the program.
    bool notify(QObject* receiver, QEvent* event) override;

private:
    QTranslator translator_;
    Language language_ = Language::English;
};

}  // namespace veskari
