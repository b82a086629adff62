#include "app/mainwindow.h"
#include "testing.h"
#include "widgets/applicationlook.h"
#include "widgets/widgetutils.h"

#include <QDir>
#include <QFontInfo>
#include <QImage>

// What the program ships inside itself: every picture at both densities, and the fonts.
class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void picturesAtBothDensities()
    {
        const QStringList names = QDir(QStringLiteral(":/images")).entryList({"*.png"});
        QVERIFY(names.size() > 30);
        for (const QString &name : names) {
            if (name.endsWith(QLatin1String("@2x.png")))
                continue;
            const QImage normal(":/images/" + name);
            const QImage doubled(":/images/" + name.chopped(4) + "@2x.png");
            QVERIFY2(!normal.isNull() && !doubled.isNull(), qPrintable(name));
            QCOMPARE(doubled.size(), normal.size() * 2);
        }
    }

    // The face drawn, not the one asked for: the shipped fonts must have been registered.
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
        Gui::installApplicationLook();
        QTEST(QFontInfo(QFont(family, 12)).family(), "resolved");
    }
};

VELMORA_TEST_MAIN(TestResources)
#include "tst_resources.moc"
