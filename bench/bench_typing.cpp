// Typing and caret moves in a long page: what each key costs, from the key press in the window
// to the page having handled it, the page script's handlers and its formatting reports
// included.

#include "app/mainwindow.h"
#include "app/updatechecker.h"
#include "benchpage.h"
#include "editor/editor.h"
#include "editor/webenginearguments.h"
#include "model/page.h"
#include "model/wikidocument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>

#include <cstdio>

namespace {

// Milliseconds per key for count presses of key, each one handled by the page (a script's
// answer comes after it) before the next.
double perKey(Editor *editor, Qt::Key key, int count, const QString &text = QString())
{
    QWidget *input = editor->focusProxy() ? editor->focusProxy() : editor;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        if (text.isEmpty())
            QTest::keyClick(input, key);
        else
            QTest::keyClicks(input, text);
        BenchPage::run(editor, QStringLiteral("0"));
    }
    return timer.nsecsElapsed() / 1e6 / count;
}

} // namespace

int main(int argc, char **argv)
{
    WebEngineArguments::prepareApplication();
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Velmora-bench"));
    UpdateChecker::setDefaultServerUrl(QUrl(QStringLiteral("http://127.0.0.1:9")));
    const int paragraphs = app.arguments().value(1, QStringLiteral("2000")).toInt();

    QTemporaryDir dir;
    MainWindow window;
    window.resize(1280, 800);
    window.show();
    if (!window.openWiki(dir.filePath(QStringLiteral("typing.velmora")), false, false)) {
        std::printf("the window did not open a new wiki\n");
        return 1;
    }
    QString content;
    for (int i = 0; i < paragraphs; ++i)
        content += QStringLiteral("<p>Line %1 of the page, with <b>bold</b> and <a "
                                  "href=\"https://example.org\">a link</a> in it.</p>")
                       .arg(i);
    Editor *editor = window.editor();
    Page *home = window.currentWiki()->homePage();
    home->setContent(content);
    editor->disconnectSignals();
    editor->loadPage(home);
    editor->connectSignals();
    editor->setFocus();
    if (!BenchPage::waitForDocument(editor)) {
        std::printf("the page did not load\n");
        return 1;
    }
    BenchPage::caretAtEnd(editor);
    std::printf("%d paragraphs\n", paragraphs);
    std::printf("typing a letter: %6.2f ms a key\n", perKey(editor, Qt::Key_A, 300, "a"));
    std::printf("caret left:      %6.2f ms a key\n", perKey(editor, Qt::Key_Left, 300));
    std::printf("Return:          %6.2f ms a key\n", perKey(editor, Qt::Key_Return, 50));
    return 0;
}
