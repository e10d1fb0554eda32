// veskari: the desktop window.

#include <QCommandLineParser>

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
    parser.addPositionalArgument(QStringLiteral("paths"), QStringLiteral("Files and folders to analyse at start."),
                                 QStringLiteral("[path...]"));
    parser.process(app);
    return app.Run(parser.positionalArguments(), parser.value(screenshot));
}
