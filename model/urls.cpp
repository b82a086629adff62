#include "model/urls.h"

const char *const pageUrlPrefix = "file://velmora/?pageid=";
const char *const commandUrlPrefix = "file://velmora/?commandid=";

QString pageUrl(const QString &pageId)
{
    return QStringLiteral("%1%2").arg(QLatin1String(pageUrlPrefix), pageId);
}

bool isPageUrl(const QString &text)
{
    return text.startsWith(QLatin1String(pageUrlPrefix), Qt::CaseSensitive);
}

QString pageIdFromUrl(const QString &text)
{
    return text.mid(int(qstrlen(pageUrlPrefix)));
}

QString commandUrl(int commandId)
{
    return QStringLiteral("%1%2").arg(QLatin1String(commandUrlPrefix)).arg(commandId);
}

bool isCommandUrl(const QString &text)
{
    return text.startsWith(QLatin1String(commandUrlPrefix), Qt::CaseSensitive);
}

int commandIdFromUrl(const QString &text)
{
    bool ok = false;
    const int id = text.mid(int(qstrlen(commandUrlPrefix))).toInt(&ok, 10);
    return ok ? id : -1;
}
