#include "search/searchresultswidget.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

// The search box and the results panel on their own.
class TestSearchWidgets : public QObject
{
    Q_OBJECT

    static QList<SearchResult> hits(const QString &id, const QString &name, int count, bool locked)
    {
        QList<SearchResult> list;
        for (int i = 0; i < count; ++i)
            list << SearchResult(id, name, QStringLiteral("line %1 of %2").arg(i).arg(name), locked);
        return list;
    }

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void groupsByPageInSearchOrder()
    {
        SearchResultsWidget panel;
        auto *count = panel.findChild<QLabel *>("SearchResultsWidgetResultCountLbl");
        panel.setResults({});
        QCOMPARE(count->text(), QStringLiteral("No matches found"));
        panel.setResults(hits("7", "Zebra", 1, false) + hits("2", "Notes", 3, false)
            + hits("3", "Diary", 2, true));
        QCOMPARE(count->text(), QStringLiteral("6 matches in 3 pages"));
        auto *tree = panel.findChild<QTreeWidget *>("SearchWidgetTree");
        QCOMPARE(tree->topLevelItemCount(), 3);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("ZEBRA (1)"));
        QTreeWidgetItem *notes = tree->topLevelItem(1);
        QCOMPARE(notes->text(0), QStringLiteral("NOTES (3)"));
        QCOMPARE(notes->child(2)->text(0), QStringLiteral("line 2 of Notes"));
        // A locked page's lines stay hidden until a search after it was unlocked.
        QCOMPARE(tree->topLevelItem(2)->text(0), QStringLiteral("DIARY (2) - PASSWORD PROTECTED"));
        QCOMPARE(tree->topLevelItem(2)->childCount(), 0);
        panel.setResults(hits("3", "Diary", 2, false));
        QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
    }

    void doubleClick_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::addColumn<bool>("onLine");
        QTest::addColumn<QStringList>("selected");
        QTest::newRow("line of a page") << false << true << QStringList {"2"};
        QTest::newRow("row of a page") << false << false << QStringList {};
        QTest::newRow("row of a locked page") << true << false << QStringList {"2"};
    }

    void doubleClick()
    {
        QFETCH(bool, locked);
        QFETCH(bool, onLine);
        SearchResultsWidget panel;
        panel.setResults(hits("2", "Notes", 2, locked));
        QTreeWidgetItem *row = panel.findChild<QTreeWidget *>("SearchWidgetTree")->topLevelItem(0);
        QSignalSpy spy(&panel, &SearchResultsWidget::itemSelected);
        panel.onTreeWidgetDoubleClicked(onLine ? row->child(1) : row, 0);
        panel.onTreeWidgetDoubleClicked(nullptr, 0);
        QStringList ids;
        for (const QList<QVariant> &arguments : qAsConst(spy))
            ids << arguments.at(0).toString();
        QTEST(ids, "selected");
    }

    void resultsAsTheyComeThenCount()
    {
        SearchResultsWidget panel;
        panel.resize(600, 200);
        panel.show();
        auto *bar = panel.findChild<QProgressBar *>("SearchResultsWidgetProgress");
        auto *count = panel.findChild<QLabel *>("SearchResultsWidgetResultCountLbl");
        auto *tree = panel.findChild<QTreeWidget *>("SearchWidgetTree");
        QVERIFY(!bar->isVisibleTo(&panel));
        panel.beginResults(QStringLiteral("line"));
        panel.addResults(hits("2", "Notes", 2, false));
        panel.showProgress(40, 100);
        QTRY_VERIFY(bar->isVisibleTo(&panel));
        QCOMPARE(bar->value(), 40);
        QCOMPARE(count->text(), QStringLiteral("2 matches in 1 page, searching\u2026"));
        // A page's hits split over two reports stay in one row; rows that come in quick
        // succession are gathered for a moment.
        panel.addResults(hits("2", "Notes", 1, false) + hits("3", "Diary", 1, false));
        QTRY_COMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("NOTES (3)"));
        panel.finishResults(true);
        QTRY_VERIFY(!bar->isVisibleTo(&panel));
        QCOMPARE(count->text(), QStringLiteral("4 matches in 2 pages, search stopped"));
    }

    void hitRowAsksForItsOccurrence()
    {
        SearchResultsWidget panel;
        panel.beginResults(QStringLiteral("garden"));
        const QString line = QStringLiteral("My garden plan and my garden gate");
        panel.addResults({SearchResult("2", "Notes", line, false, 3, 6, 0),
            SearchResult("2", "Notes", line, false, 22, 6, 1)});
        panel.finishResults(false);
        auto *tree = panel.findChild<QTreeWidget *>("SearchWidgetTree");
        QSignalSpy spy(&panel, &SearchResultsWidget::hitSelected);
        emit tree->itemDoubleClicked(tree->topLevelItem(0)->child(1), 0);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0), (QVariantList {"2", "garden", 1}));
        QCOMPARE(tree->topLevelItem(0)->child(1)->text(0), line);
    }
};

QTEST_MAIN(TestSearchWidgets)
#include "tst_searchwidgets.moc"
