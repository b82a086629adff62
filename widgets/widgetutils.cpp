#include "widgets/widgetutils.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

namespace Gui {

void showErrorMessage(const QString &message, QWidget *parent)
{
    QMessageBox::critical(parent, QObject::tr("Error"), message, QMessageBox::Ok);
}

void showInfoMessage(const QString &title, const QString &text, QWidget *parent)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::NoButton, parent,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.addButton(QObject::tr("OK"), QMessageBox::AcceptRole);
    box.exec();
}

int runMessageBox(QMessageBox::Icon icon, const QString &title, const QString &text,
    const QList<MessageBoxButton> &buttons, QWidget *parent, Qt::WindowType windowType)
{
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    const Qt::WindowFlags cleared = Qt::WindowContextHelpButtonHint | Qt::WindowType_Mask;
    box.setWindowFlags((box.windowFlags() & ~cleared) | windowType);
    QList<QAbstractButton *> added;
    for (const MessageBoxButton &button : buttons)
        added << box.addButton(button.text, button.role);
    box.exec();
    return added.indexOf(box.clickedButton());
}

QString askForText(const QString &title, const QString &label, QWidget *parent, const QString &text)
{
    // The dialog selects the text it starts with, so typing replaces it.
    return QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, nullptr,
        Qt::WindowTitleHint | Qt::WindowSystemMenuHint)
        .trimmed();
}

QString askForSaveFileName(
    const QString &caption, const QString &filter, const QString &extension, QWidget *parent)
{
    QString name = QFileDialog::getSaveFileName(parent, caption, QDir::homePath(), filter);
    if (name.isEmpty())
        return name;
    if (!name.endsWith(extension, Qt::CaseInsensitive))
        name += extension;
    // Left as it is: an export replaces the file whole once it is written, so a failed export
    // never leaves it emptied. New Wiki empties its file itself.
    return name;
}

QString askForDirectory(QWidget *parent)
{
    return QFileDialog::getExistingDirectory(parent, QString(), QDir::homePath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

qreal mainWindowDevicePixelRatio()
{
    const QWidgetList topLevels = QApplication::topLevelWidgets();
    for (QWidget *widget : topLevels) {
        if (qobject_cast<QMainWindow *>(widget)) {
            // Before the window is shown it has no native window of its own yet.
            if (const QWindow *window = widget->windowHandle())
                return window->devicePixelRatio();
            return widget->devicePixelRatioF();
        }
    }
    return qApp ? qApp->devicePixelRatio() : 1.0;
}

QString imageResourcePath(const QString &name, const QString &extension, bool highDensity,
                          qreal devicePixelRatio)
{
    const bool useDouble = highDensity && devicePixelRatio > 1.0;
    return QStringLiteral(":/images/%1%2.%3")
        .arg(name, useDouble ? QStringLiteral("@2x") : QString(), extension);
}

QString imageResourcePath(const QString &name, const QString &extension, bool highDensity)
{
    return imageResourcePath(name, extension, highDensity,
                             highDensity ? mainWindowDevicePixelRatio() : 1.0);
}

QSize logicalPixmapSize(const QPixmap &pixmap, qreal devicePixelRatio)
{
    const QSize size = pixmap.size();
    if (devicePixelRatio > 1.0)
        return QSize(size.width() / 2, size.height() / 2);
    return size;
}

QSize logicalPixmapSize(const QPixmap &pixmap)
{
    return logicalPixmapSize(pixmap, mainWindowDevicePixelRatio());
}

QVBoxLayout *makeVBoxLayout(QWidget *parent)
{
    auto *layout = new QVBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

QHBoxLayout *makeHBoxLayout(QWidget *parent)
{
    auto *layout = new QHBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

int labelTextWidth(const QLabel *label)
{
    return QFontMetrics(label->font()).boundingRect(label->text()).width();
}

void elideLabel(QLabel *label, int margin)
{
    const int width = label->width() - margin;
    if (width > labelTextWidth(label))
        return;
    label->setText(QFontMetrics(label->font()).elidedText(label->text(), Qt::ElideRight, width));
}

void fitHeightToWidth(QWidget *widget, int width)
{
    widget->setFixedSize(width, qMax(widget->height(), widget->heightForWidth(width)));
}

} // namespace Gui
