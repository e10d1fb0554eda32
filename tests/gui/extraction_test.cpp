// Taking updates and members out of the window: the files, names and bytes
// that veskari-scan --extract writes, and a write that fails leaves nothing.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include "gui_support.h"
#include "main_dialog.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"
#include "update_tree_view.h"
#include "updates_view.h"

using namespace veskari;

namespace {

// Every file under `folder`, by its name there, with its bytes.
QMap<QString, QByteArray> Files(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator walk(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        QFile file(walk.next());
        if (file.open(QIODevice::ReadOnly)) {
            files.insert(QDir(folder).relativeFilePath(file.fileName()), file.readAll());
        }
    }
    return files;
}

// An image with LZH members in members, one compressed, and two members
// of the same name, whose updates then take counters.
QString NestedImage(const test::TempDir& dir)
{
    test::Bytes image(100, 0xFF);
    const test::Bytes inner = test::MakeStoredMember("inner.bin", test::Update(3, 0x66A));
    test::Bytes outer = inner;
    const test::Bytes update = test::Update(5, 0x686);
    outer.insert(outer.end(), update.begin(), update.end());
    for (const test::Bytes& member : {test::MakeLh5Member("outer.lzh", outer), test::MakeStoredMember("dup.bin", test::Update(1)),
                                      test::MakeStoredMember("dup.bin", test::Update(1))}) {
        image.insert(image.end(), member.begin(), member.end());
    }
    return QString::fromStdString(dir.Write("nested.rom", image));
}

QModelIndex FindItem(const QModelIndex& item, const UpdateTreeView& view, const std::string& member)
{
    if (view.NodeOf(item).kind == TreeNode::Kind::member && view.MemberOf(item).displayName == member) {
        return item;
    }
    for (int i = 0; i < view.Model().rowCount(item); ++i) {
        if (const QModelIndex found = FindItem(view.Model().index(i, 0, item), view, member); found.isValid()) {
            return found;
        }
    }
    return {};
}

}  // namespace

class ExtractionTest : public QObject {
    Q_OBJECT

private slots:
    // Extract All writes, for everything analysed since Clear, exactly the
    // files of veskari-scan --extract, with and without the members: the
    // same names (counters included) and the same bytes.
    void extractAllWritesWhatTheCommandLineWrites()
    {
        const test::TempDir dir;
        const QStringList paths = {test::kExample, NestedImage(dir)};
        MainDialog dialog(Language::English);
        dialog.AnalyzePaths({paths[0]});
        dialog.AnalyzePaths({paths[1]});
        QVERIFY(test::WaitIdle(dialog));
        QString errors;
        dialog.showError = [&errors](QWidget*, const QString& text) { errors += text; };
        for (const bool members : {false, true}) {
            const QString window = QString::fromStdString(dir / (members ? "window-members" : "window"));
            const QString scan = QString::fromStdString(dir / (members ? "scan-members" : "scan"));
            dialog.chooseFolder = [&window](QWidget*, const QString&) { return window; };
            dialog.OnExtractAll(members);
            QVERIFY(test::WaitIdle(dialog));
            QStringList arguments = {QStringLiteral("--extract"), scan};
            if (members) {
                arguments.push_back(QStringLiteral("--extract-members"));
            }
            (void)test::Scan(arguments + paths);
            const QMap<QString, QByteArray> expected = Files(scan);
            QVERIFY(expected.size() >= (members ? 14 : 10));
            QCOMPARE(expected.keys().filter(QStringLiteral("-1.bin")).size(), members ? 2 : 1);  // the second dup.bin
            QCOMPARE(Files(window), expected);
        }
        QVERIFY(errors.isEmpty());
        QVERIFY(dialog.StatusText().startsWith(
            QStringLiteral("%1 files written.").arg(Files(QString::fromStdString(dir / "window-members")).size())));
    }

