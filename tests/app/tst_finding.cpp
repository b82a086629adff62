#include "benchwiki.h"
#include "testing.h"

#include "editor/pageprofile.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>

using namespace Testing;

namespace {

// The pages of a wiki that link to targetId, read by the web engine from each page's markup.
// Only pages that hold the target's address somewhere are read: the others cannot link to it.
QStringList namesLinkingTo(WikiDocument *wiki, const QString &targetId)
{
    PageProfile profile;
    QWebEnginePage reader(&profile);
    reader.settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    reader.settings()->setAttribute(QWebEngineSettings::AutoLoadImages, false);
    QStringList names;
    for (const Page *page : wiki->allPages()) {
        if (page->id() == targetId || !page->content().contains(targetId))
            continue;
        QSignalSpy loaded(&reader, &QWebEnginePage::loadFinished);
        reader.setHtml(page->content());
        if (!loaded.wait(30000))
            return {QStringLiteral("(the reader never loaded %1)").arg(page->name())};
        // Shared: an answer may come after the wait gave up.
        auto hrefs = std::make_shared<QVariant>();
        reader.runJavaScript(QStringLiteral("Array.from(document.querySelectorAll('a[href]'),"
                                            " function (a) { return a.getAttribute('href'); })"),
            QWebEngineScript::ApplicationWorld, [hrefs](const QVariant &value) { *hrefs = value; });
        if (!QTest::qWaitFor([&hrefs] { return hrefs->isValid(); }, 30000))
            return {QStringLiteral("(the reader never answered for %1)").arg(page->name())};
        for (const QVariant &href : hrefs->toList()) {
            if (pageIdFromUrl(href.toString()) == targetId) {
                names << page->name();
                break;
            }
        }
    }
    return names;
}

} // namespace

class TestFinding : public WindowTest
{
    Q_OBJECT

    template <typename T> T *child(const char *name) const { return window->findChild<T *>(name); }
    // Where the page's selection starts, counted in characters of the page's text.
    int selectionOffset() const
    {
        return js("(function () { var s = getSelection().getRangeAt(0);"
                  "var r = document.createRange(); r.setStart(document.body, 0);"
                  "r.setEnd(s.startContainer, s.startOffset); return r.toString().length; })()")
            .toInt();
    }
    void show(Page *page)
    {
        window->sidebar()->selectItem(page->id());
        QVERIFY(editorReady(window.get()));
    }

private slots:
    void init() { openWindow(); }

