#include "widgets/applicationlook.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QStringList>

namespace Gui {

void installApplicationLook()
{
    QFile styleSheet(QStringLiteral(":/qss/style.qss"));
    if (styleSheet.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromLatin1(styleSheet.readAll()));

    static bool fontsRegistered = false;
    if (fontsRegistered)
        return;
    fontsRegistered = true;
    // A font that cannot be registered is skipped; widgets then fall back to another face.
    const QStringList fonts = {
        QStringLiteral(":/fonts/Montserrat-Regular.ttf"),
        QStringLiteral(":/fonts/Montserrat-Bold.ttf"),
        QStringLiteral(":/fonts/Hero-Light.otf"),
        QStringLiteral(":/fonts/Hero-Regular.otf"),
        QStringLiteral(":/fonts/Roboto-Light.ttf"),
        QStringLiteral(":/fonts/Roboto-Bold.ttf"),
        QStringLiteral(":/fonts/Roboto-Regular.ttf"),
    };
    for (const QString &font : fonts)
        QFontDatabase::addApplicationFont(font);
}

} // namespace Gui
