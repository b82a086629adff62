#include "app/startupgeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QSize defaultWindowSize(const QSize &availableSize)
{
    // The factors are single-precision constants multiplied in double precision and cut
    // toward zero: 0.7f is slightly below 0.7, so an available height of 1040 gives 727.
    const double widthFactor = 0.75f;
    const double heightFactor = 0.7f;
    const int width = std::max(900, int(availableSize.width() * widthFactor));
    const int height = std::max(600, int(availableSize.height() * heightFactor));
    return QSize(width, height);
}

void applyStartupGeometry(QWidget *window, const QRect &storedGeometry)
{
    if (storedGeometry.width() < 1 || storedGeometry.height() < 1) {
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QSize available = screen ? screen->availableGeometry().size() : QSize();
        window->resize(defaultWindowSize(available));
        return;
    }
    const QRect fitted = fittedGeometry(storedGeometry, window->minimumSize());
    window->resize(fitted.size());
    window->move(fitted.topLeft());
}

QRect fittedGeometry(const QRect &geometry, const QSize &minimumSize)
{
    // The screen the window was on, or the primary one when that screen is gone; a geometry
    // stored at another scale or on a larger screen must not open partly out of reach.
    const QScreen *screen = QGuiApplication::screenAt(geometry.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return geometry;
    const QRect available = screen->availableGeometry();
    const QSize size = geometry.size()
                           .boundedTo(available.size())
                           .expandedTo(minimumSize.boundedTo(available.size()));
    const int x = qBound(available.left(), geometry.left(), available.right() + 1 - size.width());
    const int y = qBound(available.top(), geometry.top(), available.bottom() + 1 - size.height());
    return QRect(QPoint(x, y), size);
}
