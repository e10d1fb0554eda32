// The main window under Qt Test with the offscreen platform: drops,
// Select File and Open Folder, Clear, Stop and Escape, the error box, the
// Japanese translation, queued commands, the table of updates, the list of
// problems, the status bar, Find and Save.

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QUrl>
#include <cstdio>
#include <unistd.h>

#include "find_bar.h"
#include "main_dialog.h"
#include "recent_paths.h"
#include "report_log.h"
#include "support/faults.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"
#include "update_table_model.h"
#include "updates_view.h"
#include "viewer_app.h"

using namespace veskari;

namespace {

const QString kExample = QStringLiteral(VESKARI_SOURCE_DIR "/examples/example.rom");

// What veskari-scan writes for these arguments, byte for byte.
QByteArray Scan(const QStringList& arguments)
{
    QProcess scan;
    scan.start(QStringLiteral(VESKARI_SCAN_BINARY), arguments);
    scan.waitForFinished(60000);
    return scan.readAllStandardOutput();
}

// Its report as the box shows it.
QString ScanOutput(const QStringList& paths)
{
    return QString::fromUtf8(Scan(paths));
}

void DropUrls(MainDialog& dialog, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    // A drop reaches only the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &drop);
}

void Drop(MainDialog& dialog, const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.push_back(QUrl::fromLocalFile(path));
    }
    DropUrls(dialog, urls);
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

test::Bytes Update(std::uint32_t revision, std::uint32_t signature = 0x652)
{
    test::MicrocodeFields fields;
    fields.revision = revision;
    fields.signature = signature;
    return test::MakeMicrocodeUpdate(fields);
}

QString Hex(qint64 value, int width = 0)
{
    return QStringLiteral("0x%1").arg(value, width, 16, QLatin1Char('0')).toUpper().replace(QStringLiteral("0X"), QStringLiteral("0x"));
}

// The CSV records of every update in a JSON document of veskari-scan, in
// report order: a file's members (and theirs) before its own updates.
void CsvOfFile(const QJsonObject& file, const QString& path, QStringList& records)
{
    for (const QJsonValue& member : file[QStringLiteral("members")].toArray()) {
        if (member[QStringLiteral("analysis")].isObject()) {
            CsvOfFile(member[QStringLiteral("analysis")].toObject(), path, records);
        }
    }
    for (const QJsonValue& update : file[QStringLiteral("updates")].toArray()) {
        QStringList chain;
        for (const QJsonValue& name : update[QStringLiteral("chain")].toArray()) {
            chain.push_back(name.toString());
        }
        chain.removeFirst();
        records.push_back(QStringList{path, chain.join(QLatin1Char('/')), Hex(update[QStringLiteral("offset")].toInteger()),
                                      Hex(update[QStringLiteral("signature")].toInteger()),
                                      Hex(update[QStringLiteral("platformFlags")].toInteger(), 2),
                                      Hex(update[QStringLiteral("revision")].toInteger(), 2),
                                      update[QStringLiteral("dateText")].toString(),
                                      update[QStringLiteral("package")].toString(),
                                      update[QStringLiteral("processor")].toString(),
                                      update[QStringLiteral("checksumValid")].toBool() ? QStringLiteral("yes")
                                                                                       : QStringLiteral("no")}
                              .join(QLatin1Char(',')) +
                          QStringLiteral("\r\n"));
    }
}

QString CsvOfJson(const QByteArray& json)
{
    QStringList records;
    for (const QJsonValue& path : QJsonDocument::fromJson(json)[QStringLiteral("paths")].toArray()) {
        for (const QJsonValue& file : path[QStringLiteral("files")].toArray()) {
            CsvOfFile(file.toObject(), file[QStringLiteral("path")].toString(), records);
        }
    }
    return QStringLiteral("path,member chain,offset,CPUID,platform flags,revision,date,package,processor,"
                          "checksum valid\r\n") +
           records.join(QString());
}

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        QVERIFY(test::LeftoverTemporaryFiles().empty());
    }

    // The report, Save in each format and the table all equal what
    // veskari-scan writes for the same paths: the example image, a folder
    // with members in members, and a path that does not exist.
    void whatTheWindowShowsAndSavesIsWhatTheCommandLineWrites()
    {
        const test::TempDir dir;
        (void)dir.Write("tree/nested.rom", test::MakeStoredMember("outer.bin", test::MakeStoredMember(
                                                                                    "inner.bin", Update(3, 0x66A))));
        (void)dir.Write("tree/sub/plain.bin", Update(4, 0x650));
        const QStringList paths = {kExample, QString::fromStdString(dir / "tree"),
                                   QString::fromStdString(dir / "missing.bin")};
        MainDialog dialog(Language::English);
        Drop(dialog, paths);
        QVERIFY(WaitIdle(dialog));

        QCOMPARE(dialog.ReportBox().toPlainText(), ScanOutput(paths));
        QCOMPARE(dialog.SavedBytes(SaveFormat::report), Scan(paths));
        QCOMPARE(dialog.SavedBytes(SaveFormat::reportCrLf), Scan(QStringList{QStringLiteral("--crlf")} + paths));
        const QByteArray json = Scan(QStringList{QStringLiteral("--json")} + paths);
        QCOMPARE(dialog.SavedBytes(SaveFormat::json), json);
        const QString csv = CsvOfJson(json);
        QVERIFY(csv.contains(QStringLiteral("/tree/nested.rom,outer.bin/inner.bin,0x0,0x66A,0x04,0x03,")));
        QCOMPARE(QString::fromUtf8(dialog.SavedBytes(SaveFormat::csv)), csv);

        // Sorted by CPUID, filtered by a CPUID in any case, copied as text.
        UpdatesView& updates = dialog.Updates();
        QCOMPARE(updates.Model().rowCount(), 12);
        updates.Table().sortByColumn(static_cast<int>(output::CsvColumn::cpuid), Qt::DescendingOrder);
        QCOMPARE(updates.Proxy().index(0, 3).data().toString(), QStringLiteral("0x1632"));
        QCOMPARE(updates.Proxy().index(11, 3).data().toString(), QStringLiteral("0x650"));
        updates.FilterBox().setText(QStringLiteral("0x66a"));
        QCOMPARE(updates.Proxy().rowCount(), 4);
        updates.Table().selectAll();
        const QStringList copied = updates.SelectedText().split(QLatin1Char('\n'));
        QCOMPARE(copied.size(), 5);
        QCOMPARE(copied[0], QStringLiteral("example.rom\tmodules.bin/mobile.bin\t0x0\t0x66A\t0x02\t0x0C\t1999/05/05\t"
                                           "Mini-Cart\tMobile Pentium II Processor/Celeron Processor\tinvalid")
                                .replace(QStringLiteral("example.rom"), kExample));
        QVERIFY(copied[1].startsWith(QString::fromStdString(dir / "tree/nested.rom") + QStringLiteral("\touter.bin/inner.bin\t")));
    }

    // Select File and Open Folder ask their choosers and analyse the
    // answer in its order; what they chose is remembered across runs.
    void selectFileAndOpenFolderAreAnalysedAndRemembered()
    {
        const test::TempDir dir;
        const QString one = QString::fromStdString(dir.Write("one.bin", Update(1)));
        const QString two = QString::fromStdString(dir.Write("two.bin", Update(2)));
        const QString folder = QString::fromStdString(dir.MakeFolder("folder"));
        (void)dir.Write("folder/three.bin", Update(3));
        MainDialog dialog(Language::English);
        QStringList answer;
        QString askedTitle;
        QString askedFilter;
        dialog.chooseFiles = [&](QWidget*, const QString& title, const QString& filter) {
            askedTitle = title;
            askedFilter = filter;
            return answer;
        };
        dialog.chooseFolder = [&](QWidget*, const QString&) { return folder; };

        answer = {};  // cancelled
        dialog.OnSelectFile();
        QVERIFY(WaitIdle(dialog));
        QCOMPARE(askedTitle, QStringLiteral("Select MicroCode File"));
        QCOMPARE(askedFilter, QStringLiteral("BIOS or MicroCodeFile (*)"));
        QVERIFY(dialog.Log().IsEmpty());

        answer = {two, one};
        dialog.OnSelectFile();
        QVERIFY(WaitIdle(dialog));
        QCOMPARE(dialog.ReportBox().toPlainText(), ScanOutput({two, one}));
        dialog.OnClear();
        dialog.OnOpenFolder();
        QVERIFY(WaitIdle(dialog));
        QCOMPARE(dialog.ReportBox().toPlainText(), ScanOutput({folder}));
        QCOMPARE(RecentPaths::Paths().mid(0, 3), (QList<QByteArray>{QFile::encodeName(folder), QFile::encodeName(two),
                                                          QFile::encodeName(one)}));
        QCOMPARE(RecentPaths::LastFolder(), folder);
    }

    // Clear empties every view; the next headline has no empty line before it.
    void clearEmptiesEveryViewAndTheNextHeadlineStartsTheReport()
    {
        const test::TempDir dir;
        const QString one = QString::fromStdString(dir.Write("one.bin", Update(1)));
        MainDialog dialog(Language::English);
        dialog.AnalyzePaths({one, QString::fromStdString(dir / "missing")});
        QVERIFY(WaitIdle(dialog));
        QCOMPARE(dialog.Updates().Model().rowCount(), 1);
        dialog.OnClear();
        QVERIFY(dialog.Log().IsEmpty());
        QVERIFY(dialog.ReportBox().toPlainText().isEmpty());
        QCOMPARE(dialog.Updates().Model().rowCount(), 0);
        QVERIFY(dialog.Problems().isEmpty());
        QVERIFY(dialog.StatusText().isEmpty());
        dialog.AnalyzePaths({one});
        QVERIFY(WaitIdle(dialog));
        QVERIFY(dialog.ReportBox().toPlainText().startsWith(QStringLiteral("<< ")));
        QCOMPARE(dialog.SavedBytes(SaveFormat::json), Scan({QStringLiteral("--json"), one}));
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
        QVERIFY(dialog.StatusText().startsWith(QStringLiteral("Ended by an error. Files: 2  ")));
    }

    // Our texts and Qt's own (the report box's menu, the file dialogs).
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
            QStringList asked;
            dialog.chooseFiles = [&](QWidget*, const QString& title, const QString& filter) {
                asked = {title, filter};
                return QStringList();
            };
            dialog.OnSelectFile();
            QCOMPARE(asked, (QStringList{QStringLiteral("マイクロコードファイルの選択"),
                                         QStringLiteral("BIOS またはマイクロコードファイル (*)")}));
            QCOMPARE(QCoreApplication::translate("QWidgetTextControl", "&Copy"), QStringLiteral("コピー(&C)"));
        }
        QCOMPARE(app.InstallTranslation(QLocale(QLocale::English)), Language::English);
        MainDialog dialog(Language::English);
        QCOMPARE(Button(dialog, 0)->text(), QStringLiteral("Select File"));
        QCOMPARE(dialog.actions().value(0)->text(), QStringLiteral("About Veskari (&A)..."));
        QCOMPARE(QCoreApplication::translate("QWidgetTextControl", "&Copy"), QStringLiteral("&Copy"));
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
        QVERIFY(dialog.StatusText().startsWith(QStringLiteral("Done. Files: 7  Members: 0  Updates: 6  Problems: 0  Time: ")));
    }

    // The report follows new text while its view is at the bottom and stays
    // where a reader has scrolled to otherwise. Prints how long 100,000
    // report lines take to append in blocks, as the analysis appends them;
    // the figure is for the reader, not a pass condition.
    void reportFollowsNewTextOnlyWhileItsViewIsAtTheBottom()
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
        log.Flush();
        QApplication::processEvents();
        std::printf("100000 lines appended in 1000 blocks in %lld ms\n", static_cast<long long>(timer.elapsed()));
        QCOMPARE(dialog.ReportBox().document()->blockCount(), 100001);
        QScrollBar& bar = *dialog.ReportBox().verticalScrollBar();
        QCOMPARE(bar.value(), bar.maximum());

        bar.setValue(500);  // the reader scrolls up
        log.AppendReport(block);
        log.Flush();
        QCOMPARE(bar.value(), 500);
        bar.setValue(bar.maximum());  // and back to the end
        log.AppendReport(block);
        log.Flush();
        QCOMPARE(dialog.ReportBox().document()->blockCount(), 100201);
        QCOMPARE(bar.value(), bar.maximum());
    }

    // What cannot be read, and members whose data is damaged, are listed;
    // a name that is not UTF-8 reaches the analysis byte for byte. Progress
    // shows while a command runs; Stop and Escape end it and drop the
    // commands queued behind it, keep the report and leave the window
    // ready for the next command; without a command Escape closes.
    void problemsProgressStopAndEscape()
    {
        const test::TempDir dir;
        const std::string odd = dir.Write("odd\xFF.bin", Update(7));
        const std::string missing = dir / "missing.bin";
        test::Bytes data = Update(9);
        test::LzhMemberFields member;
        member.name = "bad.bin";
        member.data = data;
        member.decodedSize = static_cast<std::uint32_t>(data.size());
        member.crc = static_cast<std::uint16_t>(test::Crc16(data) ^ 1);
        const std::string damaged = dir.Write("damaged.rom", test::MakeLzhMember(member));
        MainDialog dialog(Language::English);
        dialog.show();
        DropUrls(dialog, {QUrl(QStringLiteral("file://") + QString::fromLatin1(QByteArray(odd.c_str()).toPercentEncoding("/"))),
                      QUrl::fromLocalFile(QString::fromStdString(missing)),
                      QUrl::fromLocalFile(QString::fromStdString(damaged))});
        QVERIFY(WaitIdle(dialog));
        QVERIFY(dialog.ReportBox().toPlainText().contains(QStringLiteral(" < odd\\xFF.bin >\n1999/05/25 Rev. 0x07")));
        QCOMPARE(dialog.Problems(), (QStringList{QString::fromStdString(missing + ": cannot be read: not found"),
                                                 QStringLiteral("damaged.rom/bad.bin: member not analysed, its "
                                                                "CRC-16 does not match")}));
        QVERIFY(dialog.StatusText().startsWith(QStringLiteral("Done. Files: 3  Members: 0  Updates: 2  Problems: 2  ")));

        const std::string sparse = dir / "sparse.bin";
        test::WriteFile(sparse, test::Bytes(10, 0));
        QCOMPARE(::truncate(sparse.c_str(), std::int64_t{4} << 30), 0);
        const QString one = QString::fromStdString(dir.Write("one.bin", Update(1)));
        const QString report = dialog.ReportBox().toPlainText();
        for (const bool escape : {false, true}) {
            dialog.AnalyzePaths({QString::fromStdString(sparse)});
            dialog.AnalyzePaths({one});
            QTRY_COMPARE(dialog.StatusText(), QStringLiteral("Analysing: 0 of 1 files: ") + QString::fromStdString(sparse));
            QVERIFY(Button(dialog, 4)->isEnabled());
            if (escape) {
                QTest::keyClick(&dialog, Qt::Key_Escape);
            } else {
                Button(dialog, 4)->click();
            }
            QVERIFY(WaitIdle(dialog));
            QVERIFY(dialog.isVisible());
            QVERIFY(!Button(dialog, 4)->isEnabled());
            QVERIFY(Button(dialog, 0)->isEnabled());
            QVERIFY(dialog.StatusText().startsWith(QStringLiteral("Stopped. Files: 1  ")));
            QVERIFY(!dialog.ReportBox().toPlainText().contains(QStringLiteral("one.bin")));
        }
        QCOMPARE(dialog.ReportBox().toPlainText(), report + QStringLiteral("\n<< %1 >>\n\n<< %1 >>\n").arg(
                                                              QString::fromStdString(sparse)));
        // The JSON document ends each stopped command with the file it stopped in.
        const QByteArray json = dialog.SavedBytes(SaveFormat::json);
        QCOMPARE(json.count("\"incomplete\": true"), 2);
        QVERIFY(!json.contains("one.bin"));
        dialog.AnalyzePaths({one});
        QVERIFY(WaitIdle(dialog));
        QVERIFY(dialog.ReportBox().toPlainText().endsWith(ScanOutput({one})));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
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

    // Ctrl+F finds in the report, forwards and backwards around its ends;
    // Ctrl+S saves what the chosen format holds, or tells why it cannot.
    void findAndSave()
    {
        const test::TempDir dir;
        MainDialog dialog(Language::English);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.AnalyzePaths({kExample});
        QVERIFY(WaitIdle(dialog));

        QTest::keyClick(&dialog, Qt::Key_F, Qt::ControlModifier);
        FindBar& finder = dialog.Finder();
        QVERIFY(finder.isVisible());
        QTest::keyClicks(&finder.SearchBox(), QStringLiteral("cpuid 0x65"));
        const auto found = [&] {
            const QTextCursor cursor = dialog.ReportBox().textCursor();
            return std::pair(cursor.blockNumber(), cursor.selectedText());
        };
        QTest::keyClick(&finder.SearchBox(), Qt::Key_Return);
        QCOMPARE(found(), std::pair(2, QStringLiteral("CPUID 0x65")));
        QVERIFY(finder.FindNext());
        QCOMPARE(found().first, 3);
        QVERIFY(finder.FindNext());
        QCOMPARE(found().first, 7);
        QVERIFY(finder.FindNext());  // around the end
        QCOMPARE(found().first, 2);
        QTest::keyClick(&finder.SearchBox(), Qt::Key_Return, Qt::ShiftModifier);  // around the start
        QCOMPARE(found().first, 7);
        finder.SearchBox().setText(QStringLiteral("Pentium V"));
        QVERIFY(!finder.FindNext());
        QCOMPARE(found().first, 7);
        QTest::keyClick(&finder.SearchBox(), Qt::Key_Escape);
        QVERIFY(!finder.isVisible());
        QVERIFY(dialog.isVisible());

        QString path = QString::fromStdString(dir / "saved.json");
        dialog.chooseSaveFile = [&](QWidget*, SaveFormat& format) {
            format = SaveFormat::json;
            return path;
        };
        QStringList errors;
        dialog.showError = [&](QWidget*, const QString& text) { errors.push_back(text); };
        QTest::keyClick(&dialog, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(QByteArray::fromStdString(test::ReadFile(path.toStdString())), Scan({QStringLiteral("--json"), kExample}));
        path = QString::fromStdString(dir / "no/such/folder/saved.json");
        dialog.OnSave();
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].startsWith(path + QStringLiteral(" could not be saved: ")));
    }
};

int main(int argc, char** argv)
{
    // A private temporary directory, so that leftovers are ours alone, and
    // private settings, so that the user's recent paths stay untouched.
    QTemporaryDir temporary(QDir::tempPath() + QStringLiteral("/vsk-gui-XXXXXX"));
    qputenv("TMPDIR", temporary.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (temporary.path() + QStringLiteral("/config")).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ViewerApp app(argc, argv);
    MainDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_dialog_test.moc"
