#include "widgets/applicationlook.h"
#include "model/folder.h"
#include "model/page.h"
#include "sidebar/sidebaritemdelegate.h"
#include "sidebar/sidebartree.h"
#include "sidebar/sidebartreeitem.h"

#include <QPaintEngine>
#include <QtTest>

#include <memory>
#include <vector>

static const QChar ellipsis(0x2026);

// Takes down what a painter draws: the text of each line, keyed by its baseline, and each
// picture. Everything else is dropped.
class RecordingEngine final : public QPaintEngine
{
public:
    RecordingEngine()
        : QPaintEngine(QPaintEngine::AllFeatures)
    { }
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override { }
    void drawPath(const QPainterPath &) override { }
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override { }
    void drawPixmap(const QRectF &, const QPixmap &pixmap, const QRectF &) override
    {
        pictures << pixmap.toImage();
    }
    void drawTextItem(const QPointF &point, const QTextItem &item) override
    {
        lines[point.y()] += item.text();
    }
    Type type() const override { return QPaintEngine::User; }

    QMap<qreal, QString> lines;
    QList<QImage> pictures;
};

class RecordingDevice final : public QPaintDevice
{
public:
    QPaintEngine *paintEngine() const override { return &engine; }
    mutable RecordingEngine engine;

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        // A large page at the resolution the delegate measures its fonts at.
        switch (metric) {
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return QFontMetrics(QFont()).fontDpi();
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 2000;
        }
    }
};

// What a row shows: its lines of text from top to bottom, and which icon.
struct Shown
{
    QStringList lines;
    QString icon;
};

// True when drawn is expected, or, for an expected text ending in an ellipsis, a shorter start
// of it cut with one.
static bool showsText(const QString &drawn, const QString &expected)
{
    if (!expected.endsWith(ellipsis))
        return drawn == expected;
    return drawn.endsWith(ellipsis) && drawn.size() > 1 && drawn.size() < expected.size()
        && expected.startsWith(drawn.chopped(1));
}

class TestSidebarItemDelegate : public QObject
{
    Q_OBJECT

    SidebarItemDelegate delegate;
    std::unique_ptr<SidebarTree> tree;
    std::vector<std::unique_ptr<WikiItem>> items;

    SidebarTreeItem *addRow(WikiItem *item, QTreeWidgetItem *parent = nullptr)
    {
        items.emplace_back(item);
        auto *row = new SidebarTreeItem(item);
        if (parent)
            parent->addChild(row);
        else
            tree->addTopLevelItem(row);
        return row;
    }

    Shown paintRow(SidebarTreeItem *row)
    {
        QStyleOptionViewItem option;
        option.initFrom(tree.get());
        option.rect = tree->visualItemRect(row);
        option.widget = tree.get();
        tree->setCurrentItem(row);
        RecordingDevice device;
        QPainter painter(&device);
        delegate.paint(&painter, option, tree->currentIndex());
        painter.end();

        Shown shown {device.engine.lines.values(), QString()};
        for (const char *name :
            {"page_icon", "home_icon", "folder_collapsed_icon", "folder_expanded_icon"}) {
            const QImage icon = QPixmap(QStringLiteral(":/images/%1.png").arg(name)).toImage();
            if (device.engine.pictures.contains(icon))
                shown.icon = name;
        }
        return shown;
    }

private slots:
    void initTestCase() { Gui::installApplicationLook(); }

    void init()
    {
        tree = std::make_unique<SidebarTree>();
        tree->setItemDelegate(&delegate);
        tree->resize(350, 800);
        tree->show();
    }

    void cleanup()
    {
        tree.reset();
        items.clear();
    }

    void pageRows_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("content");
        QTest::addColumn<bool>("locked");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("shown"); // "name line|preview line", "…" ending a cut text

