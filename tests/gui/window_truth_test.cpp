// What the window tells must be true: its size, the table's filter, a
// stopped run, progress, the summary, Clear, Escape, the program's options
// and the smaller tools of the window.

#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <unistd.h>

#include "analysis_record.h"
#include "find_bar.h"
#include "gui_support.h"
#include "main_dialog.h"
#include "problems_view.h"
#include "report_view.h"
#include "run_status.h"
#include "support/temp_dir.h"
#include "update_table_model.h"
#include "updates_view.h"

using namespace veskari;
using test::Button;
using test::Update;
using test::WaitIdle;

namespace {

// A sparse file that takes the analysis a while to read.
std::string SparseFile(const test::TempDir& dir, const std::string& name, std::int64_t size)
{
    const std::string path = dir.Write(name, test::Bytes(10, 0));
    if (::truncate(path.c_str(), size) != 0) {
        return {};
    }
    return path;
}

QStringList FilterRows(UpdatesView& updates, const QString& filter)
{
    updates.FilterBox().setText(filter);
    QStringList names;
    for (int row = 0; row < updates.Proxy().rowCount(); ++row) {
        names.push_back(QFileInfo(updates.Proxy().index(row, 0).data().toString()).fileName());
    }
    return names;
}

}  // namespace

class WindowTruthTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        QVERIFY(test::LeftoverTemporaryFiles().empty());
    }

    // An 800-character path in the status bar: the window keeps its size
    // during the run and after it; the bar shows the path elided, whole in
    // its text and tooltip.
    void theStatusBarNeverWidensTheWindow()
    {
        const test::TempDir dir;
        std::string folder;
        while (folder.size() < 800) {
            folder += std::string(150, 'd') + "/";
        }
        // Far more than the analysis can finish while the test looks: stopped below.
        const std::string big = SparseFile(dir, folder + "big.bin", std::int64_t{1} << 40);
        QVERIFY(!big.empty());
        MainDialog dialog(Language::English);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QSize size = dialog.size();
        dialog.AnalyzePaths({QString::fromStdString(big)});
        QTRY_VERIFY(dialog.StatusText().endsWith(QString::fromStdString(big)));
        QApplication::processEvents();
        QCOMPARE(dialog.size(), size);
        QVERIFY(dialog.Status().width() <= size.width());
        dialog.StopCommand();
        QVERIFY(WaitIdle(dialog));
        QApplication::processEvents();
        QCOMPARE(dialog.size(), size);
    }

    // A hex number matches CPUIDs and revisions exactly, "cpuid" or "rev"
    // before it that field alone; other text matches names only, never a
    // number that merely holds it (an offset, another CPUID).
    void theFilterMatchesTheFieldItLooksLike()
    {
        const test::TempDir dir;
        // Two updates at offset 0x6862, one in a file named for 0x686.
        test::Bytes padded(0x6862, 0);
        test::Bytes padded673 = padded;
        test::Append(padded, Update(2, 0x651));
        test::Append(padded673, Update(3, 0x673));
        const QStringList paths = {QString::fromStdString(dir.Write("a.bin", Update(0x2A, 0x686))),
                                   QString::fromStdString(dir.Write("b.bin", Update(0x86, 0x650))),
                                   QString::fromStdString(dir.Write("c.bin", padded673)),
                                   QString::fromStdString(dir.Write("notes-0x686.bin", padded))};
        MainDialog dialog(Language::English);
        dialog.AnalyzePaths(paths);
        QVERIFY(WaitIdle(dialog));
        UpdatesView& updates = dialog.Updates();
        QCOMPARE(updates.Model().rowCount(), 4);
        QVERIFY(updates.FilterBox().placeholderText().contains(QStringLiteral("CPUID")));
        QCOMPARE(FilterRows(updates, QStringLiteral("0x686")), QStringList{"a.bin"});
        QCOMPARE(FilterRows(updates, QStringLiteral("0X86")), QStringList{"b.bin"});
        QCOMPARE(FilterRows(updates, QStringLiteral("CPUID 0x86")), QStringList());
        QCOMPARE(FilterRows(updates, QStringLiteral("rev: 0x86")), QStringList{"b.bin"});
        QCOMPARE(FilterRows(updates, QStringLiteral("cpuid 0x686")), QStringList{"a.bin"});
        QCOMPARE(FilterRows(updates, QStringLiteral("0x6")), QStringList());
        QCOMPARE(FilterRows(updates, QStringLiteral("NOTES")), QStringList{"notes-0x686.bin"});
        QVERIFY(FilterRows(updates, updates.Model().CellText(3, 8).toLower()).contains("notes-0x686.bin"));

        // Clear takes the filter away, so that new rows are not hidden.
        updates.FilterBox().setText(QStringLiteral("cpuid 0x999"));
        dialog.OnClear();
        dialog.AnalyzePaths({paths[0]});
        QVERIFY(WaitIdle(dialog));
        QVERIFY(updates.FilterBox().text().isEmpty());
        QCOMPARE(updates.Proxy().rowCount(), 1);
    }

    // Progress: busy while the files are counted, then a fraction by bytes
    // that moves inside a large file, never goes back and reaches 1. A
    // stopped run says how many files it did not analyse in the summary,
    // the list of problems and the JSON document; a command that the stop
    // dropped is listed too.
    void progressAndAStoppedRun()
    {
        const test::TempDir dir;
        QVERIFY(!SparseFile(dir, "tree/a-big.bin", std::int64_t{4} << 30).empty());  // long enough to be seen inside
        for (const char* name : {"tree/b.bin", "tree/c.bin", "tree/d.bin"}) {
            (void)dir.Write(name, Update(1));
        }
        const QString tree = QString::fromStdString(dir / "tree");
        MainDialog dialog(Language::English);
        dialog.show();
        std::vector<double> shown;
        connect(&dialog.Status(), &RunStatus::FractionShown, &dialog, [&](double value) { shown.push_back(value); });
        dialog.AnalyzePaths({tree});
        QVERIFY(WaitIdle(dialog));
        QVERIFY(!shown.empty());
        QVERIFY(std::is_sorted(shown.begin(), shown.end()));
        QCOMPARE(shown.back(), 1.0);
        QVERIFY2(std::any_of(shown.begin(), shown.end(), [](double value) { return value > 0 && value < 0.9; }),
                 "no progress inside the large file");

        dialog.OnClear();
        // Now far more than the analysis can finish before the stop comes.
        QVERIFY(!SparseFile(dir, "tree/a-big.bin", std::int64_t{1} << 40).empty());
        const QString later = QString::fromStdString(dir.Write("later.bin", Update(2)));
        dialog.AnalyzePaths({tree});
        dialog.AnalyzePaths({later});
        QTRY_VERIFY(dialog.Status().Fraction() >= 0);  // counted: four files
        dialog.StopCommand();
        QVERIFY(WaitIdle(dialog));
        QVERIFY2(dialog.StatusText().startsWith(QStringLiteral("Stopped: 4 files not analysed. Files: 1  ")),
                 qPrintable(dialog.StatusText()));
        QCOMPARE(dialog.Problems(), (QStringList{QStringLiteral("Stopped: 4 files not analysed"),
                                                 later + QStringLiteral(": not analysed, the analysis was stopped")}));
        QVERIFY(dialog.StatusText().contains(QStringLiteral("Problems: 2 ")));
        const QByteArray json = dialog.SavedBytes(SaveFormat::json);
        QVERIFY(json.contains("\n  ],\n  \"stopped\": true,\n  \"error\": null\n}\n"));
        QVERIFY(!json.contains("b.bin"));

        // A unit whose recorder could not be made (no memory for it) has no
        // events: Save still writes the document, the unit's file empty.
        AnalysisRecord record;
        record.BeginCommand({QByteArrayLiteral("lost.bin")}, false);
        UnitOutput lost;
        record.AddUnit(lost, {});
        record.EndCommand({});
        std::string document;
        record.WriteJson([&document](std::string_view text) { document += text; }, Language::English);
        QVERIFY(QByteArray::fromStdString(document).contains("\"lost.bin\""));
    }

    // The summary counts what the table and the list hold: everything
    // since Clear, over several commands.
    void theSummaryCountsEverythingSinceClear()
    {
        const test::TempDir dir;
        const QString one = QString::fromStdString(dir.Write("one.bin", Update(1)));
        const QString two = QString::fromStdString(dir.Write("two.bin", Update(2)));
        MainDialog dialog(Language::English);
        dialog.AnalyzePaths({one, QString::fromStdString(dir / "missing.bin")});
        QVERIFY(WaitIdle(dialog));
        dialog.AnalyzePaths({two});
        QVERIFY(WaitIdle(dialog));
        QVERIFY2(dialog.StatusText().startsWith(
                     QStringLiteral("Done. Files: 3  Members: 0  Updates: 2  Problems: 1  Time: ")),
                 qPrintable(dialog.StatusText()));
        QCOMPARE(dialog.Updates().Model().rowCount(), 2);
        QCOMPARE(dialog.Problems().size(), 1);
        dialog.OnClear();
        dialog.AnalyzePaths({two});
        QVERIFY(WaitIdle(dialog));
        QVERIFY(dialog.StatusText().startsWith(QStringLiteral("Done. Files: 1  Members: 0  Updates: 1  Problems: 0")));
        QCOMPARE(dialog.Status().FormatsText(), QStringLiteral("Classic format only"));
    }

    // Escape on an idle window asks before it discards results not saved;
    // Close does not ask, and Escape with nothing to lose closes at once.
    void escapeAsksBeforeDiscardingResults()
    {
        const test::TempDir dir;
        const QString one = QString::fromStdString(dir.Write("one.bin", Update(1)));
        MainDialog dialog(Language::English);
        int asked = 0;
        bool answer = false;
        dialog.confirmDiscard = [&](QWidget*) {
            ++asked;
            return answer;
        };
        dialog.show();
        dialog.AnalyzePaths({one});
        QVERIFY(WaitIdle(dialog));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(asked, 1);
        QVERIFY(dialog.isVisible());
        dialog.chooseSaveFile = [&](QWidget*, SaveFormat&) { return QString::fromStdString(dir / "saved.txt"); };
        dialog.OnSave();
        QTest::keyClick(&dialog, Qt::Key_Escape);  // saved: nothing to lose
        QCOMPARE(asked, 1);
        QVERIFY(!dialog.isVisible());

        MainDialog again(Language::English);
        again.confirmDiscard = dialog.confirmDiscard;
        again.show();
        again.AnalyzePaths({one});
        QVERIFY(WaitIdle(again));
        answer = true;
        QTest::keyClick(&again, Qt::Key_Escape);
        QCOMPARE(asked, 2);
        QVERIFY(!again.isVisible());
    }

    // --help and --version need no display; an unknown option and -v
    // (verbose for veskari-scan, not a version) are usage errors.
    void optionsWithoutADisplay()
    {
        const auto run = [](const QStringList& arguments) {
            QProcess window;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
                environment.remove(QString::fromLatin1(name));
            }
            window.setProcessEnvironment(environment);
            window.start(QStringLiteral(VESKARI_WINDOW_BINARY), arguments);
            window.waitForFinished(30000);
            return std::tuple(window.exitStatus() == QProcess::NormalExit ? window.exitCode() : -1,
                              QString::fromUtf8(window.readAllStandardOutput()),
                              QString::fromUtf8(window.readAllStandardError()));
        };
        const auto [helpStatus, help, helpErrors] = run({QStringLiteral("--help")});
        QCOMPARE(helpStatus, 0);
        QVERIFY(help.startsWith(QStringLiteral("Usage: veskari ")));
        const auto [versionStatus, version, versionErrors] = run({QStringLiteral("--version")});
        QCOMPARE(versionStatus, 0);
        QVERIFY(version.startsWith(QStringLiteral("veskari ")));
        for (const QString& wrong : {QStringLiteral("-v"), QStringLiteral("--bogus"), QStringLiteral("--view=none")}) {
            const auto [status, out, errors] = run({wrong});
            QCOMPARE(status, 2);
            QVERIFY(out.isEmpty());
            QVERIFY(errors.endsWith(QStringLiteral("Try 'veskari --help' for more information.\n")));
        }
    }

    // Ctrl+End reaches the report's end; Find tells how many matches there
    // are; the content comes before the buttons in the tab order; every
    // column of the table is in view at the window's first size; the list
    // of problems copies as text.
    void theSmallerTools()
    {
        const test::TempDir dir;
        const std::string missing = dir / "missing.bin";
        MainDialog dialog(Language::English);
        dialog.resize(1000, 600);  // the first size on a screen larger than the test's 800 x 600
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QStringList paths(40, test::kExample);
        paths.push_back(QString::fromStdString(missing));
        dialog.AnalyzePaths(paths);
        QVERIFY(WaitIdle(dialog));

        ReportView& report = dialog.ReportBox();
        report.setFocus();
        QTest::keyClick(&report, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(report.verticalScrollBar()->value(), 0);
        QTest::keyClick(&report, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(report.verticalScrollBar()->value() >= report.verticalScrollBar()->maximum() - 1);
        QVERIFY(report.Caret() == report.End());

        dialog.Finder().Open();
        dialog.Finder().SearchBox().setText(QStringLiteral("mini-cart"));
        QVERIFY(dialog.Finder().FindNext());
        QCOMPARE(dialog.Finder().ResultText(), QStringLiteral("40 matches"));

        // Tab from the window: the report, then the table's filter and
        // table, the problems, and only then the buttons.
        QList<QWidget*> tabbed;
        for (QWidget* widget = dialog.nextInFocusChain(); widget != &dialog; widget = widget->nextInFocusChain()) {
            if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->isVisibleTo(&dialog)) {
                tabbed.push_back(widget);
            }
        }
        QVERIFY(tabbed.indexOf(&report) >= 0);
        QVERIFY(tabbed.indexOf(&report) < tabbed.indexOf(Button(dialog, 0)));

        dialog.ShowView(1);
        QApplication::processEvents();
        QTableView& table = dialog.Updates().Table();
        for (int column = 0; column < table.model()->columnCount(); ++column) {
            const int right = table.horizontalHeader()->sectionViewportPosition(column) +
                              table.horizontalHeader()->sectionSize(column);

            QVERIFY2(right <= table.viewport()->width() + 1, qPrintable(QStringLiteral("%1: %2 > %3, %4").arg(column).arg(right).arg(table.viewport()->width()).arg(dialog.width())));
        }
        QCOMPARE(dialog.ProblemList().Text(), QString::fromStdString(missing + ": cannot be read: not found\n"));
    }
};

int RunWindowTruthTests(int argc, char** argv)
{
    WindowTruthTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_truth_test.moc"
