#include "widgets/widgetutils.h"

#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

class TestWidgetUtils : public QObject
{
    Q_OBJECT

private slots:
    void imagePaths_data()
    {
        QTest::addColumn<bool>("highDensity");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ratio 2") << true << 2.0 << ":/images/new_page_icon@2x.png";
        QTest::newRow("ratio 1") << true << 1.0 << ":/images/new_page_icon.png";
        QTest::newRow("ratio 1.5") << true << 1.5 << ":/images/new_page_icon@2x.png";
        QTest::newRow("flag clear") << false << 2.0 << ":/images/new_page_icon.png";
    }

    void imagePaths()
    {
        QFETCH(bool, highDensity);
        QFETCH(qreal, ratio);
        QFETCH(QString, expected);
        QCOMPARE(Gui::imageResourcePath("new_page_icon", "png", highDensity, ratio), expected);
    }

    void imagePathFollowsMainWindow()
    {
        // Offscreen screens have ratio 1, so the plain form is chosen.
        QCOMPARE(Gui::imageResourcePath("home_icon", "png", true),
            QStringLiteral(":/images/home_icon.png"));
    }

    void logicalSize()
    {
        const QPixmap pixmap(73, 60);
        QCOMPARE(Gui::logicalPixmapSize(pixmap, 1.0), QSize(73, 60));
        QCOMPARE(Gui::logicalPixmapSize(pixmap, 2.0), QSize(36, 30));
    }

    void layoutsHaveNoMargins()
    {
        QWidget parent;
        QVBoxLayout *layout = Gui::makeVBoxLayout(&parent);
        QCOMPARE(parent.layout(), layout);
        QCOMPARE(layout->contentsMargins(), QMargins());
        QCOMPARE(layout->spacing(), 0);
    }

    void eliding()
    {
        QLabel label(QStringLiteral("Meeting notes"));
        label.resize(Gui::labelTextWidth(&label) + 40, 20);
        Gui::elideLabel(&label, 10);
        QCOMPARE(label.text(), QStringLiteral("Meeting notes"));

        const QString longText = QStringLiteral("A rather long title for the sidebar of a wiki");
        label.setText(longText);
        label.resize(120, 20);
        Gui::elideLabel(&label, 10);
        QVERIFY(label.text().endsWith(QChar(0x2026)));
        QVERIFY(Gui::labelTextWidth(&label) <= 110);
        QVERIFY(longText.startsWith(label.text().chopped(1)));

        // The elided text is what is measured next time: a wider label does not widen it.
        const QString elided = label.text();
        label.resize(800, 20);
        Gui::elideLabel(&label, 10);
        QCOMPARE(label.text(), elided);
    }

    void messageBoxes()
    {
        QString title, text;
        QStringList buttons;
        auto answer = [&] {
            QTimer::singleShot(0, [&] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                QVERIFY(box);
                title = box->windowTitle();
                text = box->text();
                buttons.clear();
                for (QAbstractButton *button : box->buttons())
                    buttons << button->text().remove(QLatin1Char('&'));
                QVERIFY(!(box->windowFlags() & Qt::WindowContextHelpButtonHint));
                box->buttons().first()->click();
            });
        };

        answer();
        Gui::showErrorMessage(QStringLiteral("Cannot save the wiki."), nullptr);
        QCOMPARE(title, QStringLiteral("Error"));
        QCOMPARE(text, QStringLiteral("Cannot save the wiki."));
        QCOMPARE(buttons, QStringList({"OK"}));

        answer();
        Gui::showInfoMessage(QStringLiteral("Velmora"), QStringLiteral("No new updates"), nullptr);
        QCOMPARE(title, QStringLiteral("Velmora"));
        QCOMPARE(text, QStringLiteral("No new updates"));
        QCOMPARE(buttons, QStringList({"OK"}));
    }

    void cleanup()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
    }
};

QTEST_MAIN(TestWidgetUtils)
#include "tst_widgetutils.moc"
