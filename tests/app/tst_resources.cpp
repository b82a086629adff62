#include "app/mainwindow.h"
#include "widgets/applicationlook.h"
#include "app/updatechecker.h"

#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QtTest>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The start-up update check goes to a closed port on this machine, never to the web.
        UpdateChecker::setDefaultServerUrl(QUrl(QStringLiteral("http://127.0.0.1:9")));
    }

    void filesArePresent_data()
    {
        QTest::addColumn<QString>("path");
        const QStringList files = {
            "qss/style.qss",
            "css/style.css",
            "css/jquery-ui.override.css",
            "js/velmora.js",
            "js/search.js",
            "js/searchrunner.js",
            "js/jquery.min.js",
            "js/jquery-ui-1.12.1/jquery-ui.min.js",
            "js/jquery-ui-1.12.1/jquery-ui.min.css",
            "fonts/Montserrat-Regular.ttf",
            "fonts/Montserrat-Bold.ttf",
            "fonts/Hero-Light.otf",
            "fonts/Hero-Regular.otf",
            "fonts/Roboto-Light.ttf",
            "fonts/Roboto-Bold.ttf",
            "fonts/Roboto-Regular.ttf",
        };
        for (const QString &file : files)
            QTest::newRow(qPrintable(file)) << QStringLiteral(":/") + file;
    }

    void filesArePresent()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        QVERIFY(file.size() > 0);
    }

    void picturesAtBothDensities_data()
    {
        QTest::addColumn<QString>("name");
        QStringList names;
        for (const char *button :
             {"back_icon", "forward_icon", "format_icon", "link_unlink_icon", "delete_page_icon"}) {
            for (const char *state : {"", "_hover", "_pressed", "_disabled"})
                names << QString::fromLatin1(button) + QString::fromLatin1(state);
        }
        names << "new_page_icon" << "new_page_icon_hover" << "new_page_icon_pressed"
              << "pages_logo" << "pages_logo_bottom_border" << "page_icon" << "home_icon"
              << "folder_collapsed_icon" << "folder_expanded_icon" << "search" << "hide"
              << "logo";
        for (const QString &name : qAsConst(names))
            QTest::newRow(qPrintable(name)) << name;
    }

    void picturesAtBothDensities()
    {
        QFETCH(QString, name);
        const QImage normal(QStringLiteral(":/images/%1.png").arg(name));
        const QImage doubled(QStringLiteral(":/images/%1@2x.png").arg(name));
        QVERIFY2(!normal.isNull(), qPrintable(name));
        QVERIFY2(!doubled.isNull(), qPrintable(name + "@2x"));
        QCOMPARE(doubled.size(), normal.size() * 2);
    }

    void toolbarButtonsAre36Pixels()
    {
        QCOMPARE(QImage(":/images/back_icon.png").size(), QSize(36, 36));
        QCOMPARE(QImage(":/images/delete_page_icon_disabled@2x.png").size(), QSize(72, 72));
        QCOMPARE(QImage(":/images/pages_logo.png").size(), QSize(68, 60));
    }

    void familiesResolveToShippedFonts_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("resolved");
        QTest::newRow("Montserrat") << "Montserrat" << "Montserrat";
        QTest::newRow("Roboto Regular") << "Roboto Regular" << "Roboto";
        QTest::newRow("Hero") << "Hero" << "Hero";
    }

    void familiesResolveToShippedFonts()
    {
        QFETCH(QString, family);
        QFETCH(QString, resolved);
        Gui::installApplicationLook();
        const QFontInfo info(QFont(family, 12));
        QCOMPARE(info.family(), resolved);
    }

    void styleSheetIsInstalled()
    {
        MainWindow window;
        QVERIFY(qApp->styleSheet().contains(QStringLiteral("#a2adb6")));
        QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
