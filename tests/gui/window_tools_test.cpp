// The window as a working tool, under Qt Test with the offscreen platform:
// the table of updates, Save in every format, the list of problems, the
// status bar, Stop and Escape, the report's following rule and Find.

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QColor>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTextDocument>
#include <cstdio>
#include <unistd.h>

#include "find_bar.h"
#include "gui_support.h"
#include "main_dialog.h"
#include "report_log.h"
#include "report_view.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"
#include "update_table_model.h"
#include "updates_view.h"

using namespace veskari;
using test::Button;
using test::Drop;
using test::DropUrls;
using test::kExample;
using test::Scan;
using test::ScanOutput;
using test::Update;
using test::WaitIdle;

namespace {

QString Hex(qint64 value, int width = 0)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

// The summary's revision and standing for the processor of `update`.
QString Highest(const QJsonValue& update, const QJsonArray& processors)
{
    for (const QJsonValue& processor : processors) {
        if (processor[QStringLiteral("signature")] == update[QStringLiteral("signature")] &&
            processor[QStringLiteral("platformFlags")] == update[QStringLiteral("platformFlags")]) {
            return processor[QStringLiteral("revisionText")].toString() + QLatin1Char(',') +
                   processor[QStringLiteral("standing")][QStringLiteral("state")].toString();
        }
    }
    return QStringLiteral("?,?");
}

// The standing fields of a JSON standing, as the CSV writes them.
QStringList StandingFields(const QJsonValue& standing)
{
    return {standing[QStringLiteral("state")].toString(), standing[QStringLiteral("newestRevisionText")].toString(),
            standing[QStringLiteral("newestDateText")].toString(),
            standing[QStringLiteral("newestFirstRelease")].toString(),
            standing[QStringLiteral("firstRelease")].toString(), standing[QStringLiteral("lastRelease")].toString()};
}

// The CSV records of every update in a JSON document of veskari-scan, in
// report order: a file's members (and theirs) before its own updates; the
// last columns from the top-level file's processor summary.
void CsvOfFile(const QJsonObject& file, const QString& path, const QJsonArray& processors, QStringList& records)
{
    for (const QJsonValue& member : file[QStringLiteral("members")].toArray()) {
        if (member[QStringLiteral("analysis")].isObject()) {
            CsvOfFile(member[QStringLiteral("analysis")].toObject(), path, processors, records);
        }
    }
    for (const QJsonValue& update : file[QStringLiteral("updates")].toArray()) {
        QStringList chain;
        for (const QJsonValue& name : update[QStringLiteral("chain")].toArray()) {
            chain.push_back(name.toString());
        }
        chain.removeFirst();
        records.push_back(QStringList{path, chain.join(QLatin1Char('/')),
                                      Hex(update[QStringLiteral("offset")].toInteger()),
                                      Hex(update[QStringLiteral("signature")].toInteger()),
                                      Hex(update[QStringLiteral("platformFlags")].toInteger(), 2),
                                      Hex(update[QStringLiteral("revision")].toInteger(), 2),
                                      update[QStringLiteral("dateText")].toString(),
                                      update[QStringLiteral("package")].toString(),
                                      update[QStringLiteral("processor")].toString(),
                                      update[QStringLiteral("checksumValid")].toBool() ? QStringLiteral("yes")
                                                                                       : QStringLiteral("no")}
                                      .join(QLatin1Char(',')) +
                          QLatin1Char(',') + StandingFields(update[QStringLiteral("standing")]).join(QLatin1Char(',')) +
                          QLatin1Char(',') + Highest(update, processors) + QStringLiteral("\r\n"));
    }
}

QString CsvOfJson(const QByteArray& json)
{
    QStringList records;
    for (const QJsonValue& path : QJsonDocument::fromJson(json)[QStringLiteral("paths")].toArray()) {
        for (const QJsonValue& file : path[QStringLiteral("files")].toArray()) {
            CsvOfFile(file.toObject(), file[QStringLiteral("path")].toString(),
                      file[QStringLiteral("processors")].toArray(), records);
        }
    }
    return QStringLiteral("path,member chain,offset,CPUID,platform flags,revision,date,package,processor,"
                          "checksum valid,standing,newest published revision,newest published date,"
                          "newest published in,first published in,last published in,highest revision in file,"
                          "standing of highest\r\n") +
           records.join(QString());
}

}  // namespace

