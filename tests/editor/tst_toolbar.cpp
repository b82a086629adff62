#include "app/mainwindow.h"
#include "editor/editor.h"
#include "editor/imagebutton.h"
#include "editor/toolbar.h"
#include "model/page.h"

#include <QActionGroup>
#include <QMenu>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QtTest>

class TestToolbar : public QObject
{
    Q_OBJECT

private:
    MainWindow *window = nullptr;
    Toolbar *toolbar = nullptr;

    QList<ImageButton *> buttons() const
    {
        return {toolbar->backButton, toolbar->forwardButton, toolbar->formatButton,
            toolbar->linkUnlinkButton, toolbar->deletePageButton};
    }

private slots:
    void init()
    {
        window = new MainWindow;
        window->statusBar()->show();
        // The window's formatting actions, as the window names them.
        for (const char *name :
            {"Bold", "Italic", "Underline", "Strikethrough", "Smaller", "Larger"}) {
            auto *action = new QAction(QString::fromLatin1(name), window);
            action->setObjectName(QString::fromLatin1(name).toLower() + "Action");
        }
        auto *alignment = new QActionGroup(window);
        for (const char *name : {"Left", "Center", "Right", "Justify"}) {
            auto *action = new QAction(QString::fromLatin1(name), alignment);
            action->setObjectName(QStringLiteral("align") + name + "Action");
        }

        toolbar = new Toolbar(window);
        auto *column = new QWidget(window);
        QVBoxLayout *layout = new QVBoxLayout(column);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(toolbar);
        layout->addStretch();
        window->setCentralWidget(column);
        window->resize(900, 400);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
    }

    void layout()
    {
        QCOMPARE(toolbar->height(), 62);
        int previousRight = 0;
        QList<int> gaps;
        for (ImageButton *button : buttons()) {
            QVERIFY(!button->isEnabled());
            QCOMPARE(button->size(), QSize(36, 36));
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

        const QImage strip = toolbar->grab().toImage();
        const int x = toolbar->width() / 2;
        QCOMPARE(QColor(strip.pixel(x, 20)), QColor("#a2adb6"));
        QCOMPARE(QColor(strip.pixel(x, 61)), QColor("#8d9296"));
    }

    void statusTips_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("tip");
        QTest::newRow("back") << 0 << "Return to the previous page.";
        QTest::newRow("forward") << 1 << "Go to the next page.";
        QTest::newRow("format") << 2 << "Change formatting.";
        QTest::newRow("link/unlink") << 3 << "Create/remove link.";
        QTest::newRow("delete page") << 4 << "Delete this page.";
    }

    void statusTips()
    {
        QFETCH(int, button);
        QFETCH(QString, tip);
        ImageButton *target = buttons().at(button);
        target->setEnabled(true);
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(target, &enter);
        QCOMPARE(window->statusBar()->currentMessage(), tip);
    }

    void formatMenu_data()
    {
        QTest::addColumn<bool>("pageShown");
        QTest::addColumn<QString>("entries");
        QTest::newRow("no page") << false << "";
        QTest::newRow("page shown")
            << true
            << "Bold Italic Underline | Strikethrough | Smaller Larger | Left Center "
               "Right Justify";
    }

    void formatMenu()
    {
        QFETCH(bool, pageShown);
        auto *editor = new Editor(window, window);
        Page page(QStringLiteral("2"), QStringLiteral("Notes"));
        if (pageShown)
            editor->loadPage(&page);

        QString entries;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            QStringList texts;
            for (QAction *action : menu->actions())
                texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
            entries = texts.join(QLatin1Char(' '));
            menu->close();
        });
        poll.start(20);
        // Without a page the call returns at once; with one it returns when the menu closes.
        QTimer::singleShot(3000, [] {
            if (QWidget *popup = QApplication::activePopupWidget())
                popup->close();
        });
        toolbar->showFormatMenu();
        QTEST(entries, "entries");
    }
};

QTEST_MAIN(TestToolbar)
#include "tst_toolbar.moc"
