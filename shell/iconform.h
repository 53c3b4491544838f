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

class iconform final : public QWidget {
    Q_OBJECT

public:
    iconform();

    // The normal path's set-up: stacking band, shape, picture, then setform().
    void load();
    // Places the window at its saved position and switches its drop reception on.
    void setform();
    // Topmost band when `onTop`, else the bottom of the stacking order.
    void applyStacking(bool onTop);
    // Removes the shape, unloads the other windows and the icon's drop procedure, then itself.
    void unload();

    QRegion BuildIconRegion() const;
    int leftTwips() const { return x() * kTwipsPerPixel; }
    int topTwips() const { return y() * kTwipsPerPixel; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void onTimer2();

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
