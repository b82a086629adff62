#include "model/folder.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "search/searchrunner.h"
#include "searchcorpus.h"
#include "testing.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

// The search runner on real web pages: the cases a user meets, and the fast runner against
// the fresh-page method on a generated corpus.
class TestSearchRunner : public QObject
{
    Q_OBJECT

private:
    std::vector<std::unique_ptr<Page>> owned;

    QList<Page *> makePages(const QStringList &contents)
    {
        owned.clear();
        QList<Page *> pages;
        for (int i = 0; i < contents.size(); ++i) {
            owned.push_back(std::make_unique<Page>(
                QString::number(i + 2), QStringLiteral("Page %1").arg(i), contents.at(i)));
            pages.append(owned.back().get());
        }
        return pages;
    }

    static QStringList lines(const QList<SearchResult> &results)
    {
        QStringList out;
        for (const SearchResult &result : results)
            out << result.pageID() + QLatin1Char(':') + result.text();
        return out;
    }

private slots:

    void findsWhatTheEngineFinds_data()
    {
        QTest::addColumn<QStringList>("contents");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected"); // page id and line of each hit, in order

        QTest::newRow("case ignored") << QStringList {"<p>Garden GARDEN gArDeN</p>"} << "garden"
                                      << QStringList {"2:Garden ", "2:GARDEN ", "2:gArDeN"};
        QTest::newRow("case ignored beyond ASCII")
            << QStringList {"<p>ÉTÉ été Straße</p>"} << "été" << QStringList {"2:ÉTÉ ", "2:été "};
        // Non-breaking spaces keep the words on one line.
        QTest::newRow("three hits in one line")
            << QStringList {"<p>cat&nbsp;cat&nbsp;cat</p>"} << "cat"
            << (QStringList() << "2:cat\u00a0cat\u00a0cat"
                              << "2:cat\u00a0cat\u00a0cat"
                              << "2:cat\u00a0cat\u00a0cat");
        QTest::newRow("only in markup, attributes, link targets and pictures")
            << QStringList {"<p title=\"hedgehog\"><a href=\"http://hedgehog.example/\">link</a>"
                            "<img alt=\"hedgehog\" src=\"data:image/png;base64,aGVkZ2Vob2c=\">"
                            "<!-- hedgehog --><span style=\"display:none\">hedgehog</span></p>"}
            << "hedgehog" << QStringList {};
        QTest::newRow("empty text") << QStringList {"<p>text</p>"} << "" << QStringList {};
        // A form field made the find land on the same hit for ever.
        QTest::newRow("text in a form field") << QStringList {"<p><input value=\"secret\"></p>"}
                                              << "secret" << QStringList {"2:secret"};
        // The search text never becomes part of a script.
        QTest::newRow("quotes and backslashes")
            << QStringList {"<p>say \"hi\\there\" it's</p>"} << "\"hi\\there\""
            << QStringList {"2:\"hi\\there\" "};
    }

    void findsWhatTheEngineFinds()
    {
        QFETCH(QStringList, contents);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        const QList<Page *> pages = makePages(contents);
        SearchRunner runner;
        QCOMPARE(lines(runner.run(pages, text)), expected);
        QCOMPARE(lines(SearchRunner::runInFreshPages(pages, text)), expected);
    }

    void searchesWhatPagesHoldNow()
    {
        QList<Page *> pages = makePages({"<p>draft</p>", "<p>secret words</p>"});
        pages.at(0)->setContent(QStringLiteral("<p>unsaved words</p>"));
        pages.at(0)->setModified(true);
        pages.at(1)->setLocked(true);
        SearchRunner runner;
        QList<SearchResult> results = runner.run(pages, QStringLiteral("words"));
        QCOMPARE(results.size(), 2);
        QCOMPARE(results.at(0), SearchResult("2", "Page 0", "words", false));
        QCOMPARE(results.at(1), SearchResult("3", "Page 1", "words", true));

        pages.at(1)->setLocked(false);
        QVERIFY(!runner.run(pages, QStringLiteral("words")).at(1).isLocked());
    }

    void equalsFreshPagesOnAVariedCorpus_data()
    {
        QTest::addColumn<QString>("text");
        // Words, accents and scripts; pieces of words; markup and attribute text; words that
        // stand together only across a picture, a line break or a block edge.
        for (const char *text : {"garden", "cafe", "strasse", "fine", "σοφος", "it's", "ete",
                 "den", "<b>", "garden café", "pageid", "plannotes", "gardengarden"})
            QTest::newRow(text) << QString::fromUtf8(text);
    }

    void equalsFreshPagesOnAVariedCorpus()
    {
        QFETCH(QString, text);
        const QList<Page *> pages = makePages(searchCorpus(20241206, 30));
        for (int i = 0; i < pages.size(); i += 5)
            pages.at(i)->setLocked(true);
        SearchRunner runner;
        const QList<SearchResult> fast = runner.run(pages, text);
        const QList<SearchResult> fresh = SearchRunner::runInFreshPages(pages, text);
        QCOMPARE(lines(fast), lines(fresh));
        QCOMPARE(fast, fresh);
    }
};

QTEST_MAIN(TestSearchRunner)
#include "tst_searchrunner.moc"
