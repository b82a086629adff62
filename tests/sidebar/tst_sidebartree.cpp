#include "dragdrop.h"

#include "model/folder.h"
#include "model/page.h"
#include "sidebar/sidebaritemdelegate.h"
#include "sidebar/sidebartree.h"
#include "sidebar/sidebartreeitem.h"

#include <QtTest>

#include <memory>
#include <vector>

Q_DECLARE_METATYPE(Spot)

// A tree filled from a shape such as "H R1 F[A B] R2": H is the home page, a name followed by
// brackets is a folder holding the pages inside them, any other name a page. Names double as
// identifiers.
class ShapedTree
{
public:
    explicit ShapedTree(const QString &shape)
    {
        tree.setItemDelegate(&delegate);
        tree.resize(350, 900);
        tree.show();
        QString spaced = shape;
        spaced.replace("[", " [ ").replace("]", " ] ");
        const QStringList tokens = spaced.split(' ', Qt::SkipEmptyParts);
        SidebarTreeItem *folderRow = nullptr;
        for (int i = 0; i < tokens.size(); ++i) {
            const QString &token = tokens.at(i);
            if (token == "[")
                continue;
            if (token == "]") {
                folderRow = nullptr;
            } else if (i + 1 < tokens.size() && tokens.at(i + 1) == "[") {
                items.emplace_back(new Folder(token, token));
                folderRow = new SidebarTreeItem(items.back().get());
                tree.addTopLevelItem(folderRow);
            } else {
                items.emplace_back(new Page(token == "H" ? "1" : token, token, "<p>text</p>"));
                auto *row = new SidebarTreeItem(items.back().get());
                if (folderRow)
                    folderRow->addChild(row);
                else
                    tree.addTopLevelItem(row);
            }
        }
    }

    SidebarTreeItem *row(const QString &name) const
    {
        return tree.itemById(name == "H" ? "1" : name);
    }

    QString shape() const
    {
        QStringList names;
        for (int i = 0; i < tree.topLevelItemCount(); ++i) {
            QTreeWidgetItem *top = tree.topLevelItem(i);
            QString name = nameOf(top);
            if (static_cast<SidebarTreeItem *>(top)->isFolder()) {
                QStringList pages;
                for (int j = 0; j < top->childCount(); ++j)
                    pages << nameOf(top->child(j));
                name += "[" + pages.join(' ') + "]";
            }
            names << name;
        }
        return names.join(' ');
    }

    static QString nameOf(QTreeWidgetItem *row)
    {
        return static_cast<SidebarTreeItem *>(row)->wikiItem()->name();
    }

    SidebarItemDelegate delegate;
    SidebarTree tree;
    std::vector<std::unique_ptr<WikiItem>> items;
};

// Each itemMoved of tree as "F 0 - 1": folder names, "-" for the top level, and rows. The list
// lives as long as the tree.
static const QStringList *recordMoves(SidebarTree *tree)
{
    auto *moves = new QStringList;
    QObject::connect(tree, &QObject::destroyed, [moves] { delete moves; });
    QObject::connect(tree, &SidebarTree::itemMoved,
        [moves](Folder *sourceFolder, int sourceIndex, Folder *targetFolder, int targetIndex) {
            *moves << QStringLiteral("%1 %2 %3 %4")
                          .arg(sourceFolder ? sourceFolder->name() : "-")
                          .arg(sourceIndex)
                          .arg(targetFolder ? targetFolder->name() : "-")
                          .arg(targetIndex);
        });
    return moves;
}

class TestSidebarTree : public QObject
{
    Q_OBJECT

private slots:
    void dragAndDrop_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<QStringList>("expanded");
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<QString>("target"); // empty: below the last row
        QTest::addColumn<Spot>("spot");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("moved"); // itemMoved's arguments; empty: refused

