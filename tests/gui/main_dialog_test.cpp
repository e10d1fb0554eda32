// The main window under Qt Test with the offscreen platform: drops,
// Select File, Clear, the error box, the Japanese translation and queued
// commands.

#include <QAction>
#include <QDir>
#include <unistd.h>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTextDocument>
#include <cstdio>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "main_dialog.h"
#include "platform/cfile.h"
#include "platform/anonymous_file.h"
#include "report_log.h"
#include "support/faults.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"
#include "viewer_app.h"

using namespace veskari;

namespace {

// What veskari-scan prints for the same paths (LF line endings, as the box shows them).
QString ScanOutput(const QStringList& paths)
{
    QProcess scan;
    scan.start(QStringLiteral(VESKARI_SCAN_BINARY), paths);
    scan.waitForFinished(60000);
    return QString::fromUtf8(scan.readAllStandardOutput());
}

void Drop(MainDialog& dialog, const QStringList& paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.push_back(QUrl::fromLocalFile(path));
    }
    data.setUrls(urls);
    // A drop reaches only the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &drop);
}

bool WaitIdle(MainDialog& dialog)
{
    if (!dialog.IsBusy()) {
        return true;
    }
    QSignalSpy idle(&dialog, &MainDialog::Idle);
    return idle.wait(60000);
}

// The window's own buttons, in their order: Select File, Open Folder,
// Clear, Close, Stop.
QPushButton* Button(MainDialog& dialog, int index)
{
    return dialog.findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly).value(index);
}

