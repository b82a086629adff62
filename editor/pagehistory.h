#pragma once

#include <QString>
#include <QStringList>

// The pages the user has visited, oldest first, with a position that back and forward move.
// "-1" stands for "no entry" in the identifiers it returns: no page has that identifier.
class PageHistory
{
public:
    QString currentId() const;
    QString previousId() const;
    QString nextId() const;

    bool canGoBack() const;
    bool canGoForward() const;
    void back();
    void forward();

    // Records a visit: the forward part of the history is dropped and id becomes current.
    // Showing the current page again adds nothing.
    void push(const QString &id);
    // Forgets a deleted page. The position stays on the same visit where it can, moves to
    // the one before where the current visit was the page itself, and repeated neighbours
    // that the removal leaves behind are merged into one entry.
    void remove(const QString &id);

private:
    QStringList ids;
    int index = -1;
};