        const QStringList none;
        const QString rows = "R1 R2 R3 R4";
        QTest::newRow("R1 on upper half of R3") << rows << none << "R1"
                                                << "R3" << Spot::UpperHalf << "R2 R1 R3 R4"
                                                << "- 0 - 1";
        QTest::newRow("R1 on lower half of R4") << rows << none << "R1"
                                                << "R4" << Spot::LowerHalf << "R2 R3 R4 R1"
                                                << "- 0 - 3";
        QTest::newRow("R4 on upper half of R2") << rows << none << "R4"
                                                << "R2" << Spot::UpperHalf << "R1 R4 R2 R3"
                                                << "- 3 - 1";
        QTest::newRow("own row, lower half") << rows << none << "R2"
                                             << "R2" << Spot::LowerHalf << rows << "- 1 - 1";
        QTest::newRow("page on upper half of home") << "H R1 R2" << none << "R2"
                                                    << "H" << Spot::UpperHalf << "H R2 R1"
                                                    << "- 2 - 1";
        QTest::newRow("page on lower half of home") << "H R1 R2" << none << "R2"
                                                    << "H" << Spot::LowerHalf << "H R2 R1"
                                                    << "- 2 - 1";
        QTest::newRow("folder on upper half of home") << "H R1 F[A]" << none << "F"
                                                      << "H" << Spot::UpperHalf << "H F[A] R1"
                                                      << "- 2 - 1";
        QTest::newRow("page onto a folder") << "H R1 F[A B]" << none << "R1"
                                            << "F" << Spot::Middle << "H F[A B R1]"
                                            << "- 1 F 2";
        QTest::newRow("page onto its own folder") << "H F[A B]" << QStringList {"F"} << "A"
                                                  << "F" << Spot::Middle << "H F[B A]"
                                                  << "F 0 F 1";
        QTest::newRow("page among a folder's pages") << "H R1 F[A B]" << QStringList {"F"} << "R1"
                                                     << "B" << Spot::UpperHalf << "H F[A R1 B]"
                                                     << "- 1 F 1";
        QTest::newRow("page out of a folder") << "H F[A B] R1" << QStringList {"F"} << "B"
                                              << "R1" << Spot::UpperHalf << "H F[A] B R1"
                                              << "F 1 - 2";
        QTest::newRow("folder on upper half of a folder") << "H F[A] G[B]" << none << "G"
                                                          << "F" << Spot::UpperHalf << "H G[B] F[A]"
                                                          << "- 2 - 1";
        QTest::newRow("folder on lower half of a folder")
            << "H F[A] G[B] R1" << none << "F"
            << "G" << Spot::LowerHalf << "H G[B] F[A] R1"
            << "- 1 - 2";
        QTest::newRow("folder over a page in a folder") << "H F[A] G[B]" << QStringList {"F"} << "G"
                                                        << "A" << Spot::LowerHalf << "H F[A] G[B]"
                                                        << "";
        QTest::newRow("page below the last row") << "H R1 R2 F[A]" << none << "R1"
                                                 << "" << Spot::BelowLastRow << "H R2 F[A] R1"
                                                 << "- 1 - 3";
        QTest::newRow("folder below the last row") << "H F[A] R1" << none << "F"
                                                   << "" << Spot::BelowLastRow << "H R1 F[A]"
                                                   << "- 1 - 2";
    }

    void dragAndDrop()
    {
        QFETCH(QString, shape);
        QFETCH(QStringList, expanded);
        QFETCH(QString, dragged);
        QFETCH(QString, target);
        QFETCH(Spot, spot);
        QFETCH(QString, result);
        QFETCH(QString, moved);

        ShapedTree shaped(shape);
        SidebarTree &tree = shaped.tree;
        for (const QString &name : expanded)
            shaped.row(name)->setExpanded(true);
        const std::unique_ptr<QDrag> drag = startDrag(&tree, shaped.row(dragged));
        QVERIFY(drag);
        const QStringList *moves = recordMoves(&tree);
        int currentChanges = 0;
        connect(&tree, &QTreeWidget::currentItemChanged, [&] { ++currentChanges; });

        // Taken after the press, which opens or closes a dragged folder.
        const QPoint pos = spotOn(&tree, target.isEmpty() ? nullptr : shaped.row(target), spot);
        QCOMPARE(dragMoveTo(&tree, drag->mimeData(), pos), !moved.isEmpty());
        dropAt(&tree, drag->mimeData(), pos);
        QCOMPARE(shaped.shape(), result);
        if (moved.isEmpty()) {
            QCOMPARE(*moves, QStringList());
            return;
        }

        QCOMPARE(*moves, QStringList {moved});
        QTreeWidgetItem *movedRow = shaped.row(dragged);
        QCOMPARE(tree.selectedItems(), QList<QTreeWidgetItem *> {movedRow});
        QCOMPARE(tree.currentItem(), movedRow);
        if (movedRow->parent())
            QVERIFY(movedRow->parent()->isExpanded());
        // Taking the row out made a neighbour current for a moment, and the main window
        // opened that neighbour instead of the page being dragged.
        QCOMPARE(currentChanges, 0);
    }

    void dropsFromElsewhereAreRefused()
    {
        ShapedTree shaped("H R1 R2");
        const QStringList *moves = recordMoves(&shaped.tree);
        // The home page starts no drag.
        QVERIFY(!startDrag(&shaped.tree, shaped.row("H")));

        const std::unique_ptr<QDrag> drag = startDrag(&shaped.tree, shaped.row("R2"));
        QVERIFY(drag);
        const QPoint pos = spotOn(&shaped.tree, shaped.row("R1"), Spot::UpperHalf);
        QMimeData foreign;
        foreign.setText("R2");
        QVERIFY(!dragMoveTo(&shaped.tree, &foreign, pos));
        dropAt(&shaped.tree, &foreign, pos);
        QCOMPARE(shaped.shape(), QStringLiteral("H R1 R2"));
        QCOMPARE(*moves, QStringList());

        // The picture is the row as drawn, held by its middle.
        const QRect rect = shaped.tree.visualItemRect(shaped.row("R2"));
        QCOMPARE(drag->pixmap().size(), rect.size());
        QCOMPARE(drag->hotSpot(), QPoint((rect.width() - 1) / 2, (rect.height() - 1) / 2));
    }

    void clickingFolders()
    {
        ShapedTree shaped("H F[A] R1");
        SidebarTreeItem *folder = shaped.row("F");
        const QPoint middle = shaped.tree.visualItemRect(folder).center();
        QTest::mouseClick(shaped.tree.viewport(), Qt::LeftButton, Qt::NoModifier, middle);
        QVERIFY(folder->isExpanded());
        QCOMPARE(shaped.tree.currentItem(), folder);
        QTest::mouseClick(shaped.tree.viewport(), Qt::RightButton, Qt::NoModifier, middle);
        QVERIFY(folder->isExpanded());
        QTest::mouseClick(shaped.tree.viewport(), Qt::LeftButton, Qt::NoModifier, middle);
        QVERIFY(!folder->isExpanded());
    }

    void identifierIndex_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QStringList>("gone");
        QTest::newRow("rows added")
            << "" << QStringList {"1", "R1", "F", "A", "B", "R2"} << QStringList {};
        QTest::newRow("page added to a shown folder")
            << "add C to F" << QStringList {"F", "A", "B", "C"} << QStringList {};
        QTest::newRow("page deleted")
            << "delete R1" << QStringList {"1", "F", "A", "B", "R2"} << QStringList {"R1"};
        QTest::newRow("folder deleted with its pages")
            << "delete F" << QStringList {"1", "R1", "R2"} << QStringList {"F", "A", "B"};
        QTest::newRow("page taken out")
            << "take R2" << QStringList {"1", "R1", "F"} << QStringList {"R2"};
        QTest::newRow("tree cleared")
            << "clear" << QStringList {} << QStringList {"1", "R1", "F", "A", "B", "R2"};
        QTest::newRow("folder moved")
            << "drag F below" << QStringList {"1", "R1", "F", "A", "B"} << QStringList {};
    }

    void identifierIndex()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, found);
        QFETCH(QStringList, gone);
        ShapedTree shaped("H R1 F[A B] R2");
        SidebarTree &tree = shaped.tree;
        if (change == "add C to F") {
            shaped.items.emplace_back(new Page("C", "C"));
            shaped.row("F")->addChild(new SidebarTreeItem(shaped.items.back().get()));
        } else if (change == "delete R1") {
            delete shaped.row("R1");
        } else if (change == "delete F") {
            delete shaped.row("F");
        } else if (change == "take R2") {
            delete tree.takeTopLevelItem(3);
        } else if (change == "clear") {
            tree.clear();
        } else if (change == "drag F below") {
            const std::unique_ptr<QDrag> drag = startDrag(&tree, shaped.row("F"));
            QVERIFY(
                dragMoveTo(&tree, drag->mimeData(), spotOn(&tree, nullptr, Spot::BelowLastRow)));
            dropAt(&tree, drag->mimeData(), spotOn(&tree, nullptr, Spot::BelowLastRow));
            QCOMPARE(shaped.shape(), QStringLiteral("H R1 R2 F[A B]"));
        }
        for (const QString &id : found) {
            SidebarTreeItem *row = tree.itemById(id);
            QVERIFY2(row, qPrintable(id));
            QCOMPARE(row->wikiItem()->id(), id);
            QCOMPARE(row->treeWidget(), &tree);
        }
        for (const QString &id : gone)
            QVERIFY2(!tree.itemById(id), qPrintable(id));
    }
};

QTEST_MAIN(TestSidebarTree)
#include "tst_sidebartree.moc"
