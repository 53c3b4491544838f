// The shape of a window from a bitmap: runs of non-key pixels united into a region.
#pragma once

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QVector>

// One horizontal run of opaque pixels in row `top` (== `bottom`), columns left to right - 1.
struct IconRun {
    qint32 left = 0;
    qint32 top = 0;
    qint32 right = 0;
    qint32 bottom = 0;
    friend bool operator==(const IconRun&, const IconRun&) = default;
};

// Fills `runs` in scan order (row by row, left to right) with the runs of pixels whose colour
// differs from `key` in any of red, green or blue. Runs never continue into the next row.
void ScanBitmapRuns(QVector<IconRun>& runs, QRgb key, const QImage& picture);

// The picture in ARGB with the pixels of the key colour (red, green and blue alike) fully
// transparent and every other pixel opaque: the shape for platforms that take no mask.
QImage WithKeyTransparent(const QImage& picture, QRgb key);

// Unites the rectangle (right and bottom exclusive) into `region`.
void AddRectToRegion(QRegion& region, int left, int top, int right, int bottom);
