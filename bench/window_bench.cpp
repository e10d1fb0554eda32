// The window's own figures, printed for bench/window-vs-scan and by hand:
//
//   veskari-window-bench analyse RUNS PATH...   analyses the paths RUNS times
//       in the window (offscreen), from the command to the window's idle
//       state with the report, the table, the tree and the problems filled,
//       and prints the median in milliseconds (on the clock, of the window's
//       thread, of all threads) and what the window holds
//   veskari-window-bench sort ROWS              fills the table of updates
//       with ROWS rows and prints how long sorting by each column takes

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "main_dialog.h"
#include "platform/memory.h"
#include "platform/processors.h"
#include "update_table_model.h"
#include "update_tree_view.h"
#include "updates_view.h"

namespace {

using namespace veskari;

// CPU time of the calling thread, in milliseconds.
double ThreadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// CPU time of the whole process, every thread's, in milliseconds: unlike the
// time on the clock it hardly depends on what else the machine runs.
double ProcessMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

int Analyse(int runs, const QList<QByteArray>& paths)
{
    MainDialog dialog(Language::English);
    dialog.show();
    std::vector<double> times;
    std::vector<double> windowThread;
    std::vector<double> process;
    for (int run = 0; run < runs; ++run) {
        dialog.OnClear();
        QEventLoop idle;
        QObject::connect(&dialog, &MainDialog::Idle, &idle, &QEventLoop::quit);
        QElapsedTimer timer;
        timer.start();
        const double cpu = ThreadMilliseconds();
        const double allThreads = ProcessMilliseconds();
        dialog.AnalyzeLocalPaths(paths);
        idle.exec();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        windowThread.push_back(ThreadMilliseconds() - cpu);
        process.push_back(ProcessMilliseconds() - allThreads);
    }
    std::sort(times.begin(), times.end());
    std::sort(windowThread.begin(), windowThread.end());
    std::sort(process.begin(), process.end());
    // What the last run left in the window: the table's rows and the tree's
    // entries, as a user would find them on the other tabs.
    int treeItems = 0;
    for (const UpdateTreeModel::Unit& unit : dialog.Tree().Model().Units()) {
        treeItems += static_cast<int>(unit.nodes.size());
    }
    std::printf("%.1f ms median of %d runs, the window's thread busy %.1f ms of it, CPU %.1f ms in all threads "
                "(%s; table %d rows, tree %d files, %d entries)\n",
                times[times.size() / 2], runs, windowThread[windowThread.size() / 2], process[process.size() / 2],
                dialog.StatusText().toUtf8().constData(), dialog.Updates().Model().rowCount(),
                dialog.Tree().Model().rowCount(), treeItems);
    return 0;
}

int Sort(int rows)
{
    UpdatesView view;
    view.resize(1000, 600);
    view.show();
    std::vector<output::UpdateRow> table;
    std::srand(7);
    for (int i = 0; i < rows; ++i) {
        output::UpdateRow& row = table.emplace_back();
        row.path = "/firmware/images/board" + std::to_string(std::rand() % 500) + ".rom";
        row.members = {"modules.bin", "cpu" + std::to_string(std::rand() % 100) + ".bin"};
        row.update.offset = static_cast<std::uint64_t>(std::rand()) * 16;
        row.update.header.signature = 0x600U + static_cast<std::uint32_t>(std::rand() % 0x100);
        row.update.header.platformFlags = 1U << (std::rand() % 8);
        row.update.header.revision = static_cast<std::uint32_t>(std::rand() % 256);
        row.update.header.dateText =
            "19" + std::to_string(90 + std::rand() % 10) + "/0" + std::to_string(1 + std::rand() % 9) + "/15";
        row.update.header.packageText = std::rand() % 2 == 0 ? "SECC" : "FC-PGA";
        row.update.header.processorName = "Pentium III Processor";
        row.update.checksumValid = std::rand() % 2 == 0;
    }
    QElapsedTimer timer;
    timer.start();
    view.Model().Append(std::move(table));
    QApplication::processEvents();
    std::printf("%d rows added in %lld ms\n", rows, static_cast<long long>(timer.elapsed()));
    for (int column = 0; column < view.Model().columnCount(); ++column) {
        timer.start();
        view.Table().sortByColumn(column, Qt::AscendingOrder);
        QApplication::processEvents();
        std::printf("sorted by %-15s in %4lld ms\n",
                    view.Model().headerData(column, Qt::Horizontal).toString().toUtf8().constData(),
                    static_cast<long long>(timer.elapsed()));
    }
    // The first filter makes each row's search text; those after it reuse it.
    for (const QString& filter : {QStringLiteral("0x6A"), QStringLiteral("0x6A5"), QString()}) {
        timer.start();
        view.Proxy().SetFilterText(filter);
        QApplication::processEvents();
        std::printf("filtered by \"%s\" to %d rows in %lld ms\n", filter.toUtf8().constData(), view.Proxy().rowCount(),
                    static_cast<long long>(timer.elapsed()));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // As the window's own program does: freed buffers are kept for the next
    // file, and the commands' threads share one heap for each processor.
    KeepFreedMemoryForReuse();
    LimitHeaps(UsableProcessorCount());
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() >= 4 && arguments[1] == QStringLiteral("analyse")) {
        QList<QByteArray> paths;
        for (int i = 3; i < argc; ++i) {
            paths.push_back(QByteArray(argv[i]));
        }
        return Analyse(std::max(1, arguments[2].toInt()), paths);
    }
    if (arguments.size() == 3 && arguments[1] == QStringLiteral("sort")) {
        return Sort(std::max(1, arguments[2].toInt()));
    }
    std::fputs("usage: veskari-window-bench analyse RUNS PATH... | sort ROWS\n", stderr);
    return 2;
}
