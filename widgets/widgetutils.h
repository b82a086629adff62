#pragma once

#include <QList>
#include <QMessageBox>
#include <QSize>
#include <QString>

class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QPixmap;
class QVBoxLayout;
class QWidget;

// Small helpers shared by the program's windows and panels.
namespace Gui {

// A critical message box titled "Error" with one OK button.
void showErrorMessage(const QString &message, QWidget *parent);
// A fixed-size information box with one "OK" button, run modally.
void showInfoMessage(const QString &title, const QString &text, QWidget *parent);

// One button of a message box built with its own buttons: its text and its role.
struct MessageBoxButton
{
    QString text;
    QMessageBox::ButtonRole role;
};
// Runs a modal message box of that icon with only the given buttons and no help button, and
// returns the index of the button that closed it; -1 when it was closed another way.
int runMessageBox(QMessageBox::Icon icon, const QString &title, const QString &text,
    const QList<MessageBoxButton> &buttons, QWidget *parent,
    Qt::WindowType windowType = Qt::Dialog);

// A line of text asked for in a small dialog with title and label, trimmed; empty when
// cancelled. The field starts with text, selected.
QString askForText(
    const QString &title, const QString &label, QWidget *parent, const QString &text = QString());
// A file name to save to, chosen in the home folder; extension (".html") is added when the
// name lacks it. Empty when cancelled.
QString askForSaveFileName(
    const QString &caption, const QString &filter, const QString &extension, QWidget *parent);
// An existing folder, chosen starting in the home folder; empty when cancelled.
QString askForDirectory(QWidget *parent);

// ":/images/<name>.<extension>", with "@2x" before the dot when highDensity is set and the
// main window is shown at a device pixel ratio above 1.
QString imageResourcePath(const QString &name, const QString &extension, bool highDensity);
QString imageResourcePath(const QString &name, const QString &extension, bool highDensity,
                          qreal devicePixelRatio);
// The size to lay a picture out at: halved when the main window's pixel ratio is above 1,
// since the picture is then the "@2x" form.
QSize logicalPixmapSize(const QPixmap &pixmap);
QSize logicalPixmapSize(const QPixmap &pixmap, qreal devicePixelRatio);
// The device pixel ratio of the main window, or of the application when there is none.
qreal mainWindowDevicePixelRatio();

// Box layouts on parent with no margins and no spacing.
QVBoxLayout *makeVBoxLayout(QWidget *parent);
QHBoxLayout *makeHBoxLayout(QWidget *parent);

// Width of the label's text in the label's font.
int labelTextWidth(const QLabel *label);
// Cuts the label's text with an ellipsis on the right when it does not fit in the label's
// width less margin. The label's current text is used, so it is never widened again.
void elideLabel(QLabel *label, int margin);

// Fixes the widget at this width, as tall as its content needs there: a longer message makes
// it grow downwards, never wider.
void fitHeightToWidth(QWidget *widget, int width);

} // namespace Gui
