#include "sidebar/sidebarcontainer.h"
#include "sidebar/sidebartoolbar.h"
#include "sidebar/sidebartree.h"
#include "sidebar/sidebartreeitem.h"
#include "testing.h"

#include <QDrag>

namespace {

// A new wiki at path shaped as "H R1 F[A B] R2": H is the home page, a name followed by brackets
// a folder holding the pages inside them, any other name a page. Names double as identifiers,
// the home page's being "1".
WikiDocument *makeShapedWiki(const QString &path, QString shape)
{
    auto *wiki = new WikiDocument(path);
    wiki->homePage()->setName("H");
    if (!shape.startsWith("H"))
        wiki->removePage("1");
    Folder *folder = nullptr;
    for (const QString &token :
        shape.replace("[", "[ ").replace("]", " ] ").split(' ', Qt::SkipEmptyParts)) {
        if (token == "]")
            folder = nullptr;
        else if (token.endsWith('['))
            (folder = wiki->createFolder(token.chopped(1)))->setId(token.chopped(1));
        else if (token != "H")
            wiki->createPage(token, folder)->setId(token);
    }
    wiki->save();
    return wiki;
}

// The shape of a list of items, or of a tree's rows, in the form makeShapedWiki() reads.
QString shapeOf(const QList<WikiItem *> &items)
{
    QStringList names;
    for (WikiItem *item : items) {
        QStringList pages;
        for (const Page *page : item->isFolder() ? item->toFolder()->pages() : QList<Page *>())
            pages << page->name();
        names << item->name() + (item->isFolder() ? "[" + pages.join(' ') + "]" : QString());
    }
    return names.join(' ');
}

QString shapeOf(const SidebarTree *tree)
{
    QStringList names;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const auto *top = static_cast<const SidebarTreeItem *>(tree->topLevelItem(i));
        QStringList pages;
        for (int j = 0; j < top->childCount(); ++j)
            pages << static_cast<const SidebarTreeItem *>(top->child(j))->wikiItem()->name();
        names << top->wikiItem()->name() + (top->isFolder() ? "[" + pages.join(' ') + "]" : "");
    }
    return names.join(' ');
}

// Where the pointer goes: the "upper" or "lower" half or the "middle" of a row, or "below" the
// last row shown, where row is not used.
QPoint spotOn(SidebarTree *tree, QTreeWidgetItem *row, const QString &spot)
{
    if (spot == "below") {
        QTreeWidgetItem *last = tree->topLevelItem(tree->topLevelItemCount() - 1);
        while (last->isExpanded() && last->childCount() > 0)
            last = last->child(last->childCount() - 1);
        return QPoint(20, tree->visualItemRect(last).bottom() + 10);
    }
    const QRect rect = tree->visualItemRect(row);
    const int quarter = rect.height() / 4;
    if (spot == "middle")
        return rect.center();
    return QPoint(
        rect.center().x(), spot == "upper" ? rect.top() + quarter : rect.bottom() - quarter);
}

// Presses on row and moves the pointer as a user starting a drag does. Returns the drag that the
// tree started, or null when it started none.
std::unique_ptr<QDrag> startDrag(SidebarTree *tree, QTreeWidgetItem *row)
{
    const QPoint start = tree->visualItemRect(row).center();
    QTest::mousePress(tree->viewport(), Qt::LeftButton, Qt::NoModifier, start);
    // The first move arms the drag, the second, past the drag distance, starts it. Headless,
    // the drag ends at once, leaving the drag object behind until the event loop runs.
    const QPoint step(QApplication::startDragDistance() + 1, 0);
    for (const QPoint &pos : {start + step, start + 2 * step}) {
        QMouseEvent move(QEvent::MouseMove, pos, tree->viewport()->mapToGlobal(pos), Qt::NoButton,
            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tree->viewport(), &move);
    }
    return std::unique_ptr<QDrag>(tree->findChild<QDrag *>());
}

// Brings the drag into the tree, over pos, and drops it there; true when the tree accepted it
// over pos. The application delivers moves and drops only to a widget that accepted the entry.
bool dragTo(SidebarTree *tree, const QMimeData *data, const QPoint &pos)
{
    QDragEnterEvent enter(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    QDropEvent drop(pos, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &drop);
    return enter.isAccepted() && move.isAccepted();
}

} // namespace

