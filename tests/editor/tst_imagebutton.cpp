#include "editor/imagebutton.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QImage picture(const QString &name)
{
    return QImage(QStringLiteral(":/images/%1.png").arg(name))
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage shown(ImageButton &button)
{
    return button.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void send(ImageButton &button, QEvent::Type type)
{
    QEvent event(type);
    QApplication::sendEvent(&button, &event);
}

} // namespace

class TestImageButton : public QObject
{
    Q_OBJECT

private slots:
    void pictureForEachState_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("normal") << ""
                                << "";
        QTest::newRow("hover") << "enter"
                               << "_hover";
        QTest::newRow("pressed") << "enter press"
                                 << "_pressed";
        QTest::newRow("released") << "enter press release"
                                  << "_hover";
        QTest::newRow("right press changes nothing") << "enter rightpress"
                                                     << "_hover";
        QTest::newRow("left") << "enter leave"
                              << "";
        QTest::newRow("disabled") << "disable"
                                  << "_disabled";
        QTest::newRow("disabled while hovered") << "enter disable"
                                                << "_disabled";
        QTest::newRow("disabled ignores the mouse") << "disable enter press"
                                                    << "_disabled";
        QTest::newRow("enabled again") << "disable enable"
                                       << "";
    }

    void pictureForEachState()
    {
        QFETCH(QString, steps);
        QFETCH(QString, suffix);
        ImageButton button(nullptr, QStringLiteral("format_icon"));
        QCOMPARE(button.size(), QSize(36, 36));
        for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (step == QLatin1String("enter"))
                send(button, QEvent::Enter);
            else if (step == QLatin1String("leave"))
                send(button, QEvent::Leave);
            else if (step == QLatin1String("press"))
                QTest::mousePress(&button, Qt::LeftButton);
            else if (step == QLatin1String("rightpress"))
                QTest::mousePress(&button, Qt::RightButton);
            else if (step == QLatin1String("release"))
                QTest::mouseRelease(&button, Qt::LeftButton);
            else
                button.setEnabled(step == QLatin1String("enable"));
        }
        QCOMPARE(shown(button), picture(QStringLiteral("format_icon") + suffix));
    }

    void clicks_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("clicks");
        QTest::newRow("press and release") << "press release" << 1;
        QTest::newRow("release outside the button") << "press releaseoutside" << 1;
        QTest::newRow("leave in between") << "press leave release" << 0;
        QTest::newRow("leave and come back") << "press leave enter release" << 0;
        QTest::newRow("right press") << "rightpress release" << 0;
        QTest::newRow("release alone") << "release" << 0;
        QTest::newRow("one click per press") << "press release release" << 1;
        QTest::newRow("disabled") << "disable press release" << 0;
        QTest::newRow("disabled between press and release") << "press disable enable release" << 0;
    }

    void clicks()
    {
        QFETCH(QString, steps);
        ImageButton button(nullptr, QStringLiteral("back_icon"));
        QSignalSpy spy(&button, &ImageButton::clicked);
        for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (step == QLatin1String("press"))
                QTest::mousePress(&button, Qt::LeftButton);
            else if (step == QLatin1String("rightpress"))
                QTest::mousePress(&button, Qt::RightButton);
            else if (step == QLatin1String("release"))
                QTest::mouseRelease(&button, Qt::LeftButton);
            else if (step == QLatin1String("releaseoutside"))
                QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 200));
            else if (step == QLatin1String("leave"))
                send(button, QEvent::Leave);
            else if (step == QLatin1String("enter"))
                send(button, QEvent::Enter);
            else
                button.setEnabled(step == QLatin1String("enable"));
        }
        QTEST(spy.count(), "clicks");
    }
};

QTEST_MAIN(TestImageButton)
#include "tst_imagebutton.moc"
