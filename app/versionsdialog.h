#pragma once

#include "model/wikiversions.h"

#include <QDialog>

class QPushButton;
class QTreeWidget;

// File > Restore From Backup: the kept versions of the open wiki with their date, time and
// size. One can be looked at read-only, or chosen for restoring.
class VersionsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VersionsDialog)

public:
    VersionsDialog(const QVector<WikiVersion> &versions, QWidget *parent);

    // The version to put back, once exec() returned Accepted.
    QString chosenVersion() const { return m_chosen; }

private:
    QString selectedPath() const;
    void viewSelected();

    QTreeWidget *m_list = nullptr;
    QPushButton *m_viewButton = nullptr;
    QPushButton *m_restoreButton = nullptr;
    QString m_chosen;
};
