#pragma once

#include <QRect>
#include <QSize>

class QWidget;

// Size of a window that has no stored geometry: three quarters of the screen's available
// width and 70% of its height, but never less than 900 x 600.
QSize defaultWindowSize(const QSize &availableSize);

// Sizes and places the main window before it is first shown: the stored geometry, fitted to
// the screen, when there is a usable one, otherwise the default size on the primary screen, left
// for the window system to place.
void applyStartupGeometry(QWidget *window, const QRect &storedGeometry);

// geometry made to lie inside the available area of its screen (the primary one when no
// screen holds its centre): shrunk to that area, never below minimumSize, and moved in.
QRect fittedGeometry(const QRect &geometry, const QSize &minimumSize);
