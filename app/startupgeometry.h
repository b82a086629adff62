#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// Size of a window that has no stored geometry: three quarters of the screen's available
// width and 70% of its height, but never less than 900 x 600.
QSize defaultWindowSize(const QSize &availableSize);

// Sizes and places the main window before it is first shown: the stored geometry when
// there is a usable one, otherwise the default size on the primary screen, left for the
// window system to place.
void applyStartupGeometry(QWidget *window, const QRect &storedGeometry);
