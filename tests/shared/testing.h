#pragma once

// Helpers shared by the test programs: answering dialogs as a user would, wiki files in a
// temporary folder, a web site on this machine, and the main window built the way every
// window test needs it.

#include "app/mainwindow.h"
#include "editor/editor.h"
#include "editor/webenginearguments.h"
#include "model/folder.h"
#include "model/page.h"
#include "model/urls.h"
#include "model/wikidocument.h"
#include "sidebar/sidebar.h"
#include "wikitesting.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariant>
#include <QtTest>

#include <functional>
#include <memory>

class QTcpSocket;

// A wait ends as soon as its condition holds; the bound only decides how long a failing test
// takes to say so, and is generous enough for a machine that is busy with other work. The
// waits run the event loop without sleeping between looks (see pumpUntil()): the web engine's
// own work reaches this process through it.
#undef QTRY_VERIFY_WITH_TIMEOUT
#define QTRY_VERIFY_WITH_TIMEOUT(expr, timeout)                                                   \
    do {                                                                                       \
        Testing::pumpUntil([&] { return bool(expr); }, timeout);                               \
        QVERIFY(expr);                                                                         \
    } while (false)
#undef QTRY_VERIFY
#define QTRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT(expr, 30000)
#undef QTRY_COMPARE_WITH_TIMEOUT
#define QTRY_COMPARE_WITH_TIMEOUT(expr, expected, timeout)                                        \
    do {                                                                                       \
        Testing::pumpUntil([&] { return (expr) == (expected); }, timeout);                     \
        QCOMPARE(expr, expected);                                                              \
    } while (false)
#undef QTRY_COMPARE
#define QTRY_COMPARE(expr, expected) QTRY_COMPARE_WITH_TIMEOUT(expr, expected, 30000)

// QTEST_MAIN for test programs that show web pages: the web engine is prepared as the
// program prepares it, before the application object.
#define VELMORA_TEST_MAIN(TestObject)                                                          \
    int main(int argc, char **argv)                                                            \
    {                                                                                          \
        WebEngineArguments::prepareApplication();                                              \
        QApplication app(argc, argv);                                                          \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                               \
        TestObject test;                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                             \
        return QTest::qExec(&test, argc, argv);                                                \
    }

namespace Testing {

// Runs the event loop until condition holds or ms have passed; whether it holds.
bool pumpUntil(const std::function<bool()> &condition, int ms = 30000);

// Hands the next modal dialog that inherits className to answer, in the order the answers
// were given. A modal dialog that no answer fits is closed after a few seconds and fails the
// running test: a dialog the test did not expect never leaves it hanging.
void answerDialog(const char *className, std::function<void(QWidget *)> answer);
// Clicks the message box button with this text (mnemonic left out), noting the box's texts,
// and ticks its check box first when tick.
void answerBox(const QString &button = QStringLiteral("OK"), QString *text = nullptr,
    QString *title = nullptr, bool tick = false);
// Chooses path in the next file dialog, or cancels it when path is empty. The choice is taken
// as it stands, past the dialog's own questions (missing file, overwrite).
void answerFile(const QString &path);
void answerText(const QString &text);
// Types texts into the next dialog's line edits in order and presses its default button.
void answerPassword(const QStringList &texts);
void cancelDialog();
// False when an answer was never used, i.e. its dialog never appeared; forgets such answers.
bool allAnswered();

// The links handed to the desktop (a browser) since the last call; none is ever opened.
QList<QUrl> takeOpenedUrls();

// A web site on the loopback address that notes every request line and connection. A path in
// pages gets its body; any other gets body, or "404 Not Found" while body is null. Answers wait
// while held, until release(), and never come when silent.
class LocalSite : public QTcpServer
{
public:
    LocalSite();
    QHash<QString, QByteArray> pages;
    QByteArray body;
    bool held = false;
    bool silent = false;
    QStringList requests;
    int connections = 0;
    QString url(const QString &path = QString()) const;
    void release();

private:
    QList<QPair<QPointer<QTcpSocket>, QString>> m_waiting; // with the path asked for
};

// The main window as the program builds it, shown, with its update check at a closed port on
// this machine, and on an empty settings store unless keepSettings. Fails the running test
// when the check would go anywhere else.
std::unique_ptr<MainWindow> makeWindow(bool keepSettings = false);
// Opens a new wiki at path in window: the home page shown, "Ideas", and "Travel" holding
// "Lisbon".
WikiDocument *openSampleWiki(MainWindow *window, const QString &path);
// Runs script in the editor's page and waits for its value. The engine answers later, never
// inside the call; the wait is bounded and fails the running test when no answer comes.
QVariant runScript(Editor *editor, const QString &script);
// Saves as autosave and Ctrl+S do, and returns once the save has been asked for: the window
// first takes what the page shows, which the page answers later.
void saveWiki(MainWindow *window, bool forced = false);
// Waits until the editor's page has loaded whole.
bool editorReady(MainWindow *window);
// The widget of the editor that takes the keyboard and the mouse: key and mouse events for the
// page go there.
QWidget *editorInput(Editor *editor);
// Shows page holding content in the window's editor without a commit, focused.
bool showContent(MainWindow *window, Page *page, const QString &content);
// Focuses the editor and waits until its page knows it has the focus.
bool focusPage(MainWindow *window);
// Puts the editor's caret at the end of its body, the page focused.
void caretAtEnd(MainWindow *window);
// Opens widget's context menu at pos and chooses the entry with the text choice; the entries
// of the menu, none when no menu opened.
QStringList contextMenu(QWidget *widget, const QPoint &pos, const QString &choice = {});

// True when label shows its whole text inside its window, wrapped where it wraps.
bool labelFits(const QLabel *label);

// A test of the main window: a temporary folder, the window, the wiki it shows and its editor.
// The cleanup closes the window and fails the test when a dialog it expected never appeared.
class WindowTest : public QObject
{
    Q_OBJECT

protected:
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    Editor *editor = nullptr;
    WikiDocument *wiki = nullptr;

    // A new window from makeWindow(), and in openSample() a new sample wiki in it.
    void openWindow(bool keepSettings = false);
    void openSample(bool keepSettings = false);
    QAction *action(const QString &name) const;
    Page *page(const QString &name) const { return wiki->findPageByName(name); }
    // The editor's page evaluates script; its value as text (see runScript()).
    QString js(const QString &script) const;
    // The centre of the first element of the editor's page that matches selector, in the
    // coordinates of editorInput().
    QPoint centreOf(const QString &selector) const;
    // Where key and mouse events for the editor's page go.
    QWidget *input() const { return editorInput(editor); }

private slots:
    void cleanup();

private:
    int m_wikis = 0;
};

} // namespace Testing
