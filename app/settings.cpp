#include "app/settings.h"

#include <QSettings>

namespace {

const QString recentWikiListKey = QStringLiteral("recent_wiki_list");
const QString lastWindowGeometryKey = QStringLiteral("last_window_geometry");
const QString keepVersionsKey = QStringLiteral("keep_versions");
const QString largePictureChoiceKey = QStringLiteral("large_picture_choice");
const QString startupUpdateCheckKey = QStringLiteral("check_for_updates_at_startup");
const QString sidebarWidthKey = QStringLiteral("sidebar_width");
const int maxRecentWikis = 5;

} // namespace

namespace Settings {

QString readString(const QString &key)
{
    return QSettings().value(key, QString()).toString();
}

QStringList readStringList(const QString &key)
{
    return QSettings().value(key, QStringList()).toStringList();
}

QRect readRect(const QString &key)
{
    return QSettings().value(key, QRect()).toRect();
}

void writeString(const QString &key, const QString &value)
{
    QSettings().setValue(key, value);
}

void writeStringList(const QString &key, const QStringList &value)
{
    QSettings().setValue(key, value);
}

void writeRect(const QString &key, const QRect &value)
{
    QSettings().setValue(key, value);
}

QStringList recentWikiList()
{
    return readStringList(recentWikiListKey);
}

QString mostRecentWiki()
{
    const QStringList list = recentWikiList();
    return list.isEmpty() ? QString() : list.first();
}

void addRecentWiki(const QString &path)
{
    QStringList list = recentWikiList();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > maxRecentWikis)
        list.removeLast();
    writeStringList(recentWikiListKey, list);
}

void removeRecentWiki(const QString &path)
{
    QStringList list = recentWikiList();
    list.removeAll(path);
    writeStringList(recentWikiListKey, list);
}

void clearRecentWikiList()
{
    QSettings().remove(recentWikiListKey);
}

QRect lastWindowGeometry()
{
    return readRect(lastWindowGeometryKey);
}

void setLastWindowGeometry(const QRect &geometry)
{
    writeRect(lastWindowGeometryKey, geometry);
}

bool keepVersions()
{
    return QSettings().value(keepVersionsKey, true).toBool();
}

QString largePictureChoice()
{
    const QString choice = readString(largePictureChoiceKey);
    return choice == QLatin1String("scale") || choice == QLatin1String("keep")
        ? choice
        : QStringLiteral("ask");
}

void setLargePictureChoice(const QString &choice)
{
    writeString(largePictureChoiceKey, choice);
}

bool checkForUpdatesAtStartup()
{
    // Distributions that contact no server without asking build with the check off.
    return QSettings().value(startupUpdateCheckKey, bool(VELMORA_STARTUP_UPDATE_CHECK)).toBool();
}

void setCheckForUpdatesAtStartup(bool check)
{
    QSettings().setValue(startupUpdateCheckKey, check);
}

int sidebarWidth()
{
    return QSettings().value(sidebarWidthKey, 0).toInt();
}

void setSidebarWidth(int width)
{
    QSettings().setValue(sidebarWidthKey, width);
}

} // namespace Settings
