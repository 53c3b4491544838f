// The desktop icon: a frameless window with the outline of its picture, home of the program.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QVector>
#include <QWidget>

#include "services/Twips.h"
#include "shell/Region.h"

class QTimer;
class Session;

class iconform final : public QWidget {
    Q_OBJECT

public:
    explicit iconform(Session& session);

    // The normal path's set-up: stacking band, shape, picture, then setform().
    void load();
    // Places the window at its saved position and asks for its drop reception.
    void setform();
    // Topmost band when `onTop`, else the bottom of the stacking order.
    void applyStacking(bool onTop);
    // The first step of the icon's unload: its shape goes.
    void removeShape();

    QRegion BuildIconRegion() const;
    int leftTwips() const { return x() * kTwipsPerPixel; }
    int topTwips() const { return y() * kTwipsPerPixel; }

signals:
    // The icon is to take drops again.
    void dropReceptionWanted();
    // A drop on the icon, handed on at the timer's tick: archives only (their quoted list) for
    // the extraction window, anything else for the compression window.
    void meltWanted(const QString& archives);
    void freezeWanted();
    // The right button: the popup menu at `globalPosition`.
    void menuWanted(const QPoint& globalPosition);
    // A close from the window manager: the program is to end.
    void endWanted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void onTimer2();

    Session& session_;
    QImage Picture1;
    QVector<IconRun> IconRuns;
    QRegion IconRegion;
    QTimer* Timer2 = nullptr;  // hands a drop on the icon to a job window

    QImage shown_;  // Picture1 with the key colour transparent
    QPoint grabOffset_;
    bool dragging_ = false;
    bool systemMoveTried_ = false;
};

// The picture shipped with the program (62 x 45, key colour at pixel 0, 0).
QImage IconPicture();
