#include "app/mainwindow.h"
#include "app/updatechecker.h"
#include "editor/editor.h"
#include "widgets/imagebutton.h"
#include "editor/toolbar.h"
#include "search/searchtextedit.h"
#include "model/page.h"

#include <QActionGroup>
#include <QMenu>
#include <QVBoxLayout>
#include <QtTest>

class TestToolbar : public QObject
{
    Q_OBJECT

private:
    MainWindow *window = nullptr;
    Toolbar *toolbar = nullptr;

private slots:
    void initTestCase()
    {
        // The start-up update check goes to a closed port on this machine, never to the web.
        UpdateChecker::setDefaultServerUrl(QUrl(QStringLiteral("http://127.0.0.1:9")));
    }

    void init()
    {
        window = new MainWindow;
        toolbar = window->findChild<Toolbar *>();
        QVERIFY(toolbar);
        window->resize(900, 400);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    void cleanup() { delete window; }

    void layout()
    {
        QCOMPARE(toolbar->height(), 62);
        int previousRight = 0;
        QList<int> gaps;
        for (ImageButton *button : {toolbar->backButton, toolbar->forwardButton,
                 toolbar->formatButton, toolbar->linkUnlinkButton, toolbar->deletePageButton}) {
            QVERIFY(!button->isEnabled());
            QCOMPARE(button->geometry().size(), QSize(36, 36));
            QCOMPARE(button->y(), (62 - 36) / 2);
            gaps << button->x() - previousRight;
            previousRight = button->geometry().right() + 1;
        }
        // Outer margin 5 and a leading 10; buttons 20 apart, with 30 more between the history
        // buttons and the editing ones.
        QCOMPARE(gaps, (QList<int> {15, 20, 50, 20, 20}));
        const QRect search = toolbar->searchEdit->geometry();
        QVERIFY(search.left() > previousRight);
        QCOMPARE(search.right() + 1, toolbar->width() - 5 - 10);

        // The strip's colours need a styled background, which a plain widget lacks by default.
        const QImage strip = toolbar->grab().toImage();
        const int x = toolbar->deletePageButton->geometry().right() + 10;
        QCOMPARE(QColor(strip.pixel(x, 20)), QColor("#a2adb6"));
        QCOMPARE(QColor(strip.pixel(x, 61)), QColor("#8d9296"));
    }

    void formatMenu_data()
    {
        QTest::addColumn<bool>("pageShown");
        QTest::addColumn<QString>("entries");
        QTest::newRow("no page") << false << "";
        QTest::newRow("page shown") << true
                                    << "Bold Italic Underline | Strikethrough | Smaller Larger | "
                                       "Left Center Right Justify";
    }

    void formatMenu()
    {
        QFETCH(bool, pageShown);
        Editor *editor = window->editor();
        Page page(QStringLiteral("2"), QStringLiteral("Notes"));
        if (pageShown)
            editor->loadPage(&page);

        QString entries;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                QStringList texts;
                for (QAction *action : menu->actions())
                    texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
                entries = texts.join(QLatin1Char(' '));
                menu->close();
            }
        });
        poll.start(20);
        // Returns at once without a page, and when the menu closes with one.
        toolbar->showFormatMenu();
        QTEST(entries, "entries");
    }
};

QTEST_MAIN(TestToolbar)
#include "tst_toolbar.moc"
