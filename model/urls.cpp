#include "model/urls.h"

#include <QRegularExpression>
#include <QUrl>

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

QString webAddressUrl(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(QRegularExpression(QStringLiteral("\\s"))))
        return QString();
    for (const char *scheme : {"http://", "https://", "mailto:"}) {
        const QLatin1String prefix(scheme);
        if (trimmed.startsWith(prefix, Qt::CaseInsensitive) && trimmed.size() > prefix.size()) {
            const QUrl url(trimmed, QUrl::StrictMode);
            const bool complete = prefix == QLatin1String("mailto:") ? !url.path().isEmpty()
                                                                     : !url.host().isEmpty();
            return url.isValid() && complete ? trimmed : QString();
        }
    }
    // "www." and a host of at least two labels, such as "www.example.org/path".
    static const QRegularExpression www(
        QStringLiteral("^www\\.[A-Za-z0-9\\-]+(\\.[A-Za-z0-9\\-]+)+(:\\d+)?([/?#]\\S*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    if (www.match(trimmed).hasMatch())
        return QStringLiteral("http://") + trimmed;
    return QString();
}
