#include "app/widgetutils.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWindow>

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
