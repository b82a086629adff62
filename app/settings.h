#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

// The settings the program keeps between runs: the recently opened wikis, the main
// window's last normal geometry and whether it checks for updates at start-up. Each
// function opens its own QSettings, does one read or
// one write and closes it again, so every write has reached the store when it returns.
namespace Settings {

QString readString(const QString &key);
QStringList readStringList(const QString &key);
QRect readRect(const QString &key);
void writeString(const QString &key, const QString &value);
void writeStringList(const QString &key, const QStringList &value);
void writeRect(const QString &key, const QRect &value);

// Paths are kept exactly as given, newest first, at most five, no two equal.
QStringList recentWikiList();
QString mostRecentWiki();
void addRecentWiki(const QString &path);
void removeRecentWiki(const QString &path);
void clearRecentWikiList();

// The null rectangle when nothing is stored.
QRect lastWindowGeometry();
void setLastWindowGeometry(const QRect &geometry);

// Whether earlier versions of each wiki are kept in the application's data folder; on unless
// "keep_versions" is set to false.
bool keepVersions();
// What to do with a large picture: "ask" (the default), "scale" or "keep".
QString largePictureChoice();
void setLargePictureChoice(const QString &choice);
// Whether the window asks for a newer release when it starts; the build decides the default.
bool checkForUpdatesAtStartup();
void setCheckForUpdatesAtStartup(bool check);
// The width the user last dragged the sidebar to; 0 when never.
int sidebarWidth();
void setSidebarWidth(int width);

} // namespace Settings
