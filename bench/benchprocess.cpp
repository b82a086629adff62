#include "benchprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <unistd.h>

Memory memoryOf(const QString &pid)
{
    Memory memory;
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return memory;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        if (fields[0] == "Rss:")
            memory.rss = fields[1].toLongLong();
        else if (fields[0] == "Pss:")
            memory.pss = fields[1].toLongLong();
    }
    return memory;
}

qint64 msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // Field 22 of the file, the start time in clock ticks after boot.
    const double started = fields.value(19).toDouble() / sysconf(_SC_CLK_TCK);
    const double now = uptime.readAll().split(' ').value(0).toDouble();
    return qRound64((now - started) * 1000);
}

// The kind of an engine process, from its --type switch. A zygote's forks keep its command line:
QString processType(const QString &pid, const QString &parent)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    QString type = QStringLiteral("?");
    for (const QByteArray &argument : file.readAll().split('\0')) {
        if (argument.startsWith("--type="))
            type = QString::fromLatin1(argument.mid(7));
        else if (argument.startsWith("--utility-sub-type="))
            return QString::fromLatin1(argument.mid(19));
    }
    return type == QLatin1String("zygote") && parent != QString::number(QCoreApplication::applicationPid())
        ? QStringLiteral("forked by a zygote (renderer)")
        : type;
}

QStringList descendants(const QString &pid)
{
    QStringList found;
    const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &candidate : all) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(candidate));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // The fields after the command name, which is in parentheses and may hold spaces.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == pid.toLatin1())
            found << candidate + QLatin1Char(':') + pid << descendants(candidate);
    }
    return found;
}

Memory memoryWithDescendants()
{
    const QString self = QString::number(QCoreApplication::applicationPid());
    Memory all = memoryOf(self);
    for (const QString &entry : descendants(self)) {
        const Memory memory = memoryOf(entry.section(QLatin1Char(':'), 0, 0));
        all.rss += memory.rss;
        all.pss += memory.pss;
    }
    return all;
}
