#include "model/htmlprocessor.h"
#include "search/collationfolding.h"
#include "search/searchfilter.h"
#include "search/searchrunner.h"
#include "searchcorpus.h"
#include "testing.h"

#include <QLocale>
#include <QRegularExpression>

// The filter may let a page through that holds no hit, but must never turn away a page in which
// the web engine finds one. Each case is checked against the engine itself. The test also runs
// under a Danish locale, where the collator treats "aa" as "å".
class TestSearchFilter : public QObject
{
    Q_OBJECT

private:
    static int engineHits(const QString &content, const QString &text)
    {
        Page page(QStringLiteral("2"), QStringLiteral("Page"), content);
        return SearchRunner::runInFreshPages({&page}, text).size();
    }

private slots:
    void neverNarrowerThanTheEngine_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("text");
        // Where the engine must find the text: "" in the default test run, "da" under Danish.
        QTest::addColumn<QString>("locale");

        const struct
        {
            const char *name, *content, *text, *locale;
        } rows[] = {
            {"unaccented text finds accents", "<p>CAFÉ crème</p>", "cafe", ""},
            {"ligature in the page", "<p>ﬁne</p>", "fine", ""},
            {"ss against sharp s", "<p>Straße</p>", "STRASSE", ""},
            {"final sigma", "<p>ΣΟΦΟΣ</p>", "σοφος", ""},
            {"dotted capital I", "<p>İSTANBUL</p>", "istanbul", ""},
            {"full-width letters", "<p>ｆｕｌｌ</p>", "full", ""},
            {"decomposed accent", "<p>e&#x301;te</p>", "ete", ""},
            {"named reference", "<p>caf&eacute;</p>", "café", ""},
            {"legacy reference without semicolon", "<p>&notit;</p>", "¬it", ""},
            {"curly quotes", "<p>it’s</p>", "it's", ""},
            {"soft hyphen", "<p>soft&shy;ware</p>", "software", ""},
            {"no-break space", "<p>a&nbsp;b</p>", "a b", ""},
            {"text split across elements", "<p>gar<b>d<i>e</i></b>n</p>", "garden", ""},
            {"comment inside a word", "<p>gar<!-- x -->den</p>", "garden", ""},
            {"hidden text joins its neighbours",
                "<p>one <span style=\"display:none\">x</span>two</p>", "one two", ""},
            {"text moved out of a table", "<table><tr><td>ab</td></tr>cd</table>", "cd\nab", ""},
            {"upper case by style", "<p style=\"text-transform:uppercase\">straße</p>", "SS", ""},
            {"value of a form field", "<p><input value=\"field\"></p>", "field", ""},
            {"literal markup in xmp", "<xmp><b>bold</b></xmp>", "<b>", ""},
            {"Danish aa against å", "<p>Paaske</p>", "på", "da"},
        };
        for (const auto &row : rows) {
            QTest::newRow(row.name) << QString::fromUtf8(row.content) << QString::fromUtf8(row.text)
                                    << QString(row.locale);
        }
    }

    void neverNarrowerThanTheEngine()
    {
        QFETCH(QString, content);
        QFETCH(QString, text);
        QFETCH(QString, locale);
        const int hits = engineHits(content, text);
        const bool danish = QLocale::system().name().startsWith(QLatin1String("da"));
        if (locale == QLatin1String(danish ? "da" : ""))
            QVERIFY2(hits > 0, "the case does not test what it claims");
        SearchFilter filter(CollationFolding::forSystemLocale(), text);
        QVERIFY(hits == 0 || filter.checkPage(content).mayMatch);
    }

    // Substrings of the rendered text of generated pages, their case and accents changed, must
    // all get through the filter whenever the engine finds them.
    void neverNarrowerOnGeneratedPages()
    {
        const QStringList pages = searchCorpus(7, 12);
        QRandomGenerator random(11);
        int checked = 0;
        for (const QString &content : pages) {
            const QStringList words = HtmlProcessor::htmlToPlainText(content).split(
                QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
            for (int k = 0; k < 6 && !words.isEmpty(); ++k) {
                QString text = words.at(int(random.bounded(words.size())));
                text = text.mid(int(random.bounded(qMax(1, text.size() - 1))));
                if (random.bounded(2))
                    text = text.toUpper();
                if (random.bounded(2))
                    text = text.normalized(QString::NormalizationForm_D)
                               .remove(QRegularExpression(QStringLiteral("\\p{Mn}")));
                if (text.isEmpty() || engineHits(content, text) == 0)
                    continue;
                ++checked;
                SearchFilter filter(CollationFolding::forSystemLocale(), text);
                QVERIFY2(filter.checkPage(content).mayMatch, qPrintable(text + " in " + content));
            }
        }
        QVERIFY(checked > 20);
    }

    void turnsAwayPagesWithoutTheText_data()
    {
        QTest::addColumn<QString>("content");
        QTest::newRow("elsewhere in the text") << "<p>a garden path</p>";
        QTest::newRow("only in attributes and a picture")
            << "<p title=\"hedgehog\"><img alt=\"hedgehog\" src=\"data:image/png;base64,"
               "aGVkZ2Vob2c=\"><a href=\"x.html?hedgehog\">x</a></p>";
    }

    void turnsAwayPagesWithoutTheText()
    {
        QFETCH(QString, content);
        SearchFilter filter(CollationFolding::forSystemLocale(), QStringLiteral("hedgehog"));
        QVERIFY(!filter.checkPage(content).mayMatch);
    }
};

QTEST_MAIN(TestSearchFilter)
#include "tst_searchfilter.moc"
