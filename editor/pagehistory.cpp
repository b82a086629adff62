#include "editor/pagehistory.h"

namespace {
const QString noEntry = QStringLiteral("-1");
}

QString PageHistory::currentId() const
{
    return index == -1 ? noEntry : ids.at(index);
}

QString PageHistory::previousId() const
{
    return index < 1 ? noEntry : ids.at(index - 1);
}

QString PageHistory::nextId() const
{
    return index >= ids.size() - 1 ? noEntry : ids.at(index + 1);
}

bool PageHistory::canGoBack() const
{
    return index > 0;
}

bool PageHistory::canGoForward() const
{
    return index < ids.size() - 1;
}

void PageHistory::back()
{
    if (canGoBack())
        --index;
}

void PageHistory::forward()
{
    if (canGoForward())
        ++index;
}

void PageHistory::push(const QString &id)
{
    if (index != -1 && currentId() == id)
        return;
    ids.erase(ids.begin() + index + 1, ids.end());
    ids.append(id);
    ++index;
}

void PageHistory::remove(const QString &id)
{
    // Entries at or before the position shift it back by one each as they go.
    for (int i = ids.size() - 1; i >= 0; --i) {
        if (ids.at(i) != id)
            continue;
        ids.removeAt(i);
        if (i <= index)
            --index;
    }
    // Removing B from A, B, A leaves A, A: two visits in a row to one page are one visit.
    for (int i = ids.size() - 1; i >= 1; --i) {
        if (ids.at(i) != ids.at(i - 1))
            continue;
        ids.removeAt(i);
        if (i <= index)
            --index;
    }
}
