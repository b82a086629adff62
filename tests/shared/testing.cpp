#include "testing.h"

#include "app/mainwindow.h"
#include "app/updatechecker.h"
#include "editor/editor.h"
#include "model/folder.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "sidebar/sidebar.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QHostAddress>
#include <QInputDialog>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace Testing {
namespace {

// Watches for modal dialogs and hands each to the next answer given for its kind, and stands
// in for the desktop's browser.
class Answerer final : public QObject
{
    Q_OBJECT

public:
    Answerer()
    {
        connect(&m_poll, &QTimer::timeout, this, &Answerer::poll);
        m_poll.start(10);
        for (const char *scheme : {"http", "https", "mailto"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }

    struct Answer
    {
        const char *className;
        std::function<void(QWidget *)> run;
    };
    QList<Answer> answers;
    QList<QUrl> openedUrls;

public slots:
    void open(const QUrl &url) { openedUrls << url; }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal == m_answered)
            return;
        if (!answers.isEmpty() && modal->inherits(answers.first().className)) {
            m_answered = modal;
            // Run from the event loop rather than from here, so that a dialog the answer opens
            // in turn (the file dialog's overwrite question) is still seen by this poll.
            QTimer::singleShot(0, modal, [this, modal, run = answers.takeFirst().run] {
                run(modal);
                if (modal->isVisible())
                    m_answered = nullptr; // left open, e.g. by a wrong password
            });
            return;
        }
        // No answer can come later: the test waits inside this dialog until it closes. Some
        // five seconds of polls leave time for an answer just queued.
        if (modal != m_waiting) {
            m_waiting = modal;
            m_polls = 0;
        }
        if (++m_polls < 500)
            return;
        m_waiting = nullptr;
        const auto *box = qobject_cast<QMessageBox *>(modal);
        QTest::qFail(qPrintable(QStringLiteral("No answer for the %1 \"%2\"")
                                    .arg(QLatin1String(modal->metaObject()->className()),
                                        box ? box->text() : modal->windowTitle())),
            __FILE__, __LINE__);
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }

    QTimer m_poll;
    QPointer<QWidget> m_answered;
    QPointer<QWidget> m_waiting;
    int m_polls = 0;
};

Answerer &answerer()
{
    static auto *instance = new Answerer;
    return *instance;
}

} // namespace

void answerDialog(const char *className, std::function<void(QWidget *)> answer)
{
    answerer().answers.append({className, std::move(answer)});
}

void answerBox(const QString &button, QString *text, QString *title, bool tick)
{
    answerDialog("QMessageBox", [=](QWidget *dialog) {
        auto *box = static_cast<QMessageBox *>(dialog);
        if (tick && box->checkBox())
            box->checkBox()->setChecked(true);
        if (text)
            *text = box->text();
        if (title)
            *title = box->windowTitle();
        for (QAbstractButton *b : box->buttons()) {
            if (b->text().remove(QLatin1Char('&')).trimmed() == button)
                return b->click();
        }
        QTest::qFail(qPrintable("No button " + button), __FILE__, __LINE__);
        box->reject();
    });
}

void answerFile(const QString &path)
{
    answerDialog("QFileDialog", [path](QWidget *dialog) {
        auto *files = static_cast<QFileDialog *>(dialog);
        if (path.isEmpty())
            return files->reject();
        // Typed in, as selectFile() leaves the name field alone while it has the focus.
        files->setDirectory(QFileInfo(path).absolutePath());
        files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))
            ->setText(QFileInfo(path).fileName());
        // done() rather than accept(), which would ask its own questions.
        QMetaObject::invokeMethod(files, "done", Q_ARG(int, QDialog::Accepted));
    });
}

void answerText(const QString &text)
{
    answerDialog("QInputDialog", [text](QWidget *dialog) {
        auto *input = static_cast<QInputDialog *>(dialog);
        input->setTextValue(text);
        input->accept();
    });
}

void answerPassword(const QStringList &texts)
{
    answerDialog("QDialog", [texts](QWidget *dialog) {
        const QList<QLineEdit *> edits = dialog->findChildren<QLineEdit *>();
        for (int i = 0; i < texts.size() && i < edits.size(); ++i)
            QTest::keyClicks(edits.at(i), texts.at(i));
        for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
            if (button->isDefault())
                return button->click();
        }
    });
}

