// The main window under Qt Test with the offscreen platform, as the base
// of its commands has it: drops, Select File and Open Folder, Clear, the
// error box, the Japanese translation, queued commands and Close.

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

#include "gui_support.h"
#include "guide_window.h"
#include "main_dialog.h"
#include "recent_paths.h"
#include "report_log.h"
#include "report_view.h"
#include "support/faults.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"
#include "update_table_model.h"
#include "updates_view.h"
#include "viewer_app.h"

using namespace veskari;
using test::Button;
using test::Drop;
using test::Scan;
using test::ScanOutput;
using test::Update;
using test::WaitIdle;

class MainDialogTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup()
    {
        QVERIFY(test::LeftoverTemporaryFiles().empty());
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
        QCOMPARE(dialog.ReportBox().PlainText(), ScanOutput({two, one}));
        dialog.OnClear();
        dialog.OnOpenFolder();
        QVERIFY(WaitIdle(dialog));
        QCOMPARE(dialog.ReportBox().PlainText(), ScanOutput({folder}));
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
        QVERIFY(dialog.ReportBox().PlainText().isEmpty());
        QCOMPARE(dialog.Updates().Model().rowCount(), 0);
        QVERIFY(dialog.Problems().isEmpty());
        QVERIFY(dialog.StatusText().isEmpty());
        dialog.AnalyzePaths({one});
        QVERIFY(WaitIdle(dialog));
        QVERIFY(dialog.ReportBox().PlainText().startsWith(QStringLiteral("<< ")));
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
        QCOMPARE(dialog.ReportBox().PlainText(),
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

    // F1 opens the bundled guide in the window's language, with every
    // section there and every link of its contents leading to one.
    void f1OpensTheGuideInTheWindowsLanguage()
    {
        const QSet<QString> sections = {
            QStringLiteral("start"),    QStringLiteral("report"), QStringLiteral("find"),     QStringLiteral("table"),
            QStringLiteral("tree"),     QStringLiteral("problems"), QStringLiteral("status"), QStringLiteral("modes"),
            QStringLiteral("standing"), QStringLiteral("save"),   QStringLiteral("stop"),     QStringLiteral("keys"),
            QStringLiteral("settings")};
        for (const auto& [language, title] : {std::pair(Language::English, QStringLiteral("Veskari User Guide")),
                                              std::pair(Language::Japanese, QStringLiteral("Veskari ユーザーガイド"))}) {
            MainDialog dialog(language);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QTest::keyClick(&dialog, Qt::Key_F1);
            QVERIFY(dialog.Guide() != nullptr);
            QVERIFY(dialog.Guide()->isVisible());
            const QTextDocument& page = *dialog.Guide()->Browser().document();
            QCOMPARE(page.metaInformation(QTextDocument::DocumentTitle), title);
            QSet<QString> anchors;
            QSet<QString> links;
            for (QTextBlock block = page.begin(); block.isValid(); block = block.next()) {
                for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
                    const QTextCharFormat format = fragment.fragment().charFormat();
                    for (const QString& name : format.anchorNames()) {
                        anchors.insert(name);
                    }
                    if (format.isAnchor() && format.anchorHref().startsWith(QLatin1Char('#'))) {
                        links.insert(format.anchorHref().mid(1));
                    }
                }
            }
            QCOMPARE(QSet<QString>(sections).subtract(anchors), QSet<QString>());
            QCOMPARE(QSet<QString>(links).subtract(anchors), QSet<QString>());
            // The contents lead to every section (finding text is part of the report's).
            QCOMPARE(QSet<QString>(sections).subtract(links), QSet<QString>{QStringLiteral("find")});
            // About stays a menu entry of its own.
            QCOMPARE(dialog.actions().value(0)->shortcut(), QKeySequence());
        }
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
        QCOMPARE(dialog.ReportBox().PlainText(),
                 ScanOutput(QStringList{QString::fromStdString(big)} + paths));
        // One JSON document for all four commands, as for one run of all paths.
        QCOMPARE(dialog.SavedBytes(SaveFormat::json),
                 Scan(QStringList{QStringLiteral("--json"), QString::fromStdString(big)} + paths));
        QVERIFY(dialog.StatusText().startsWith(
            QStringLiteral("Done. Files: 7  Members: 0  Updates: 6  Problems: 0  Time: ")));
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
        // Far more work than the wait, however fast the machine.
        constexpr int kTimes = 50;
        dialog.AnalyzePaths(QStringList(kTimes, QString::fromStdString(dir / "tree")));
        QTest::qWait(50);
        dialog.reject();
        QVERIFY(!dialog.isVisible());
        QVERIFY(dialog.ReportBox().PlainText().count(QStringLiteral("4.bin")) < kTimes);
    }
};

int RunMainDialogTests(int argc, char** argv)
{
    MainDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_dialog_test.moc"
