#pragma once

#include <QDialog>

// The About box: the program's name, version, web site and support address, and the button
// that asks for a newer release. It ends with accept when that button was pressed.
class AboutDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutDialog)

public:
    explicit AboutDialog(QWidget *parent = nullptr);
};