    void findAndReplace()
    {
        openSample();
        Page *ideas = page("Ideas");
        ideas->setContent("<p>One fish, two fish, one more fish.</p><p>ONE last fish</p>");
        show(ideas);
        editor->setFocus();
        QTest::keyClick(input(), Qt::Key_F, Qt::ControlModifier);
        auto *bar = child<QWidget>("FindBar");
        auto *field = child<QLineEdit>("findField");
        auto *count = child<QLabel>("findCount");
        // The page answers later; a loaded machine may take long.
        const int answerWait = 30000;
        QVERIFY(bar->isVisible());
        QCOMPARE(QApplication::focusWidget(), field);
        // The answer for a text changed again before it came is not shown: the count of "one"
        // used to stand beside the emptied field.
        QTest::keyClicks(field, "one");
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Backspace);
        auto answered = std::make_shared<bool>(false);
        editor->runScript("0", [answered](const QVariant &) { *answered = true; });
        QTRY_VERIFY_WITH_TIMEOUT(*answered, answerWait);
        QCOMPARE(count->text(), QString());
        QTest::keyClicks(field, "one");
        QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("1 of 3"), answerWait);
        QTRY_COMPARE(selectionOffset(), 0);

        // Each key moves to the match it names, wrapping at either end; the page keys too.
        struct Step
        {
            QWidget *target;
            int key, modifiers, offset;
            const char *count;
        };
        const Step steps[] = {{field, Qt::Key_Return, Qt::NoModifier, 20, "2 of 3"},
            {field, Qt::Key_Return, Qt::NoModifier, 34, "3 of 3"},
            {field, Qt::Key_Return, Qt::NoModifier, 0, "1 of 3"},
            {field, Qt::Key_Return, Qt::ShiftModifier, 34, "3 of 3"},
            {field, Qt::Key_F3, Qt::NoModifier, 0, "1 of 3"},
            {input(), Qt::Key_F3, Qt::NoModifier, 20, "2 of 3"},
            {input(), Qt::Key_F3, Qt::ShiftModifier, 0, "1 of 3"}};
        for (const auto &step : steps) {
            step.target->setFocus();
            QTest::keyClick(step.target, Qt::Key(step.key), Qt::KeyboardModifiers(step.modifiers));
            QTRY_COMPARE_WITH_TIMEOUT(count->text(), QString::fromLatin1(step.count), answerWait);
            QTRY_COMPARE(selectionOffset(), step.offset);
        }
        child<QCheckBox>("matchCase")->setChecked(true);
        QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("1 of 1"), answerWait);
        QTRY_COMPARE(selectionOffset(), 20);
        child<QCheckBox>("matchCase")->setChecked(false);

        // Ctrl+H adds the replace row; Enter there replaces the selected match only.
        field->setFocus();
        QTest::keyClick(field, Qt::Key_H, Qt::ControlModifier);
        auto *replacement = child<QLineEdit>("replaceField");
        QCOMPARE(QApplication::focusWidget(), replacement);
        field->setText(QString());
        QTest::keyClicks(field, "FISH");
        QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("3 of 4"), answerWait);
        QTRY_COMPARE(selectionOffset(), 29);
        QTest::keyClicks(replacement, "cat");
        QTest::keyClick(replacement, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("3 of 3"), answerWait);
        QTRY_COMPARE(js("document.body.innerText"),
            QStringLiteral("One fish, two fish, one more cat.\n\nONE last fish"));
        const QString beforeAll = js("document.body.innerHTML");

        QTest::mouseClick(child<QPushButton>("replaceAllButton"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("No matches"), answerWait);
        QTRY_COMPARE(js("document.body.innerText"),
            QStringLiteral("One cat, two cat, one more cat.\n\nONE last cat"));
        QTRY_COMPARE(ideas->content(), js("document.body.innerHTML"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QCOMPARE(QApplication::focusWidget(), input());

        // One undo takes the whole Replace All back; the page keeps the earlier replacement.
        QTest::keyClick(input(), Qt::Key_Z, Qt::ControlModifier);
        QTRY_COMPARE(js("document.body.innerHTML"), beforeAll);
        QTRY_COMPARE(ideas->content(), beforeAll);
    }

    void linkedFrom()
    {
        // The bench wiki's shape at a size a test reads quickly, with links written the ways a
        // page from elsewhere may hold them, and addresses that are no links.
        const QJsonObject bench = buildBenchWiki(2000, false);
        QJsonArray items = bench.value("wiki_items").toArray();
        const QString target = items.at(7).toObject().value("id").toString();
        const QString url = pageUrl(target);
        items.append(pageJson("9001", "Upper case",
            QStringLiteral("<p><A class=x HREF='%1'>seven</A></p>").arg(url)));
        QString escaped = url;
        items.append(pageJson("9002", "Entity",
            "<p><a title=\"a>b\" href=\"" + escaped.replace("?", "&#63;") + "\">seven</a></p>"));
        items.append(pageJson("9003", "Not links",
            "<p>" + url + "</p><img src=\"" + url + "\"><!-- <a href=\"" + url + "\">x</a> -->"
                + "<a href=\"" + url + "0\">other</a><textarea><a href=\"" + url + "\">t</a>"
                + "</textarea><a name=\"x\" title=\"href=" + url + "\">n</a>"));
        items.append(pageJson("9004", "Later", "<p>nothing yet</p>"));
        const QString path = dir.filePath("bench.velmora");
        QVERIFY(writeWikiJson(path, items));
        QVERIFY(window->openWiki(path, true, false));
        wiki = window->currentWiki();

        auto *label = child<QLabel>("linkedFromLabel");
        const auto listed = [label] {
            QStringList names;
            auto it
                = QRegularExpression("<a href=\"#\\d+\">([^<]*)</a>").globalMatch(label->text());
            while (it.hasNext())
                names << it.next().captured(1);
            return names;
        };
        show(wiki->findPageById(target));
        const QStringList expected = namesLinkingTo(wiki, target);
        QVERIFY(expected.contains("Upper case") && expected.contains("Entity"));
        QVERIFY(!expected.contains("Not links"));
        QTRY_COMPARE(listed(), expected);

        // A link added elsewhere shows the next time the page is shown.
        Page *later = wiki->findPageById("9004");
        later->setContent(QStringLiteral("<p><a href=\"%1\">seven</a></p>").arg(pageUrl(target)));
        show(wiki->homePage());
        show(wiki->findPageById(target));
        QTRY_COMPARE(listed(), QStringList(expected) << "Later");

        // Each name opens its page, from the keyboard as well.
        label->setFocus();
        QTest::keyClick(label, Qt::Key_Tab);
        QTest::keyClick(label, Qt::Key_Return);
        QTRY_COMPARE(editor->currentPage()->name(), expected.first());
    }

    void exportIndex()
    {
        openSample();
        window->sidebar()->addItem(wiki->createPage("Tom & Jerry <3>", nullptr), nullptr);
        const QString out = dir.filePath("out");
        QVERIFY(QDir().mkpath(out));
        QVERIFY(putFile(out + "/index.html", "kept"));
        answerFile(out);
        QString message;
        answerBox("OK", &message);
        child<QAction>("exportWikiHtmlAction")->trigger();
        QCOMPARE(message,
            QStringLiteral("Exported 4 pages to %1. Open index1.html to browse them.").arg(out));
        QCOMPARE(fileBytes(out + "/index.html"), QByteArray("kept"));

        // The index lists every page in sidebar order, each linking a file with its title.
        const QString index = fileBytes(out + "/index1.html");
        QVERIFY(index.contains(
            "<title>" + QFileInfo(wiki->filePath()).completeBaseName() + "</title>"));
        QVERIFY(index.contains("<style>"));
        QStringList names;
        auto it = QRegularExpression("<li><a href=\"\\./([^\"]+)\">([^<]*)</a></li>")
                      .globalMatch(index);
        while (it.hasNext()) {
            const QRegularExpressionMatch link = it.next();
            names << link.captured(2);
            const QString page = fileBytes(out + '/' + link.captured(1));
            QVERIFY2(page.contains("<title>" + link.captured(2) + "</title>"), qPrintable(page));
            QVERIFY(page.contains("<style>"));
        }
        QCOMPARE(names, QStringList({"Home Page", "Lisbon", "Ideas", "Tom &amp; Jerry &lt;3&gt;"}));
    }
};

VELMORA_TEST_MAIN(TestFinding)
#include "tst_finding.moc"
