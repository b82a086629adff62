#pragma once

#include <QDialog>

class QSpinBox;

// Asks for the number of rows and columns of a table to insert into a page.
class InsertTableDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InsertTableDialog)

public:
    explicit InsertTableDialog(QWidget *parent = nullptr);

    int rows() const;
    int columns() const;

private:
    QSpinBox *const m_rows;
    QSpinBox *const m_columns;
};
