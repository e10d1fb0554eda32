// veskari: the desktop window.

#include <QCommandLineParser>
#include <QFile>
#include <cstdio>

#include "platform/memory.h"
#include "viewer_app.h"

int main(int argc, char** argv)
{
    veskari::KeepFreedMemoryForReuse();
    veskari::ViewerApp app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the processor microcode updates that BIOS images, microcode files and the LZH members "
        "inside them carry. Select files or drop files and folders onto the window."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save the window as a PNG file once the paths are analysed, "
                                                       "then quit."),
                                        QStringLiteral("file"));
    parser.addOption(screenshot);
    const QCommandLineOption view(QStringLiteral("view"),
                                  QStringLiteral("Show the report (the default) or the table of updates."),
                                  QStringLiteral("report|updates"), QStringLiteral("report"));
    parser.addOption(view);
    parser.addPositionalArgument(QStringLiteral("paths"), QStringLiteral("Files and folders to analyse at start."),
                                 QStringLiteral("[path...]"));
    parser.process(app);
    const QStringList views = {QStringLiteral("report"), QStringLiteral("updates")};
    if (!views.contains(parser.value(view))) {
        std::fprintf(stderr, "veskari: --view takes report or updates\n");
        return 2;
    }
    // The paths' own bytes: the parser's texts are decoded, and a name that
    // is not valid UTF-8 would not survive them. Positional arguments keep
    // their order, so each is matched with the next argument that decodes
    // to it.
    QList<QByteArray> paths;
    int next = 1;
    for (const QString& positional : parser.positionalArguments()) {
        while (next < argc && QString::fromLocal8Bit(argv[next]) != positional) {
            ++next;
        }
        paths.push_back(next < argc ? QByteArray(argv[next++]) : QFile::encodeName(positional));
    }
    return app.Run(paths, static_cast<int>(views.indexOf(parser.value(view))), parser.value(screenshot));
}
