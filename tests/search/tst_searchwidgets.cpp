#include "search/searchresultswidget.h"
#include "search/searchtextedit.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

// The search box and the results panel on their own.
class TestSearchWidgets : public QObject
{
    Q_OBJECT

private:
    static QList<SearchResult> hits(const QString &id, const QString &name, int count, bool locked)
    {
        QList<SearchResult> list;
        for (int i = 0; i < count; ++i)
            list.append(
                SearchResult(id, name, QStringLiteral("line %1 of %2").arg(i).arg(name), locked));
        return list;
    }

private slots:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void countText_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << 0 << "No matches found";
        QTest::newRow("one") << 1 << "1 match in 1 page";
        QTest::newRow("twelve") << 12 << "12 matches in 1 page";
    }

    void countText()
    {
        QFETCH(int, count);
        QFETCH(QString, expected);
        SearchResultsWidget panel;
        panel.setResults(hits("2", "Notes", count, false));
        QCOMPARE(panel.findChild<QLabel *>("SearchResultsWidgetResultCountLbl")->text(), expected);
        QCOMPARE(
            panel.findChild<QTreeWidget *>("SearchWidgetTree")->topLevelItemCount(), count ? 1 : 0);
    }

    void groupsByPageInSearchOrder()
    {
        SearchResultsWidget panel;
        panel.setResults(hits("7", "Zebra", 1, false) + hits("2", "Notes", 3, false)
            + hits("3", "Diary", 2, true));
        auto *tree = panel.findChild<QTreeWidget *>("SearchWidgetTree");
        QCOMPARE(tree->topLevelItemCount(), 3);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("ZEBRA (1)"));
        QTreeWidgetItem *notes = tree->topLevelItem(1);
        QCOMPARE(notes->text(0), QStringLiteral("NOTES (3)"));
        QCOMPARE(notes->childCount(), 3);
        QCOMPARE(notes->child(2)->text(0), QStringLiteral("line 2 of Notes"));
        QTreeWidgetItem *diary = tree->topLevelItem(2);
        QCOMPARE(diary->text(0), QStringLiteral("DIARY (2) - PASSWORD PROTECTED"));
        QCOMPARE(diary->childCount(), 0);
        // Once the page is unlocked, the next search shows its lines.
        panel.setResults(hits("3", "Diary", 2, false));
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("DIARY (2)"));
        QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
        panel.clearTree();
        QCOMPARE(tree->topLevelItemCount(), 0);
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
        QFETCH(QStringList, selected);
        SearchResultsWidget panel;
        panel.setResults(hits("2", "Notes", 2, locked));
        auto *tree = panel.findChild<QTreeWidget *>("SearchWidgetTree");
        QSignalSpy spy(&panel, &SearchResultsWidget::itemSelected);
        QTreeWidgetItem *row = tree->topLevelItem(0);
        emit tree->itemDoubleClicked(onLine ? row->child(1) : row, 0);
        QStringList ids;
        for (const QList<QVariant> &arguments : qAsConst(spy))
            ids << arguments.at(0).toString();
        QCOMPARE(ids, selected);
        panel.onTreeWidgetDoubleClicked(nullptr, 0);
        QCOMPARE(spy.count(), selected.size());
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
        // A page's hits split over two reports stay in one row.
        panel.addResults(hits("2", "Notes", 1, false) + hits("3", "Diary", 1, false));
        QCOMPARE(tree->topLevelItemCount(), 2);
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

    void startsSearch_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("searches");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << 1;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 0;
        QTest::newRow("a letter") << int(Qt::Key_A) << int(Qt::NoModifier) << 0;
    }

    void startsSearch()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, searches);
        SearchTextEdit box;
        QSignalSpy spy(&box, &SearchTextEdit::runSearch);
        QTest::keyClick(&box, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(spy.count(), searches);
        QTest::mouseClick(box.findChild<QPushButton *>("SearchTextEditRunBtn"), Qt::LeftButton);
        QCOMPARE(spy.count(), searches + 1);
    }

    void runButtonGeometry_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<QRect>("button");
        QTest::newRow("30 high") << 30 << QRect(0, 0, 30, 30);
        QTest::newRow("50 high") << 50 << QRect(0, 7, 36, 36);
    }

    void runButtonGeometry()
    {
        QFETCH(int, height);
        QFETCH(QRect, button);
        SearchTextEdit box;
        box.resize(200, height);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QCOMPARE(box.findChild<QPushButton *>("SearchTextEditRunBtn")->geometry(), button);
        QCOMPARE(box.textMargins().left(), button.width() + 5);
    }
};

QTEST_MAIN(TestSearchWidgets)
#include "tst_searchwidgets.moc"