class TestSidebar : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int wikis = 0;
    std::unique_ptr<WikiDocument> wiki;
    std::unique_ptr<Sidebar> sidebar;
    // The selection signals, as "page NAME" or "folder NAME".
    QStringList reports;

    // Shows a wiki of the given shape, read from its own file, in a new sidebar. Folders marked
    // with "+" ("F+[A]") are expanded.
    SidebarTree *open(QString shape)
    {
        const QString path = dir.filePath(QStringLiteral("%1.velmora").arg(++wikis));
        auto expanded = QRegularExpression("(\\w+)\\+\\[").globalMatch(shape);
        wiki.reset(makeShapedWiki(path, QString(shape).remove('+')));
        sidebar = std::make_unique<Sidebar>(nullptr);
        connect(sidebar.get(), &Sidebar::onPageSelectionChanged, [this](Page *old, Page *page) {
            reports << (old ? QStringLiteral("old page given") : "page " + page->name());
        });
        connect(sidebar.get(), &Sidebar::signalOnFolderSelected,
            [this](Folder *folder) { reports << "folder " + folder->name(); });
        sidebar->resize(350, 900);
        sidebar->show();
        sidebar->setWiki(wiki.get());
        while (expanded.hasNext())
            row(expanded.next().captured(1))->setExpanded(true);
        return sidebar->tree();
    }

    SidebarTreeItem *row(const QString &name) const
    {
        return sidebar->tree()->itemById(name == "H" ? "1" : name);
    }

    void click(const QString &name) const
    {
        QTest::mouseClick(sidebar->tree()->viewport(), Qt::LeftButton, Qt::NoModifier,
            sidebar->tree()->visualItemRect(row(name)).center());
    }

    QString currentFolder() const
    {
        Folder *folder = sidebar->currentFolder();
        return folder ? folder->name() : QStringLiteral("-");
    }