void cancelDialog()
{
    answerDialog("QDialog", [](QWidget *dialog) { static_cast<QDialog *>(dialog)->reject(); });
}

bool allAnswered()
{
    const bool all = answerer().answers.isEmpty();
    answerer().answers.clear();
    return all;
}

QList<QUrl> takeOpenedUrls()
{
    return std::exchange(answerer().openedUrls, {});
}

LocalSite::LocalSite()
{
    listen(QHostAddress::LocalHost);
    connect(this, &QTcpServer::newConnection, this, [this] {
        QTcpSocket *socket = nextPendingConnection();
        ++connections;
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n"))
                return;
            requests << QString::fromLatin1(socket->readLine().trimmed());
            socket->readAll();
            m_waiting.append({socket, requests.last().section(' ', 1, 1)});
            if (!held)
                release();
        });
    });
}

QString LocalSite::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(serverPort()).arg(path);
}

void LocalSite::release()
{
    for (const auto &[socket, path] : std::exchange(m_waiting, {})) {
        if (silent || !socket)
            continue;
        const bool found = pages.contains(path) || !body.isNull();
        const QByteArray answer = pages.value(path, found ? body : QByteArray("none"));
        socket->write(QByteArray(found ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found")
            + "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(answer.size())
            + "\r\n\r\n" + answer);
        socket->disconnectFromHost();
    }
}

std::unique_ptr<MainWindow> makeWindow(bool keepSettings)
{
    answerer();
    if (!keepSettings)
        QSettings().clear();
    // The test command points the check at a closed port; a run without it must not reach out.
    if (!QHostAddress(UpdateChecker::defaultServerUrl().host()).isLoopback()) {
        QTest::qFail(qPrintable("The update check would ask "
                         + UpdateChecker::defaultServerUrl().toString()),
            __FILE__, __LINE__);
        UpdateChecker::setDefaultServerUrl(QUrl(QStringLiteral("http://127.0.0.1:9")));
    }
    auto window = std::make_unique<MainWindow>();
    const QUrl asked = window->findChild<UpdateChecker *>()->requestUrl();
    if (!QHostAddress(asked.host()).isLoopback())
        QTest::qFail(qPrintable("The update check asked " + asked.toString()), __FILE__, __LINE__);
    window->resize(1000, 700);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        QTest::qFail("The main window was never shown", __FILE__, __LINE__);
    return window;
}

WikiDocument *openSampleWiki(MainWindow *window, const QString &path)
{
    if (!window->openWiki(path, false, false))
        return nullptr;
    WikiDocument *wiki = window->currentWiki();
    Folder *travel = wiki->createFolder(QStringLiteral("Travel"));
    window->sidebar()->addItem(travel, nullptr);
    window->sidebar()->addItem(wiki->createPage(QStringLiteral("Lisbon"), travel), travel);
    window->sidebar()->addItem(wiki->createPage(QStringLiteral("Ideas"), nullptr), nullptr);
    window->sidebar()->selectItem(QStringLiteral("1"));
    return editorReady(window) ? wiki : nullptr;
}

QVariant runScript(Editor *editor, const QString &script)
{
    // The answer may come after the wait gave up; it then lands in the shared state only.
    struct Answer
    {
        bool arrived = false;
        QVariant value;
    };
    auto answer = std::make_shared<Answer>();
    editor->page()->runJavaScript(script, [answer](const QVariant &value) {
        answer->arrived = true;
        answer->value = value;
    });
    if (!pumpUntil([&answer] { return answer->arrived; })) {
        QTest::qFail(qPrintable(QStringLiteral("The page never answered: %1").arg(script)),
            __FILE__, __LINE__);
    }
    return answer->value;
}

bool pumpUntil(const std::function<bool()> &condition, int ms)
{
    const QDeadlineTimer deadline(ms);
    // Wakes the loop now and then to look at the condition and the time.
    QTimer tick;
    tick.start(20);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        // Objects deleted later go as they would when the loop returns, as QTest's waits do.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void saveWiki(MainWindow *window, bool forced)
{
    window->saveWiki(forced);
    // The page answers in order: once this answer is in, so is the one the save waited for,
    // unless typed keys were still on their way (tests wait for typed text before saving).
    runScript(window->editor(), QStringLiteral("0"));
}

bool editorReady(MainWindow *window)
{
    Editor *editor = window->editor();
    // The engine drops keys and clicks meant for a new document until it has painted it: two
    // animation frames after loading, a frame is on the screen.
    return pumpUntil([editor] {
        return !editor->isLoading()
            && runScript(editor,
                   QStringLiteral("document.readyState == 'complete' && (function () {"
                                  "  if (window.testFramesShown === undefined) {"
                                  "    window.testFramesShown = false;"
                                  "    requestAnimationFrame(function () {"
                                  "      requestAnimationFrame(function () {"
                                  "        window.testFramesShown = true; }); }); }"
                                  "  return window.testFramesShown; })()"))
            .toBool();
    });
}

QWidget *editorInput(Editor *editor)
{
    return editor->focusProxy() ? editor->focusProxy() : editor;
}

bool showContent(MainWindow *window, Page *page, const QString &content)
{
    Editor *editor = window->editor();
    page->setContent(content);
    page->setModified(false);
    editor->disconnectSignals();
    editor->setEditable(page->isUnlocked());
    editor->loadPage(page);
    editor->connectSignals();
    editor->setFocus();
    return editorReady(window);
}

bool focusPage(MainWindow *window)
{
    // The engine tells the page of its focus apart from the scripts it runs: a selection set
    // before the focus arrives is replaced by the one the focus brings back.
    Editor *editor = window->editor();
    editor->setFocus();
    return pumpUntil(
        [editor] { return runScript(editor, QStringLiteral("document.hasFocus()")).toBool(); });
}

void caretAtEnd(MainWindow *window)
{
    focusPage(window);
    runScript(window->editor(),
        QStringLiteral("var r = document.createRange(); r.selectNodeContents(document.body);"
                       "r.collapse(false); getSelection().removeAllRanges(); getSelection().addRange(r);"));
}

QStringList contextMenu(QWidget *widget, const QPoint &pos, const QString &choice)
{
    QStringList entries;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        poll.stop();
        for (QAction *entry : menu->actions()) {
            entries << entry->text();
            if (entry->text() == choice)
                entry->trigger();
        }
        menu->close();
    });
    poll.start(10);
    // The page notes which element the right button went down on.
    QTest::mouseClick(widget, Qt::RightButton, {}, pos);
    if (qobject_cast<QWebEngineView *>(widget->parentWidget())) {
        // A page's view asks for its menu itself once the engine has seen the click.
        pumpUntil([&poll] { return !poll.isActive(); });
    } else {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, widget->mapToGlobal(pos));
        QApplication::sendEvent(widget, &event);
    }
    return entries;
}

