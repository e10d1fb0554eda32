// The tree of where each update sits: the same members and updates as the
// JSON document, details and first bytes of what is selected, Clear.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QAbstractItemModelTester>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeView>

#include "gui_support.h"
#include "main_dialog.h"
#include "update_tree_view.h"

using namespace veskari;

namespace {

// A file's members, then its updates, each with what it holds, one line each.
void JsonLines(const QJsonObject& file, const QString& indent, QStringList& lines)
{
    for (const QJsonValue member : file[QStringLiteral("members")].toArray()) {
        lines.push_back(indent + QStringLiteral("member ") + member[QStringLiteral("displayName")].toString());
        JsonLines(member[QStringLiteral("analysis")].toObject(), indent + QStringLiteral("  "), lines);
    }
    for (const QJsonValue update : file[QStringLiteral("updates")].toArray()) {
        lines.push_back(indent + QStringLiteral("update %1 %2")
                                     .arg(update[QStringLiteral("offset")].toInteger())
                                     .arg(update[QStringLiteral("line")].toString()));
    }
}

// The same of an item of the tree: members first, then updates, each in
// the order the tree shows them.
void TreeLines(const UpdateTreeView& view, const QModelIndex& item, const QString& indent, QStringList& lines)
{
    const QAbstractItemModel& model = view.Model();
    for (const TreeNode::Kind kind : {TreeNode::Kind::member, TreeNode::Kind::update}) {
        for (int i = 0; i < model.rowCount(item); ++i) {
            const TreeNode& node = view.NodeOf(model.index(i, 0, item));
            if (node.kind != kind) {
                continue;
            }
            if (kind == TreeNode::Kind::member) {
                lines.push_back(indent + QStringLiteral("member ") + QString::fromStdString(view.MemberOf(model.index(i, 0, item)).displayName));
                TreeLines(view, model.index(i, 0, item), indent + QStringLiteral("  "), lines);
            } else {
                lines.push_back(indent + QStringLiteral("update %1 %2")
                                             .arg(node.row->update.offset)
                                             .arg(QString::fromStdString(node.row->update.line)));
            }
        }
    }
}

}  // namespace

class UpdateTreeTest : public QObject {
    Q_OBJECT

private slots:
    // A nested image, twice: the tree holds exactly the document's members
    // and updates, at their depths, for each file (the model checked as a
    // view uses it all along); selecting an update shows its fields and its
    // first bytes; an invalid checksum stands out; Clear empties it.
    void theTreeShowsWhereEachUpdateSits()
    {
        MainDialog dialog(Language::English);
        const QAbstractItemModelTester tester(dialog.Tree().Tree().model(),
                                              QAbstractItemModelTester::FailureReportingMode::QtTest);
        dialog.AnalyzePaths({test::kExample, test::kExample});
        QVERIFY(test::WaitIdle(dialog));
        UpdateTreeView& view = dialog.Tree();
        QTreeView& tree = view.Tree();
        const QAbstractItemModel& model = view.Model();

        const QJsonObject document = QJsonDocument::fromJson(dialog.SavedBytes(SaveFormat::json)).object();
        QStringList expected;
        QStringList shown;
        int files = 0;
        for (const QJsonValue path : document[QStringLiteral("paths")].toArray()) {
            for (const QJsonValue file : path[QStringLiteral("files")].toArray()) {
                expected.push_back(QStringLiteral("file ") + file[QStringLiteral("displayName")].toString());
                JsonLines(file.toObject(), QStringLiteral("  "), expected);
                ++files;
            }
        }
        QCOMPARE(model.rowCount(), files);
        for (int i = 0; i < model.rowCount(); ++i) {
            shown.push_back(QStringLiteral("file ") +
                            QString::fromStdString(view.FileOf(model.index(i, 0)).displayName));
            TreeLines(view, model.index(i, 0), QStringLiteral("  "), shown);
        }
        QCOMPARE(shown, expected);
        QVERIFY(expected.filter(QStringLiteral("    update ")).size() > 0);  // an update two levels down

        // The first update of the image's own bytes: its fields and the
        // file's bytes at its offset, at most 256 of them.
        const QModelIndex image = model.index(0, 0);
        QModelIndex update;
        for (int i = 0; i < model.rowCount(image) && !update.isValid(); ++i) {
            if (view.NodeOf(model.index(i, 0, image)).kind == TreeNode::Kind::update) {
                update = model.index(i, 0, image);
            }
        }
        QVERIFY(update.isValid());
        const TreeNode& node = view.NodeOf(update);
        tree.setCurrentIndex(update);
        const QString details = view.Details().toPlainText();
        QVERIFY(details.contains(QStringLiteral("Offset in its file: 0x%1\n")
                                     .arg(QString::number(node.row->update.offset, 16).toUpper())));
        QVERIFY(details.contains(QStringLiteral("Chain: example.rom\n")));
        QVERIFY(details.contains(QStringLiteral("Revision: 0x") +
                                 QString::number(node.row->update.header.revision, 16).toUpper().rightJustified(8, u'0') +
                                 QLatin1Char('\n')));
        QVERIFY(details.contains(QStringLiteral("(checksum invalid)")));
        QFile bytes(test::kExample);
        QVERIFY(bytes.open(QIODevice::ReadOnly));
        QVERIFY(bytes.seek(static_cast<qint64>(node.row->update.offset)));
        QCOMPARE(QByteArray::fromStdString(node.head), bytes.read(256));
        QVERIFY(details.contains(QStringLiteral("\nFirst 256 bytes:\n00000000  ")));
        QCOMPARE(update.siblingAtColumn(2).data(Qt::ForegroundRole).value<QColor>(), QColor(0xC0, 0x00, 0x00));
        QVERIFY(update.siblingAtColumn(2).data(Qt::FontRole).value<QFont>().bold());

        // A member: its decoded bytes, where its first update starts.
        const QModelIndex member = model.index(0, 0, image);
        QCOMPARE(view.NodeOf(member).kind, TreeNode::Kind::member);
        QVERIFY(tree.isExpanded(image));  // a file opens on what it holds
        QVERIFY(!tree.isExpanded(member));
        tree.setCurrentIndex(member);
        QVERIFY(view.Details().toPlainText().contains(QStringLiteral("Verdict: CRC matches\n")));
        QCOMPARE(view.NodeOf(member).head.size(), std::size_t{256});
        QCOMPARE(view.NodeOf(member).head.substr(0, 48), view.NodeOf(model.index(0, 0, member)).head.substr(0, 48));

        dialog.OnClear();
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(view.Details().toPlainText().isEmpty());
    }
};

int RunUpdateTreeTests(int argc, char** argv)
{
    UpdateTreeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "update_tree_test.moc"
