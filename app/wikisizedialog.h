#pragma once

#include <QDialog>

class WikiDocument;

// File > Wiki Size: how full the wiki is, and its largest pages and pictures, so that the user
// sees what to trim. Double-clicking a row asks for its page to be shown.
class WikiSizeDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WikiSizeDialog)

public:
    WikiSizeDialog(const WikiDocument &wiki, QWidget *parent);

    // The page whose row was double-clicked, once the dialog is closed; empty when none.
    QString chosenPageId() const { return m_chosenPageId; }

private:
    QString m_chosenPageId;
};
