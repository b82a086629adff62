#pragma once

#include <QDialog>
#include <QList>

class Page;
class QListWidget;
class QPushButton;
class QTextBrowser;

// A kept version of a wiki, shown read-only: its pages in a list and the chosen one beside it.
// A page's content can be copied out, to be pasted into a page of the open wiki.
class VersionViewer final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VersionViewer)

public:
    VersionViewer(const QString &versionPath, const QString &title, QWidget *parent);
    ~VersionViewer() override;

private:
    void showPage(int row);
    void copyPage();

    QList<Page *> m_pages;
    QListWidget *m_pageList = nullptr;
    QTextBrowser *m_view = nullptr;
    QPushButton *m_copyButton = nullptr;
};
