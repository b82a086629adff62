#include "sidebartesting.h"

#include "model/wikidocument.h"
#include "sidebar/sidebar.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestSidebarTree : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int wikis = 0;
    std::unique_ptr<WikiDocument> wiki;
    std::unique_ptr<Sidebar> sidebar;

    // The tree of a sidebar showing a wiki of the given shape.
    SidebarTree *open(const QString &shape)
    {
        wiki.reset(makeShapedWiki(dir.filePath(QString::number(++wikis)), shape));
        sidebar = std::make_unique<Sidebar>(nullptr);
        sidebar->resize(350, 900);
        sidebar->show();
        sidebar->setWiki(wiki.get());
        return sidebar->tree();
    }

private slots:
    void cleanup()
    {
        sidebar.reset();
        wiki.reset();
        dir.setAutoRemove(!QTest::currentTestFailed());
    }

    void startingDrags()
    {
        SidebarTree *tree = open("H R1 R2");
        QVERIFY(!startDrag(tree, rowNamed(tree, "H")));

        const std::unique_ptr<QDrag> drag = startDrag(tree, rowNamed(tree, "R2"));
        QVERIFY(drag);
        // The picture is the row as drawn, held by its middle.
        const QRect rect = tree->visualItemRect(rowNamed(tree, "R2"));
        QCOMPARE(drag->pixmap().size(), rect.size());
        QCOMPARE(drag->hotSpot(), QPoint((rect.width() - 1) / 2, (rect.height() - 1) / 2));

        // Data from anywhere else is neither accepted nor dropped.
        int moves = 0;
        connect(tree, &SidebarTree::itemMoved, [&moves] { ++moves; });
        QMimeData foreign;
        for (const QString &format : drag->mimeData()->formats())
            foreign.setData(format, "R2");
        const QPoint pos = spotOn(tree, rowNamed(tree, "R1"), "upper");
        QVERIFY(!dragMoveTo(tree, &foreign, pos));
        dropAt(tree, &foreign, pos);
        QCOMPARE(shapeOf(tree), QStringLiteral("H R1 R2"));
        QCOMPARE(moves, 0);
    }

    void identifierIndex_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QStringList>("gone");
        const QStringList all {"1", "R1", "F", "A", "B", "R2"};
        QTest::newRow("rows added") << "" << all << QStringList();
        QTest::newRow("page added to a shown folder")
            << "add C to F" << all + QStringList {"C"} << QStringList();
        QTest::newRow("page deleted")
            << "delete R1" << QStringList {"1", "F", "A", "B", "R2"} << QStringList {"R1"};
        QTest::newRow("folder deleted with its pages")
            << "delete F" << QStringList {"1", "R1", "R2"} << QStringList {"F", "A", "B"};
        QTest::newRow("tree cleared") << "clear" << QStringList() << all;
    }

    void identifierIndex()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, found);
        QFETCH(QStringList, gone);
        SidebarTree *tree = open("H R1 F[A B] R2");
        if (change == "add C to F") {
            Folder *folder = tree->itemById("F")->wikiItem()->toFolder();
            sidebar->addItem(wiki->createPage("C", folder), folder);
            found.replace(found.indexOf("C"), wiki->findPageByName("C")->id());
        } else if (change == "delete R1" || change == "delete F") {
            // A deleted row is announced after its own part is gone: the index kept a
            // dangling entry.
            delete tree->itemById(change.mid(7));
        } else if (change == "clear") {
            tree->clear();
        }
        for (const QString &id : found) {
            SidebarTreeItem *row = tree->itemById(id);
            QVERIFY2(
                row && row->wikiItem()->id() == id && row->treeWidget() == tree, qPrintable(id));
        }
        for (const QString &id : gone)
            QVERIFY2(!tree->itemById(id), qPrintable(id));
    }
};

QTEST_MAIN(TestSidebarTree)
#include "tst_sidebartree.moc"