test::Bytes Update(std::uint32_t revision)
{
    test::MicrocodeFields fields;
    fields.revision = revision;
    return test::MakeMicrocodeUpdate(fields);
}

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        QVERIFY(test::LeftoverTemporaryFiles().empty());
    }

    void dropOfTwoFilesAndAFolderAnalysesThemInDropOrder()
    {
        const test::TempDir dir;
        const QString a = QString::fromStdString(dir.Write("a.bin", Update(1)));
        test::Bytes archive = test::MakeStoredMember("m.bin", Update(3));
        const QString b = QString::fromStdString(dir.Write("b.rom", archive));
        (void)dir.Write("folder/x.bin", Update(4));
        (void)dir.Write("folder/sub/y.bin", Update(5));
        const QString folder = QString::fromStdString(dir / "folder");

        MainDialog dialog(Language::English);
        Drop(dialog, {b, folder, a});
        QVERIFY(WaitIdle(dialog));
        const QString expected = ScanOutput({b, folder, a});
        QVERIFY(expected.contains(QStringLiteral(" < b.rom/m.bin >")));
        QCOMPARE(dialog.ReportBox().toPlainText(), expected);
        QCOMPARE(QString::fromStdString(dialog.Log().Text()).replace("\r\n", "\n"), expected);
    }

    void selectFileUsesTheChooserAndItsOrder()
    {
        const test::TempDir dir;
        const QString one = QString::fromStdString(dir.Write("one.bin", Update(1)));
        const QString two = QString::fromStdString(dir.Write("two.bin", Update(2)));
        MainDialog dialog(Language::English);
        QStringList answer;
        QString askedTitle;
        dialog.chooseFiles = [&](QWidget*, const QString& title, const QString&) {
            askedTitle = title;
            return answer;
        };

        answer = {};  // cancelled
        dialog.OnSelectFile();
        QVERIFY(WaitIdle(dialog));
        QCOMPARE(askedTitle, QStringLiteral("Select MicroCode File"));
        QVERIFY(dialog.Log().IsEmpty());

        answer = {one};
        dialog.OnSelectFile();
        QVERIFY(WaitIdle(dialog));
        QCOMPARE(dialog.ReportBox().toPlainText(), ScanOutput({one}));

        dialog.OnClear();
        answer = {two, one};
        dialog.OnSelectFile();
        QVERIFY(WaitIdle(dialog));
        QCOMPARE(dialog.ReportBox().toPlainText(), ScanOutput({two, one}));
    }

    void clearThenTheNextHeadlineHasNoEmptyLineBefore()
    {
        const test::TempDir dir;
        const QString one = QString::fromStdString(dir.Write("one.bin", Update(1)));
        MainDialog dialog(Language::English);
        dialog.AnalyzePaths({one});
        QVERIFY(WaitIdle(dialog));
        dialog.OnClear();
        QVERIFY(dialog.Log().IsEmpty());
        QVERIFY(dialog.ReportBox().toPlainText().isEmpty());
        dialog.AnalyzePaths({one});
        QVERIFY(WaitIdle(dialog));
        QVERIFY(dialog.ReportBox().toPlainText().startsWith(QStringLiteral("<< ")));
    }

    void fileErrorShowsTheBoxAndKeepsTheReport()
    {
        const test::TempDir dir;
        const QString a = QString::fromStdString(dir.Write("a.bin", Update(1)));
        const std::string bad = dir.Write("b.bin", Update(2));
        const QString c = QString::fromStdString(dir.Write("c.bin", Update(3)));
        MainDialog dialog(Language::Japanese);
        QStringList errors;
        dialog.showError = [&](QWidget*, const QString& text) { errors.push_back(text); };
        bool idle = false;
        {
            const test::RefusingHook hook(test::ReadsOf(bad));
            dialog.AnalyzePaths({a, QString::fromStdString(bad), c});
            idle = WaitIdle(dialog);
        }
        QVERIFY(idle);
        QCOMPARE(errors, QStringList{QString::fromStdString(bad) +
                                     QStringLiteral(" へのｱｸｾｽ中にﾊｰﾄﾞｳｪｱ I/O ｴﾗｰが報告されました。")});
        QCOMPARE(dialog.ReportBox().toPlainText(),
                 ScanOutput({a}) + QStringLiteral("\n<< ") + QString::fromStdString(bad) + QStringLiteral(" >>\n"));
        QVERIFY(Button(dialog, 0)->isEnabled());
    }

    void japaneseTranslationLoadsInAJapaneseLocale()
    {
        auto& app = static_cast<ViewerApp&>(*QCoreApplication::instance());
        QCOMPARE(app.InstallTranslation(QLocale(QLocale::Japanese, QLocale::Japan)), Language::Japanese);
        {
            MainDialog dialog(Language::Japanese);
            QCOMPARE(Button(dialog, 0)->text(), QStringLiteral("ファイル選択"));
            QCOMPARE(Button(dialog, 2)->text(), QStringLiteral("消去"));
            QCOMPARE(Button(dialog, 3)->text(), QStringLiteral("終了"));
            QCOMPARE(dialog.actions().value(0)->text(), QStringLiteral("Veskari のﾊﾞｰｼﾞｮﾝ情報(&A)..."));
            QString title;
            dialog.chooseFiles = [&](QWidget*, const QString& asked, const QString&) {
                title = asked;
                return QStringList();
            };
            dialog.OnSelectFile();
            QCOMPARE(title, QStringLiteral("マイクロコードファイルの選択"));
        }
        QCOMPARE(app.InstallTranslation(QLocale(QLocale::English)), Language::English);
        MainDialog dialog(Language::English);
        QCOMPARE(Button(dialog, 0)->text(), QStringLiteral("Select File"));
        QCOMPARE(dialog.actions().value(0)->text(), QStringLiteral("About Veskari (&A)..."));
    }

    void dropsDuringACommandAreQueuedAndComeOutInOrder()
    {
        const test::TempDir dir;
        QStringList paths;
        for (int i = 0; i < 6; ++i) {
            paths.push_back(QString::fromStdString(dir.Write("f" + std::to_string(i) + ".bin", Update(
                static_cast<std::uint32_t>(i + 1)))));
        }
        // A large file keeps the first command busy while the others arrive.
        const std::string big = dir / "big.bin";
        test::WriteFile(big, test::Bytes(64U << 20, 0x55));
        MainDialog dialog(Language::English);
        Drop(dialog, {QString::fromStdString(big), paths[0]});
        QVERIFY(dialog.IsBusy());
        QVERIFY(!Button(dialog, 0)->isEnabled());
        QVERIFY(!Button(dialog, 2)->isEnabled());
        Drop(dialog, {paths[1], paths[2]});
        Drop(dialog, {paths[3]});
        dialog.AnalyzePaths({paths[4], paths[5]});
        QVERIFY(WaitIdle(dialog));
        QVERIFY(Button(dialog, 0)->isEnabled());
        QCOMPARE(dialog.ReportBox().toPlainText(),
                 ScanOutput(QStringList{QString::fromStdString(big)} + paths));
    }

    // Prints how long 100,000 report lines take to append in blocks, as the
    // analysis appends them, and checks that the box holds them all with
    // the last one in view. The figure is for the reader, not a pass condition.
    void appendingAHundredThousandLinesStaysIncremental()
    {
        MainDialog dialog(Language::English);
        dialog.show();
        std::string block;
        for (int line = 0; line < 100; ++line) {
            block += "1999/05/25 Rev. 0x2A (CPUID 0x652) SECC Pentium II Xeon Processor\r\n";
        }
        QElapsedTimer timer;
        timer.start();
        ReportLog& log = dialog.Log();
        for (int i = 0; i < 1000; ++i) {
            log.AppendReport(block);
        }
        QApplication::processEvents();
        std::printf("100000 lines appended in 1000 blocks in %lld ms\n", static_cast<long long>(timer.elapsed()));
        QCOMPARE(dialog.ReportBox().document()->blockCount(), 100001);
        auto* bar = dialog.ReportBox().verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());
    }

    // What cannot be read is listed, never mistaken for a file without
    // updates; a name that is not UTF-8 reaches the analysis byte for byte;
    // a stopped command leaves the next one to run.
    void problemsAreListedPathsKeepTheirBytesAndAStopEndsOnlyItsCommand()
    {
        const test::TempDir dir;
        const std::string odd = dir.Write("odd\xFF.bin", Update(7));
        const std::string missing = dir / "missing.bin";
        MainDialog dialog(Language::English);
        QMimeData data;
        data.setUrls({QUrl(QStringLiteral("file://") + QString::fromLatin1(QByteArray(odd.c_str()).toPercentEncoding("/"))),
                      QUrl::fromLocalFile(QString::fromStdString(missing))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &drop);
        QVERIFY(WaitIdle(dialog));
        QVERIFY(dialog.ReportBox().toPlainText().contains(QStringLiteral(" < odd\\xFF.bin >\n1999/05/25 Rev. 0x07")));
        QCOMPARE(dialog.Problems(), QStringList{QString::fromStdString(missing + ": cannot be read: not found")});

        const std::string sparse = dir / "sparse.bin";
        test::WriteFile(sparse, test::Bytes(10, 0));
        QCOMPARE(::truncate(sparse.c_str(), std::int64_t{4} << 30), 0);
        const QString one = QString::fromStdString(dir.Write("one.bin", Update(1)));
        dialog.AnalyzePaths({QString::fromStdString(sparse)});
        dialog.AnalyzePaths({one});
        QTest::qWait(50);
        dialog.StopCommand();
        QVERIFY(WaitIdle(dialog));
        QVERIFY(dialog.ReportBox().toPlainText().endsWith(ScanOutput({one})));
        dialog.OnClear();
        QVERIFY(dialog.Problems().isEmpty());
    }

    void closeStopsTheRunningCommandAndLeavesNoTemporaryFile()
    {
        const test::TempDir dir;
        test::Bytes image;
        for (int i = 0; i < 200; ++i) {
            test::Append(image, test::MakeStoredMember("m" + std::to_string(i), test::Bytes(200000, 0x33)));
        }
        for (int i = 0; i < 5; ++i) {
            (void)dir.Write("tree/" + std::to_string(i) + ".bin", image);
        }
        MainDialog dialog(Language::English);
        dialog.show();
        dialog.AnalyzePaths({QString::fromStdString(dir / "tree")});
        QTest::qWait(50);
        dialog.reject();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.ReportBox().toPlainText().contains(QStringLiteral("4.bin")));
    }
};

int main(int argc, char** argv)
{
    // A private temporary directory, so that leftovers are ours alone.
    QTemporaryDir temporary(QDir::tempPath() + QStringLiteral("/vsk-gui-XXXXXX"));
    qputenv("TMPDIR", temporary.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ViewerApp app(argc, argv);
    MainDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_dialog_test.moc"
