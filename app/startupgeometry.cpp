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
    window->resize(storedGeometry.size());
    window->move(storedGeometry.topLeft());
}
