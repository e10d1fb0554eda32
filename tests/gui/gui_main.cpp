// The window's tests, one Qt Test class after the other.

#include <QDir>
#include <QTemporaryDir>

#include "viewer_app.h"

int RunMainDialogTests(int argc, char** argv);
int RunWindowToolsTests(int argc, char** argv);
int RunWindowTruthTests(int argc, char** argv);
int RunUpdateTreeTests(int argc, char** argv);
int RunExtractionTests(int argc, char** argv);

int main(int argc, char** argv)
{
    // A private temporary directory, so that leftovers are ours alone, and
    // private settings, so that the user's recent paths stay untouched.
    QTemporaryDir temporary(QDir::tempPath() + QStringLiteral("/vsk-gui-XXXXXX"));
    qputenv("TMPDIR", temporary.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (temporary.path() + QStringLiteral("/config")).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    veskari::ViewerApp app(argc, argv);
    const int failed = RunMainDialogTests(argc, argv);
    return failed + RunWindowToolsTests(argc, argv) + RunWindowTruthTests(argc, argv) +
           RunUpdateTreeTests(argc, argv) + RunExtractionTests(argc, argv);
}
