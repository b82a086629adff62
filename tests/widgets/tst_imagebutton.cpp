#include "widgets/imagebutton.h"

#include <QSignalSpy>
#include <QtTest>

class TestImageButton : public QObject
{
    Q_OBJECT

private slots:
    void mouse_data()
    {
        // The picture shown and the clicks emitted after a sequence of events.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<int>("clicks");
        QTest::newRow("normal") << ""
                                << "" << 0;
        QTest::newRow("hover") << "enter"
                               << "_hover" << 0;
        QTest::newRow("pressed") << "enter press"
                                 << "_pressed" << 0;
        QTest::newRow("press and release") << "enter press release"
                                           << "_hover" << 1;
        QTest::newRow("released elsewhere") << "press release-outside"
                                            << "_hover" << 1;
        QTest::newRow("one click per press") << "press release release"
                                             << "_hover" << 1;
        QTest::newRow("right press") << "enter right-press release"
                                     << "_hover" << 0;
        QTest::newRow("left in between") << "press leave release"
                                         << "_hover" << 0;
        QTest::newRow("left and came back") << "press leave enter release"
                                            << "_hover" << 0;
        QTest::newRow("left") << "enter leave"
                              << "" << 0;
        QTest::newRow("disabled") << "disable"
                                  << "_disabled" << 0;
        QTest::newRow("disabled while hovered") << "enter disable"
                                                << "_disabled" << 0;
        QTest::newRow("disabled ignores the mouse") << "disable enter press release"
                                                    << "_disabled" << 0;
        // Without forgetting the press, enabling again before the release gave a stray click.
        QTest::newRow("disabled between press and release") << "press disable enable release"
                                                            << "_hover" << 0;
    }

    void mouse()
    {
        QFETCH(QString, steps);
        QFETCH(QString, picture);
        ImageButton button(nullptr, QStringLiteral("format_icon"));
        QCOMPARE(button.size(), QSize(36, 36));
        QSignalSpy clicked(&button, &ImageButton::clicked);
        for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (step == QLatin1String("enter") || step == QLatin1String("leave")) {
                QEvent event(step == QLatin1String("enter") ? QEvent::Enter : QEvent::Leave);
                QApplication::sendEvent(&button, &event);
            } else if (step == QLatin1String("press")) {
                QTest::mousePress(&button, Qt::LeftButton);
            } else if (step == QLatin1String("right-press")) {
                QTest::mousePress(&button, Qt::RightButton);
            } else if (step == QLatin1String("release")) {
                QTest::mouseRelease(&button, Qt::LeftButton);
            } else if (step == QLatin1String("release-outside")) {
                QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 200));
            } else {
                button.setEnabled(step == QLatin1String("enable"));
            }
        }
        const QImage expected(QStringLiteral(":/images/format_icon%1.png").arg(picture));
        const auto format = QImage::Format_ARGB32_Premultiplied;
        QCOMPARE(button.grab().toImage().convertToFormat(format), expected.convertToFormat(format));
        QTEST(clicked.count(), "clicks");
    }
};

QTEST_MAIN(TestImageButton)
#include "tst_imagebutton.moc"