bool labelFits(const QLabel *label)
{
    const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed
        = label->fontMetrics().boundingRect(label->contentsRect(), flags, label->text());
    const QRect inWindow(label->mapTo(label->window(), QPoint()), label->size());
    return label->contentsRect().height() >= needed.height()
        && label->contentsRect().width() >= needed.width()
        && label->window()->rect().contains(inWindow);
}

void WindowTest::openWindow(bool keepSettings)
{
    window = makeWindow(keepSettings);
    editor = window->editor();
}

void WindowTest::openSample(bool keepSettings)
{
    openWindow(keepSettings);
    wiki = openSampleWiki(window.get(), dir.filePath(QStringLiteral("%1.velmora").arg(++m_wikis)));
    QVERIFY(wiki);
}

QAction *WindowTest::action(const QString &name) const
{
    return window->findChild<QAction *>(name);
}

QString WindowTest::js(const QString &script) const
{
    return runScript(editor, script).toString();
}

QPoint WindowTest::centreOf(const QString &selector) const
{
    const QVariantList centre = runScript(editor,
        QStringLiteral("(function(){ var e = document.querySelector(%1); if (!e) return [-1, -1];"
                       " var r = e.getBoundingClientRect();"
                       " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
            .arg(QString::fromUtf8(QJsonDocument(QJsonArray{selector}).toJson(QJsonDocument::Compact))
                     .mid(1).chopped(1)))
                                    .toList();
    const qreal zoom = editor->zoomFactor();
    return QPoint(qRound(centre.value(0).toReal() * zoom), qRound(centre.value(1).toReal() * zoom));
}

void WindowTest::cleanup()
{
    window.reset();
    QVERIFY2(allAnswered(), "a dialog the test expected never appeared");
    dir.setAutoRemove(!QTest::currentTestFailed());
}

} // namespace Testing

#include "testing.moc"
