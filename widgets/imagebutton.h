#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

// A button drawn entirely from pictures: one each for its normal, hover, pressed and disabled
// states, taken from the resource images "<name>", "<name>_hover", "<name>_pressed" and
// "<name>_disabled".
class ImageButton final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImageButton)

public:
    enum State { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };

    ImageButton(QWidget *parent, const QString &imageName);

signals:
    // A left press on the button followed by a release, with the pointer not leaving or
    // entering the button in between. Where the release happens does not matter.
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setState(State newState);

    State state = Normal;
    QString imageName;
    QPixmap pixmaps[4];
    bool pressedInside = false;
};
