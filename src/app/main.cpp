// veskari: the desktop window.

#include <QFile>
#include <QString>
#include <algorithm>
#include <cstdio>
#include <string>
#include <cstring>
#include <string_view>

#include "platform/memory.h"
#include "platform/processors.h"
#include "veskari/version.h"
#include "viewer_app.h"

namespace {

constexpr const char* kHelp =
    "Usage: veskari [OPTION]... [PATH]...\n"
    "Lists the processor microcode updates that BIOS images, microcode files and the LZH\n"
    "members inside them carry, in a window. Select files or drop files and folders onto\n"
    "the window; the PATHs given here are analysed when it opens.\n"
    "\n"
    "      --view=report|updates|tree  show the report (the default), the table of updates\n"
    "                             or the tree of where each update sits\n"
    "      --screenshot=FILE      save the window as a PNG file once the PATHs are\n"
    "                             analysed, then quit\n"
    "  -h, --help                 show this help and exit\n"
    "      --version              show the version and exit\n"
    "\n"
    "Exit status: 0 when the window was closed, 1 when the screenshot could not be saved,\n"
    "2 for a usage error.\n";

int UsageError(const std::string& problem)
{
    std::fprintf(stderr, "veskari: %s\nTry 'veskari --help' for more information.\n", problem.c_str());
    return 2;
}

// Qt's own options, which the application takes out of the arguments
// itself: with a value, and without.
constexpr std::string_view kQtOptionsWithValue[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                                    "-qwindowgeometry", "-qwindowtitle", "-qwindowicon", "-style",
                                                    "-stylesheet", "-display", "-geometry", "-session"};
constexpr std::string_view kQtOptions[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};

// What the command line asks for. It is read before the application
// exists, so that --help, --version and usage errors need no display.
struct Arguments {
    QList<QByteArray> paths;  // the paths' own bytes, which need not be UTF-8
    int view = 0;
    QString screenshot;
};

// Returns the exit status when the program ends here, or -1 to open the window.
int ParseArguments(int argc, char** argv, Arguments& arguments)
{
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (optionsEnd || argument == "-" || !argument.starts_with('-')) {
            arguments.paths.push_back(QByteArray(argv[i]));
            continue;
        }
        if (std::find(std::begin(kQtOptionsWithValue), std::end(kQtOptionsWithValue), argument) !=
            std::end(kQtOptionsWithValue)) {
            ++i;
            continue;
        }
        if (std::find(std::begin(kQtOptions), std::end(kQtOptions), argument) != std::end(kQtOptions)) {
            continue;
        }
        if (argument == "--") {
            optionsEnd = true;
            continue;
        }
        if (argument == "-h" || argument == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("veskari %s\n", veskari::kVersionText);
            return 0;
        }
        // --name=value or --name value
        const std::size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        if (name != "--view" && name != "--screenshot") {
            return UsageError("unrecognized option '" + std::string(argument) + "'");
        }
        std::string value;
        if (equals != std::string_view::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            return UsageError("option '" + std::string(name) + "' requires an argument");
        }
        if (name == "--screenshot") {
            arguments.screenshot = QFile::decodeName(QByteArray::fromStdString(value));
        } else if (value == "report" || value == "updates" || value == "tree") {
            arguments.view = value == "report" ? 0 : value == "updates" ? 1 : 2;
        } else {
            return UsageError("--view takes report, updates or tree");
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    Arguments arguments;
    if (const int status = ParseArguments(argc, argv, arguments); status >= 0) {
        return status;
    }
    veskari::KeepFreedMemoryForReuse();
    // Each command runs on new threads: one heap for each processor.
    veskari::LimitHeaps(veskari::UsableProcessorCount());
    veskari::ViewerApp app(argc, argv);
    return app.Run(arguments.paths, arguments.view, arguments.screenshot);
}