private slots:
    void cleanup()
    {
        sidebar.reset();
        wiki.reset();
        reports.clear();
        dir.setAutoRemove(!QTest::currentTestFailed());
    }

    void dragAndDrop_data()
    {
        // "shape | dragged > target spot | shape after | itemMoved's arguments, none: refused"
        QTest::addColumn<QString>("move");
        QTest::newRow("R1 on upper half of R3")
            << "R1 R2 R3 R4 | R1 > R3 upper | R2 R1 R3 R4 | - 0 - 1";
        QTest::newRow("own row, lower half")
            << "R1 R2 R3 R4 | R2 > R2 lower | R1 R2 R3 R4 | - 1 - 1";
        QTest::newRow("folder on home") << "H R1 F[A] | F > H upper | H F[A] R1 | - 2 - 1";
        QTest::newRow("page onto a folder")
            << "H R1 F[A B] | R1 > F middle | H F[A B R1] | - 1 F 2";
        QTest::newRow("page onto its own folder")
            << "H F+[A B] | A > F middle | H F[B A] | F 0 F 1";
        QTest::newRow("page among a folder's pages")
            << "H R1 F+[A B] | R1 > B upper | H F[A R1 B] | - 1 F 1";
        QTest::newRow("page out of a folder")
            << "H F+[A B] R1 | B > R1 upper | H F[A] B R1 | F 1 - 2";
        QTest::newRow("folder over a page in a folder")
            << "H F+[A] G[B] | G > A lower | H F[A] G[B] |";
        QTest::newRow("page below the last row")
            << "H R1 R2 F[A] | R1 > below | H R2 F[A] R1 | - 1 - 3";
    }

    void dragAndDrop()
    {
        QFETCH(QString, move);
        QStringList parts = move.split('|');
        for (QString &part : parts)
            part = part.trimmed();
        const QString shape = parts.at(0);
        const QStringList words = parts.at(1).split(' ');
        const QString result = parts.at(2);
        const QString moved = parts.at(3);
        const QString dragged = words.at(0);

        SidebarTree *tree = open(shape);
        QStringList moves;
        connect(tree, &SidebarTree::itemMoved,
            [&](Folder *sourceFolder, int sourceIndex, Folder *targetFolder, int targetIndex) {
                moves << QStringLiteral("%1 %2 %3 %4")
                             .arg(sourceFolder ? sourceFolder->name() : "-")
                             .arg(sourceIndex)
                             .arg(targetFolder ? targetFolder->name() : "-")
                             .arg(targetIndex);
            });
        const std::unique_ptr<QDrag> started = startDrag(tree, row(dragged));
        QVERIFY(started);
        reports.clear();

        // Taken after the press, which opens or closes a dragged folder.
        const QPoint pos = spotOn(tree, row(words.value(2)), words.value(3, "below"));
        QCOMPARE(dragTo(tree, started->mimeData(), pos), !moved.isEmpty());
        QCOMPARE(moves, moved.isEmpty() ? QStringList() : QStringList {moved});
        QCOMPARE(shapeOf(tree), result);
        QCOMPARE(shapeOf(wiki->items()), result);
        QCOMPARE(shapeOf(WikiDocument(wiki->filePath()).items()), result);
        // A folder's row goes out and back in with its pages: they must stay in the index.
        for (const QString &id : wiki->allPageIds())
            QVERIFY2(tree->itemById(id), qPrintable(id));
        if (moved.isEmpty())
            return;

        QCOMPARE(tree->selectedItems(), QList<QTreeWidgetItem *> {row(dragged)});
        QCOMPARE(tree->currentItem(), row(dragged));
        if (row(dragged)->parent())
            QVERIFY(row(dragged)->parent()->isExpanded());
        // Taking the dragged row out made a neighbour current for a moment, and the main
        // window opened that neighbour instead of the page being dragged.
        QCOMPARE(reports, QStringList());
    }

    void selection()
    {
        SidebarTree *tree = open("H R1 F[A] R2");
        QCOMPARE(tree->currentItem(), row("H"));
        QCOMPARE(reports, QStringList());
        QCOMPARE(currentFolder(), QStringLiteral("-"));

        click("F");
        QVERIFY(row("F")->isExpanded());
        QCOMPARE(currentFolder(), QStringLiteral("F"));
        click("A");
        QCOMPARE(currentFolder(), QStringLiteral("F"));
        click("R2");
        QCOMPARE(currentFolder(), QStringLiteral("-"));
        click("F");
        QVERIFY(!row("F")->isExpanded());
        QCOMPARE(reports, QStringList({"folder F", "page A", "page R2", "folder F"}));

        // New pages become current unannounced; a new folder leaves the current row alone.
        Folder *folder = row("F")->wikiItem()->toFolder();
        sidebar->addItem(wiki->createPage("N", folder), folder);
        QCOMPARE(tree->currentItem()->parent(), row("F"));
        sidebar->addItem(wiki->createFolder("G"), nullptr);
        QCOMPARE(currentFolder(), QStringLiteral("F"));

        sidebar->selectItem("R1");
        sidebar->selectItem("no such page");
        QCOMPARE(reports.mid(4), QStringList({"page R1"}));

        // addItem's own bracket inside the caller's reconnected the signals too early.
        sidebar->disconnectSignals();
        sidebar->removeItem("R1");
        sidebar->addItem(wiki->createPage("P", nullptr), nullptr);
        sidebar->selectItem("1");
        sidebar->connectSignals();
        QVERIFY(!tree->itemById("R1"));
        QCOMPARE(reports.mid(5), QStringList());
        sidebar->selectItem("R2");
        QCOMPARE(reports.mid(5), QStringList({"page R2"}));
    }

    void toolbarTitle()
    {
        // The column never changes width, so a title set while it was shown was never cut.
        const QString title = "the-family-recipes-and-garden-notes-wiki";
        auto *toolbar = new SidebarToolbar;
        SidebarContainer column(toolbar, new QWidget);
        column.resize(260, 400); // the window's splitter gives it its width
        column.show();
        QVERIFY(QTest::qWaitForWindowExposed(&column));
        toolbar->setTitle(title);

        const auto *label = toolbar->findChild<QLabel *>("SidebarToolbarTitleLbl");
        QCOMPARE(label->toolTip(), title);
        QVERIFY(label->text().endsWith(QChar(0x2026)));
        QVERIFY(title.startsWith(label->text().chopped(1)));
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width() - 20);
    }

    void foreignAndHomeDrags()
    {
        SidebarTree *tree = open("H R1 R2");
        QVERIFY(!startDrag(tree, row("H")));
        const std::unique_ptr<QDrag> drag = startDrag(tree, row("R2"));
        QVERIFY(drag);
        // Data from anywhere else is neither accepted nor dropped.
        int moves = 0;
        connect(tree, &SidebarTree::itemMoved, [&moves] { ++moves; });
        QMimeData foreign;
        for (const QString &format : drag->mimeData()->formats())
            foreign.setData(format, "R2");
        const QPoint pos = spotOn(tree, row("R1"), "upper");
        QVERIFY(!dragTo(tree, &foreign, pos));
        QCOMPARE(shapeOf(tree), QStringLiteral("H R1 R2"));
        QCOMPARE(moves, 0);
    }

    // A deleted row is announced after its own part is gone: the index kept a dangling entry.
    void identifierIndex()
    {
        SidebarTree *tree = open("H R1 F[A B] R2");
        const QStringList gone = {"R1", "F", "A", "B"};
        delete tree->itemById("R1");
        delete tree->itemById("F");
        for (const QString &id : QStringList {"1", "R1", "F", "A", "B", "R2"}) {
            SidebarTreeItem *row = tree->itemById(id);
            QCOMPARE(!row, gone.contains(id));
            QVERIFY2(!row || (row->wikiItem()->id() == id && row->treeWidget() == tree),
                qPrintable(id));
        }
    }
};

VELMORA_TEST_MAIN(TestSidebar)
#include "tst_sidebar.moc"
