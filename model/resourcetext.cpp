#include "model/resourcetext.h"

#include <QFile>

QString readResourceText(const QString &name)
{
    QFile file(QStringLiteral(":/%1").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray data = file.readAll();
    // Taken up to the first zero byte, as a C string would be.
    const int end = data.indexOf('\0');
    return QString::fromLatin1(end < 0 ? data : data.left(end));
}
