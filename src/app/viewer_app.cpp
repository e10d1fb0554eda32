#include "viewer_app.h"

#include <QLibraryInfo>
#include <QMessageBox>
#include <QTimer>

#include "main_dialog.h"
#include "veskari/version.h"

namespace veskari {

ViewerApp::ViewerApp(int& argc, char** argv) : QApplication(argc, argv)
{
    // The settings live in ~/.config/veskari/Veskari.conf.
    setOrganizationName(QStringLiteral("veskari"));
    setApplicationName(QStringLiteral("Veskari"));
    setApplicationVersion(QString::fromLatin1(kVersionText));
    setDesktopFileName(QStringLiteral("org.veskari.veskari"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/veskari-32.png")));
}

Language ViewerApp::InstallTranslation(const QLocale& locale)
{
    removeTranslator(&translator_);
    removeTranslator(&qtTranslator_);
    language_ = Language::English;
    if (locale.language() == QLocale::Japanese &&
        translator_.load(QStringLiteral("veskari_ja"), QStringLiteral(":/i18n"))) {
        installTranslator(&translator_);
        language_ = Language::Japanese;
        // Qt's own texts (file dialogs, standard menus, buttons); without
        // them installed the window is Japanese and those stay English.
        if (qtTranslator_.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            installTranslator(&qtTranslator_);
        }
    }
    return language_;
}

bool ViewerApp::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        QMessageBox::critical(nullptr, QStringLiteral("Veskari"), QString::fromStdString(OutOfMemoryText(language_)));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("Veskari"),
                              QString::fromStdString(InternalErrorText(language_)));
    }
    return false;
}

int ViewerApp::Run(const QList<QByteArray>& paths, int view, const QString& screenshotPath)
{
    const Language language = InstallTranslation(QLocale::system());
    MainDialog dialog(language);
    dialog.ShowView(view);
    dialog.show();
    if (!screenshotPath.isEmpty()) {
        // Save the window once the analysis of the given paths is done.
        QObject::connect(&dialog, &MainDialog::Idle, &dialog, [&dialog, screenshotPath] {
            QTimer::singleShot(300, &dialog, [&dialog, screenshotPath] {
                const bool saved = dialog.grab().save(screenshotPath, "PNG");
                dialog.done(saved ? 0 : 1);
            });
        });
        if (paths.isEmpty()) {
            QTimer::singleShot(0, &dialog, &MainDialog::Idle);
        }
    }
    dialog.AnalyzeLocalPaths(paths);
    return dialog.exec();
}

}  // namespace veskari
