#pragma once

#include <QString>

// The two URL forms that never leave the program: links between pages and links that run
// one of the program's commands. Both prefixes are matched case-sensitively.

extern const char *const pageUrlPrefix;    // "file://velmora/?pageid="
extern const char *const commandUrlPrefix; // "file://velmora/?commandid="

// Command numbers carried by command links.
enum CommandId {
    NewWikiCommand = 0,
    OpenWikiCommand = 1,
    UnlockPageCommand = 2,
    // Opens the most recent wiki, asking for its password: the welcome document offers it
    // when that wiki was not opened at start-up because it is protected.
    OpenLastWikiCommand = 3
};

QString pageUrl(const QString &pageId);
bool isPageUrl(const QString &text);
// The caller has checked isPageUrl(); everything after the prefix is returned as it stands.
QString pageIdFromUrl(const QString &text);

QString commandUrl(int commandId);
bool isCommandUrl(const QString &text);
// -1, which names no command, when the rest of the link is not a decimal number.
int commandIdFromUrl(const QString &text);

// The address a selected text names when it is a web address: "http://", "https://" or
// "mailto:" followed by more, or "www." followed by a host name (given "http://" in front).
// Empty for anything else, a text with white space included.
QString webAddressUrl(const QString &text);
