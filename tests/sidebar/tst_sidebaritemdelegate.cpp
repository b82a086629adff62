#include "app/mainwindow.h"
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
// picture.
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

// A large page at the resolution the delegate measures its fonts at.
class RecordingDevice final : public QPaintDevice
{
public:
    QPaintEngine *paintEngine() const override { return &engine; }
    mutable RecordingEngine engine;

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        if (metric == PdmDpiX || metric == PdmDpiY || metric == PdmPhysicalDpiX
            || metric == PdmPhysicalDpiY)
            return QFontMetrics(QFont()).fontDpi();
        if (metric == PdmDevicePixelRatio)
            return 1;
        return metric == PdmDevicePixelRatioScaled ? int(devicePixelRatioFScale()) : 2000;
    }
};

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

    // The lines of text a row shows from top to bottom, and the name of its icon.
    QStringList paintRow(SidebarTreeItem *row, QString *icon = nullptr)
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
        for (const char *name :
            {"page_icon", "home_icon", "folder_collapsed_icon", "folder_expanded_icon"}) {
            const QImage picture = QPixmap(QStringLiteral(":/images/%1.png").arg(name)).toImage();
            if (icon && device.engine.pictures.contains(picture))
                *icon = name;
        }
        return device.engine.lines.values();
    }

private slots:
    void initTestCase() { MainWindow::installApplicationLook(); }

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
        QTest::newRow("home page")
            << "Home Page" << "<p>Start here</p>" << false << "home_icon" << "HOME PAGE|Start here";
        QTest::newRow("tab and blanks in the name")
            << "  Weekly\tplan  " << "<b>Mon</b>day" << false << "page_icon" << "WEEKLY PLAN|Monday";
        QTest::newRow("locked page") << "Diary" << "<p>Secret</p>" << true << "page_icon"
                                     << "DIARY|* PASSWORD PROTECTED *";
        QTest::newRow("long name")
            << longName << "x" << false << "page_icon" << longName.toUpper() + ellipsis + "|x";
        QTest::newRow("long preview")
            << "Garden" << longText << false << "page_icon" << "GARDEN|" + longText + ellipsis;
    }

    void pageRows()
    {
        QFETCH(QString, name);
        QFETCH(QString, content);
        QFETCH(bool, locked);
        QFETCH(QString, shown);
        auto *page = new Page(name == "Home Page" ? "1" : "7", name, content);
        page->setLocked(locked);
        QString icon;
        const QStringList drawn = paintRow(addRow(page), &icon);
        QTEST(icon, "icon");
        const QStringList expected = shown.split('|');
        QCOMPARE(drawn.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            // An expected text ending in an ellipsis stands for a shorter start cut with one.
            const QString cut = expected.at(i).chopped(1);
            QVERIFY2(expected.at(i).endsWith(ellipsis)
                    ? drawn.at(i).endsWith(ellipsis) && cut.startsWith(drawn.at(i).chopped(1))
                        && drawn.at(i).size() > 1 && drawn.at(i).size() < expected.at(i).size()
                    : drawn.at(i) == expected.at(i),
                qPrintable(drawn.at(i)));
        }
    }

    void folderRows()
    {
        SidebarTreeItem *folder = addRow(new Folder("5", " Projects\t2024 "));
        SidebarTreeItem *home = addRow(Page::createHomePage(), folder);
        QString icon;
        QCOMPARE(paintRow(folder, &icon), QStringList {"PROJECTS 2024"});
        QCOMPARE(icon, QStringLiteral("folder_collapsed_icon"));
        folder->setExpanded(true);
        paintRow(folder, &icon);
        QCOMPARE(icon, QStringLiteral("folder_expanded_icon"));
        // The house marks the home page wherever it stands.
        paintRow(home, &icon);
        QCOMPARE(icon, QStringLiteral("home_icon"));
    }

    void previewsAreKept()
    {
        auto *page = new Page("2", "Notes", "<p>first</p>");
        SidebarTreeItem *row = addRow(page);
        addRow(new Page("3", "Other", "<p>other</p>"));
        tree->grab();
        const int made = SidebarTreeItem::previewsMade();
        // An unchanged page is never rendered again, however often its row is painted.
        tree->grab();
        paintRow(row);
        QCOMPARE(SidebarTreeItem::previewsMade(), made);
        page->setContent("<p>second</p>");
        QCOMPARE(paintRow(row).at(1), QStringLiteral("second"));
        page->setLocked(true);
        QCOMPARE(paintRow(row).at(1), QStringLiteral("* PASSWORD PROTECTED *"));
        page->setLocked(false);
        QCOMPARE(paintRow(row).at(1), QStringLiteral("second"));
        tree->grab();
        QCOMPARE(SidebarTreeItem::previewsMade(), made + 3);
    }
};

QTEST_MAIN(TestSidebarItemDelegate)
#include "tst_sidebaritemdelegate.moc"
