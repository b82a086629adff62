#include "editor/inserttabledialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

InsertTableDialog::InsertTableDialog(QWidget *parent)
    : QDialog(parent)
    , m_rows(new QSpinBox(this))
    , m_columns(new QSpinBox(this))
{
    setObjectName(QStringLiteral("InsertTableDialog"));
    setWindowTitle(tr("Insert Table"));
    m_rows->setObjectName(QStringLiteral("rowsSpinBox"));
    m_columns->setObjectName(QStringLiteral("columnsSpinBox"));
    m_rows->setRange(1, 100);
    m_columns->setRange(1, 20);
    m_rows->setValue(3);
    m_columns->setValue(3);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QFormLayout(this);
    layout->addRow(tr("&Rows:"), m_rows);
    layout->addRow(tr("&Columns:"), m_columns);
    layout->addRow(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

int InsertTableDialog::rows() const
{
    return m_rows->value();
}

int InsertTableDialog::columns() const
{
    return m_columns->value();
}
