#pragma once

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

class QLineEdit;
class QListWidget;

// The "Go to Page" box: a field over the list of the wiki's page names. Typing filters the
// list (names that start with the text first, then those that contain it); the arrow keys
// move through it, Enter takes the current name and Escape closes the box.
class GoToPageDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GoToPageDialog)

public:
    // pages holds each page's identifier and name, in sidebar order.
    explicit GoToPageDialog(const QList<QPair<QString, QString>> &pages, QWidget *parent = nullptr);

    // The identifier of the page chosen; empty unless the dialog was accepted.
    QString chosenPageId() const { return m_chosenId; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void filter(const QString &text);
    void choose();

    const QList<QPair<QString, QString>> m_pages;
    QString m_chosenId;
    QLineEdit *m_edit = nullptr;
    QListWidget *m_list = nullptr;
};