    // Save As of a member two levels down (from the tree) and of an update
    // inside a member (from the table) writes the bytes of the file that
    // --extract writes, and offers its name.
    void saveAsWritesOneItemAsTheCommandLineNamesIt()
    {
        const test::TempDir dir;
        const QString image = NestedImage(dir);
        (void)test::Scan({QStringLiteral("--extract"), QString::fromStdString(dir / "scan"),
                          QStringLiteral("--extract-members"), image});
        const QMap<QString, QByteArray> expected = Files(QString::fromStdString(dir / "scan"));
        MainDialog dialog(Language::English);
        dialog.AnalyzePaths({image});
        QVERIFY(test::WaitIdle(dialog));
        QString errors;
        dialog.showError = [&errors](QWidget*, const QString& text) { errors += text; };
        QString offered;
        dialog.chooseItemFile = [&](QWidget*, const QString& name) {
            offered = name;
            return QString::fromStdString(dir / "saved.bin");
        };

        UpdateTreeView& view = dialog.Tree();
        const QModelIndex member = FindItem(view.Model().index(0, 0), view, "nested.rom/outer.lzh/inner.bin");
        QVERIFY(member.isValid());
        dialog.ShowView(2);
        view.Tree().setCurrentIndex(member);
        dialog.OnSaveItemAs();
        QVERIFY(test::WaitIdle(dialog));
        QCOMPARE(errors, QString());
        QCOMPARE(offered, QStringLiteral("nested.rom_outer.lzh_inner.bin"));
        QFile saved(QString::fromStdString(dir / "saved.bin"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), expected.value(offered));
        saved.close();

        // The second update of the table: the one the outer member holds
        // after its inner member.
        dialog.ShowView(1);
        QTableView& table = dialog.Updates().Table();
        int row = -1;
        for (int i = 0; i < table.model()->rowCount(); ++i) {
            if (table.model()->index(i, 1).data().toString() == QStringLiteral("outer.lzh")) {
                row = i;
            }
        }
        QVERIFY(row >= 0);
        table.selectRow(row);
        dialog.OnSaveItemAs();
        QVERIFY(test::WaitIdle(dialog));
        QVERIFY(offered.startsWith(QStringLiteral("nested.rom_outer.lzh@0x")));
        QVERIFY(offered.endsWith(QStringLiteral("_rev05.bin")));
        QVERIFY(expected.contains(offered));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), expected.value(offered));
        QCOMPARE(errors, QString());
    }

    // A file that cannot be written, and a folder that cannot be made, are
    // told; nothing is left behind, and the window goes on.
    void aFailedWriteIsToldAndLeavesNothing()
    {
        const test::TempDir dir;
        const QString blocker = QString::fromStdString(dir.Write("not-a-folder", test::Update(1)));
        MainDialog dialog(Language::English);
        dialog.AnalyzePaths({test::kExample});
        QVERIFY(test::WaitIdle(dialog));
        QStringList errors;
        dialog.showError = [&errors](QWidget*, const QString& text) { errors.push_back(text); };

        dialog.ShowView(1);
        dialog.Updates().Table().selectRow(0);
        dialog.chooseItemFile = [&blocker](QWidget*, const QString&) { return blocker + QStringLiteral("/x.bin"); };
        dialog.OnSaveItemAs();
        QVERIFY(test::WaitIdle(dialog));
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].contains(QStringLiteral("could not be saved")));

        dialog.chooseFolder = [&blocker](QWidget*, const QString&) { return blocker + QStringLiteral("/out"); };
        dialog.OnExtractAll(true);
        QVERIFY(test::WaitIdle(dialog));
        QCOMPARE(errors.size(), 2);
        QVERIFY(dialog.StatusText().startsWith(QStringLiteral("Extraction ended by an error.")));
        QCOMPARE(Files(QString::fromStdString(dir / "")).keys(), QStringList{QStringLiteral("not-a-folder")});
        QVERIFY(!dialog.IsBusy());
    }
};

int RunExtractionTests(int argc, char** argv)
{
    ExtractionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "extraction_test.moc"