        const QString longName = "The minutes of every meeting of the garden committee";
        const QString longText = QString("Seeds and soil and water ").repeated(4).trimmed();
        QTest::newRow("home page") << "Home Page"
                                   << "<p>Start here</p>" << false << "home_icon"
                                   << "HOME PAGE|Start here";
        QTest::newRow("tab and blanks in the name") << "  Weekly\tplan  "
                                                    << "<b>Mon</b>day" << false << "page_icon"
                                                    << "WEEKLY PLAN|Monday";
        QTest::newRow("carriage return, line feed and escape") << "To\r\ndo\x1b"
                                                               << "x" << false << "page_icon"
                                                               << "TO  DO|x";
        QTest::newRow("locked page") << "Diary"
                                     << "<p>Secret</p>" << true << "page_icon"
                                     << "DIARY|* PASSWORD PROTECTED *";
        QTest::newRow("long name")
            << longName << "x" << false << "page_icon" << longName.toUpper() + ellipsis + "|x";
        QTest::newRow("long preview") << "Garden" << longText << false << "page_icon"
                                      << "GARDEN|" + longText + ellipsis;
    }

    void pageRows()
    {
        QFETCH(QString, name);
        QFETCH(QString, content);
        QFETCH(bool, locked);
        QFETCH(QString, icon);
        QFETCH(QString, shown);

        auto *page = new Page(icon == "home_icon" ? "1" : "7", name, content);
        page->setLocked(locked);
        const Shown drawn = paintRow(addRow(page));
        QCOMPARE(drawn.icon, icon);
        const QStringList expected = shown.split('|');
        QCOMPARE(drawn.lines.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(showsText(drawn.lines.at(i), expected.at(i)), qPrintable(drawn.lines.at(i)));
    }

    void folderRows()
    {
        SidebarTreeItem *folder = addRow(new Folder("5", " Projects\t2024 "));
        addRow(new Page("6", "Inside"), folder);
        SidebarTreeItem *home = addRow(Page::createHomePage(), folder);
        QCOMPARE(paintRow(folder).icon, QStringLiteral("folder_collapsed_icon"));
        QCOMPARE(paintRow(folder).lines, QStringList {"PROJECTS 2024"});
        folder->setExpanded(true);
        QCOMPARE(paintRow(folder).icon, QStringLiteral("folder_expanded_icon"));
        // The house marks the home page wherever it stands.
        QCOMPARE(paintRow(home).icon, QStringLiteral("home_icon"));
        folder->setExpanded(false);
        QCOMPARE(paintRow(folder).icon, QStringLiteral("folder_collapsed_icon"));
    }

    void rowHeights()
    {
        auto *locked = new Page("1", "Home Page", "");
        locked->setLocked(true);
        const QList<SidebarTreeItem *> pages {addRow(locked),
            addRow(new Page("2", QString(80, 'w'), QString(300, 'x'))),
            addRow(new Page("3", "Lines", "<p>one</p><p>two</p><p>three</p>"))};
        const QList<SidebarTreeItem *> folders {
            addRow(new Folder("4", "A")), addRow(new Folder("5", QString(80, 'F')))};
        QSet<int> pageHeights;
        QSet<int> folderHeights;
        for (SidebarTreeItem *row : pages)
            pageHeights << tree->visualItemRect(row).height();
        for (SidebarTreeItem *row : folders)
            folderHeights << tree->visualItemRect(row).height();
        QCOMPARE(pageHeights.size(), 1);
        QCOMPARE(folderHeights.size(), 1);
        // Two lines of text need more room than one.
        QVERIFY(*pageHeights.begin() > *folderHeights.begin());
    }

    void previewsAreKept()
    {
        auto *page = new Page("2", "Notes", "<p>first</p>");
        SidebarTreeItem *row = addRow(page);
        addRow(new Page("3", "Other", "<p>other</p>"));
        addRow(new Folder("4", "Folder"));
        tree->grab();
        const int made = SidebarTreeItem::previewsMade();
        // An unchanged page is never rendered again, however often its row is painted.
        tree->grab();
        paintRow(row);
        QCOMPARE(SidebarTreeItem::previewsMade(), made);

        page->setContent("<p>second</p>");
        QCOMPARE(paintRow(row).lines.at(1), QStringLiteral("second"));
        page->setLocked(true);
        QCOMPARE(paintRow(row).lines.at(1), QStringLiteral("* PASSWORD PROTECTED *"));
        page->setLocked(false);
        QCOMPARE(paintRow(row).lines.at(1), QStringLiteral("second"));
        tree->grab();
        QCOMPARE(SidebarTreeItem::previewsMade(), made + 3);
    }
};

QTEST_MAIN(TestSidebarItemDelegate)
#include "tst_sidebaritemdelegate.moc"
