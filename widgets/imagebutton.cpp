#include "widgets/imagebutton.h"

#include "widgets/widgetutils.h"

#include <QMouseEvent>
#include <QPainter>

ImageButton::ImageButton(QWidget *parent, const QString &imageName)
    : QWidget(parent)
    , imageName(imageName)
{
    const QString suffixes[4] = {QString(), QStringLiteral("_hover"), QStringLiteral("_pressed"),
        QStringLiteral("_disabled")};
    for (int i = 0; i < 4; ++i)
        pixmaps[i].load(
            Gui::imageResourcePath(imageName + suffixes[i], QStringLiteral("png"), true));

    setObjectName(QStringLiteral("ImageButton_") + imageName);
    setStyleSheet(QStringLiteral("#ImageButton_%1 { background: transparent; }").arg(imageName));
    setAttribute(Qt::WA_MouseTracking);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(Gui::logicalPixmapSize(pixmaps[Normal]));
    // A button made inside a disabled parent never sees an enabled-state change.
    if (!isEnabled())
        state = Disabled;
}

void ImageButton::setState(State newState)
{
    state = newState;
    repaint();
}

void ImageButton::mousePressEvent(QMouseEvent *event)
{
    if (isEnabled() && event->button() == Qt::LeftButton) {
        setState(Pressed);
        pressedInside = true;
    }
    QWidget::mousePressEvent(event);
}

void ImageButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (isEnabled()) {
        setState(Hover);
        if (pressedInside) {
            pressedInside = false;
            emit clicked();
        }
    }
    QWidget::mouseReleaseEvent(event);
}

void ImageButton::enterEvent(QEnterEvent *event)
{
    if (isEnabled()) {
        setState(Hover);
        pressedInside = false;
    }
    QWidget::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent *event)
{
    if (isEnabled()) {
        setState(Normal);
        pressedInside = false;
    }
    QWidget::leaveEvent(event);
}

void ImageButton::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.save();
    // The picture may be the double-density one; scaling smoothly keeps its edges clean when
    // it is drawn at the widget's logical size.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), pixmaps[state]);
    painter.restore();
    QWidget::paintEvent(event);
}

void ImageButton::changeEvent(QEvent *event)
{
    // Handled while disabled too: this is how the button leaves its disabled picture.
    if (event->type() == QEvent::EnabledChange) {
        pressedInside = false;
        setState(isEnabled() ? Normal : Disabled);
    }
    QWidget::changeEvent(event);
}