class WindowToolsTest : public QObject {
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

        QCOMPARE(dialog.ReportBox().PlainText(), ScanOutput(paths));
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
                                           "Mini-Cart\tMobile Pentium II Processor/Celeron Processor\tinvalid\tnewest")
                                .replace(QStringLiteral("example.rom"), kExample));
        QVERIFY(copied[1].startsWith(QString::fromStdString(dir / "tree/nested.rom") +
                                     QStringLiteral("\touter.bin/inner.bin\t")));

        // The example's 0x652 update is older than the one published: it says so, in colour.
        updates.FilterBox().setText(QStringLiteral("0x652"));
        QCOMPARE(updates.Proxy().rowCount(), 1);
        const QModelIndex standing = updates.Proxy().index(0, static_cast<int>(output::CsvColumn::standing));
        QCOMPARE(standing.data().toString(), QStringLiteral("older: 0x2B published"));
        QVERIFY(standing.data(Qt::ForegroundRole).canConvert<QColor>());
        QVERIFY(standing.data(Qt::ToolTipRole).toString().contains(QStringLiteral("Rev. 0x2B of 1999/05/12")));
    }

    // The remembered choice of every update format: the report, the table
    // (extended lines by their own processor) and the JSON document are
    // those of veskari-scan --all-formats.
    void everyFormatOnRequest()
    {
        const std::string shared = test::SharedDir();
        const QStringList paths{QString::fromStdString(shared + "/testdata/microcode-modern/06-9a-04")};
        MainDialog dialog(Language::English);
        QAction* allFormats = nullptr;
        for (QAction* action : dialog.findChildren<QAction*>()) {
            if (action->text() == QStringLiteral("List Updates of &Every Format")) {
                allFormats = action;
            }
        }
        QVERIFY(allFormats != nullptr);
        QVERIFY(!allFormats->isChecked());  // off at first
        // The classic mode says once for the file what it did not list.
        dialog.AnalyzePaths(paths);
        QVERIFY(WaitIdle(dialog));
        QCOMPARE(dialog.Problems().size(), 1);
        QVERIFY2(dialog.Problems()[0].startsWith(QStringLiteral("06-9a-04: ")) &&
                     dialog.Problems()[0].endsWith(QStringLiteral(
                         " not listed; turn on Edit, List Updates of Every Format")),
                 qPrintable(dialog.Problems()[0]));
        dialog.OnClear();
        allFormats->setChecked(true);
        dialog.AnalyzePaths(paths);
        QVERIFY(WaitIdle(dialog));
        const QStringList options{QStringLiteral("--all-formats")};
        QCOMPARE(dialog.ReportBox().PlainText(), QString::fromUtf8(Scan(options + paths)));
        QCOMPARE(dialog.SavedBytes(SaveFormat::json), Scan(options + QStringList{QStringLiteral("--json")} + paths));
        const QString csv = QString::fromUtf8(dialog.SavedBytes(SaveFormat::csv));
        QVERIFY(csv.contains(QStringLiteral(",0x906A4,0x80,0x43A,2025/10/12,")));
        MainDialog remembered(Language::English);
        for (QAction* action : remembered.findChildren<QAction*>()) {
            if (action->text() == allFormats->text()) {
                QVERIFY(action->isChecked());
                action->setChecked(false);
            }
        }
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
        QCOMPARE(dialog.ReportBox().LineCount(), 100001);
        QScrollBar& bar = *dialog.ReportBox().verticalScrollBar();
        QCOMPARE(bar.value(), bar.maximum());

        bar.setValue(500);  // the reader scrolls up
        log.AppendReport(block);
        log.Flush();
        QCOMPARE(bar.value(), 500);
        bar.setValue(bar.maximum());  // and back to the end
        log.AppendReport(block);
        log.Flush();
        QCOMPARE(dialog.ReportBox().LineCount(), 100201);
        QCOMPARE(bar.value(), bar.maximum());

        // Found among lines not shown yet, a match stays in view when they are.
        log.AppendReport("needle\r\n" + block);
        QVERIFY(dialog.ReportBox().Find(QStringLiteral("needle"), false));
        log.Flush();
        const qsizetype found = dialog.ReportBox().Caret().line;
        QVERIFY(bar.value() <= found && found < bar.value() + bar.pageStep());
    }

    // The report box shows the report's CR LF lines as lines and gives back
    // what a reader selects, with the mouse or the keys, as LF text: across
    // lines, never half a character, by word and by line; Find goes back
    // within a line and around the start; assistive technology reads the
    // same text and caret.
    void reportSelectionAndCopy()
    {
        MainDialog dialog(Language::English);
        dialog.resize(800, 400);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        ReportView& report = dialog.ReportBox();
        dialog.Log().AppendReport("<< \xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB.bin >>\r\n"
                                  "1999/05/25 Rev. 0x07 (CPUID 0x673)\r\n < inner.bin >\r\nxyz\r\n"
                                  "ab\xF0\x9F\x98\x80q xyz");
        dialog.Log().Flush();
        QCOMPARE(report.LineCount(), 5);
        QCOMPARE(report.PlainText(), QStringLiteral("<< \u30D5\u30A1\u30A4\u30EB.bin >>\n"
                                                    "1999/05/25 Rev. 0x07 (CPUID 0x673)\n < inner.bin >\nxyz\n"
                                                    "ab\U0001F600q xyz"));

        // Keys: from the fifth character of the second line to the fifth of the third.
        report.setFocus();
        QTest::keyClick(&report, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(&report, Qt::Key_Down);
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(&report, Qt::Key_Right);
        }
        QTest::keyClick(&report, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(report.SelectedText(), QStringLiteral("/05/25 Rev. 0x07 (CPUID 0x673)\n < i"));
        QTest::keyClick(&report, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), report.SelectedText());
        QTest::keyClick(&report, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(report.SelectedText().endsWith(QStringLiteral("xyz\nab\U0001F600q xyz")));
        // A character outside the basic plane is one step, never half.
        QTest::keyClick(&report, Qt::Key_Home);
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(&report, Qt::Key_Right);
        }
        QTest::keyClick(&report, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(report.SelectedText(), QStringLiteral("\U0001F600"));
        QTest::keyClick(&report, Qt::Key_Up);
        QTest::keyClick(&report, Qt::Key_End);
        QTest::keyClick(&report, Qt::Key_Down);
        QVERIFY(!report.LineText(4)[report.Caret().column].isLowSurrogate());
        QTest::keyClick(&report, Qt::Key_Home);
        QTest::keyClick(&report, Qt::Key_Right, Qt::ControlModifier);
        QTest::keyClick(&report, Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(report.Caret(), (ReportPoint{4, 6}));

        // Find: back within a line, then around the start.
        QTest::keyClick(&report, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(&report, Qt::Key_Down);
        QTest::keyClick(&report, Qt::Key_End);
        for (const qsizetype at : {28, 16, 28}) {
            QVERIFY(report.Find(QStringLiteral("0X"), true));
            QCOMPARE(report.Caret(), (ReportPoint{1, at + 2}));
        }

        // The mouse: a drag from the start of the second line down past its
        // end, a double click on a word, a third click on the line.
        const int height = report.fontMetrics().lineSpacing();
        const QPoint second(2, 4 + height + height / 2);
        QTest::mousePress(report.viewport(), Qt::LeftButton, {}, second);
        QTest::mouseMove(report.viewport(), second + QPoint(2000, height));
        QTest::mouseRelease(report.viewport(), Qt::LeftButton, {}, second + QPoint(2000, height));
        QCOMPARE(report.SelectedText(), QStringLiteral("1999/05/25 Rev. 0x07 (CPUID 0x673)\n < inner.bin >"));
        const int digit = report.fontMetrics().horizontalAdvance(QLatin1Char('0'));
        QTest::mouseDClick(report.viewport(), Qt::LeftButton, {}, second + QPoint(digit * 13, 0));
        QCOMPARE(report.SelectedText(), QStringLiteral("Rev"));
        QTest::mousePress(report.viewport(), Qt::LeftButton, {}, second + QPoint(digit * 13, 0));
        QTest::mouseRelease(report.viewport(), Qt::LeftButton, {}, second + QPoint(digit * 13, 0));
        QCOMPARE(report.SelectedText(), report.LineText(1));
        QTest::keyClick(&report, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(report.SelectedText(), report.PlainText());

        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&report);
        QVERIFY(accessible != nullptr && accessible->textInterface() != nullptr);
        QAccessibleTextInterface& text = *accessible->textInterface();
        QCOMPARE(text.text(0, text.characterCount()), report.PlainText());
        text.setCursorPosition(text.characterCount() - 3);
        QCOMPARE(report.Caret(), (ReportPoint{4, 6}));
        QCOMPARE(text.text(13, 17), QStringLiteral(">\n19"));
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
        const QByteArray oddUrl = "file://" + QByteArray(odd.c_str()).toPercentEncoding("/");
        DropUrls(dialog, {QUrl(QString::fromLatin1(oddUrl)),
                      QUrl::fromLocalFile(QString::fromStdString(missing)),
                      QUrl::fromLocalFile(QString::fromStdString(damaged))});
        QVERIFY(WaitIdle(dialog));
        QVERIFY(dialog.ReportBox().PlainText().contains(QStringLiteral(" < odd\\xFF.bin >\n1999/05/25 Rev. 0x07")));
        QCOMPARE(dialog.Problems(), (QStringList{QString::fromStdString(missing + ": cannot be read: not found"),
                                                 QStringLiteral("damaged.rom/bad.bin: member not analysed, its "
                                                                "CRC-16 does not match")}));
        QVERIFY(dialog.StatusText().startsWith(
            QStringLiteral("Done. Files: 3  Members: 0  Updates: 2  Problems: 2  ")));

        const std::string sparse = dir / "sparse.bin";
        test::WriteFile(sparse, test::Bytes(10, 0));
        QCOMPARE(::truncate(sparse.c_str(), std::int64_t{4} << 30), 0);
        const QString one = QString::fromStdString(dir.Write("one.bin", Update(1)));
        const QString report = dialog.ReportBox().PlainText();
        for (const bool escape : {false, true}) {
            dialog.AnalyzePaths({QString::fromStdString(sparse)});
            dialog.AnalyzePaths({one});
            QTRY_COMPARE(dialog.StatusText(),
                         QStringLiteral("Analysing: 0 of 1 files: ") + QString::fromStdString(sparse));
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
            QVERIFY(dialog.StatusText().startsWith(QStringLiteral("Stopped: 1 file not analysed. Files: ")));
            QVERIFY(!dialog.ReportBox().PlainText().contains(QStringLiteral("one.bin")));
        }
        QCOMPARE(dialog.ReportBox().PlainText(), report + QStringLiteral("\n<< %1 >>\n\n<< %1 >>\n").arg(
                                                              QString::fromStdString(sparse)));
        // The JSON document ends each stopped command with the file it stopped in.
        const QByteArray json = dialog.SavedBytes(SaveFormat::json);
        QCOMPARE(json.count("\"incomplete\": true"), 2);
        QVERIFY(!json.contains("one.bin"));
        dialog.AnalyzePaths({one});
        QVERIFY(WaitIdle(dialog));
        QVERIFY(dialog.ReportBox().PlainText().endsWith(ScanOutput({one})));
        dialog.confirmDiscard = [](QWidget*) { return true; };
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
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
            const ReportView& report = dialog.ReportBox();
            return std::pair(static_cast<int>(report.Caret().line), report.SelectedText());
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
        QCOMPARE(QByteArray::fromStdString(test::ReadFile(path.toStdString())),
                 Scan({QStringLiteral("--json"), kExample}));
        path = QString::fromStdString(dir / "no/such/folder/saved.json");
        dialog.OnSave();
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].startsWith(path + QStringLiteral(" could not be saved: ")));
    }
};

int RunWindowToolsTests(int argc, char** argv)
{
    WindowToolsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_tools_test.moc"
