// Run scanning and region building for shaped windows.
#include "shell/Region.h"

namespace {

bool sameColour(QRgb a, QRgb b)
{
    return qRed(a) == qRed(b) && qGreen(a) == qGreen(b) && qBlue(a) == qBlue(b);
}

}  // namespace

void ScanBitmapRuns(QVector<IconRun>& runs, QRgb key, const QImage& picture)
{
    runs.clear();
    const int width = picture.width();
    const int height = picture.height();
    for (int y = 0; y < height; ++y) {
        bool open = false;
        for (int x = 0; x < width; ++x) {
            const bool isKey = sameColour(picture.pixel(x, y), key);
            if (!isKey && !open) {
                runs.append(IconRun{x, y, 0, 0});
                open = true;
            }
            if (isKey && open) {
                runs.last().right = x;
                runs.last().bottom = y;
                open = false;
            }
        }
        if (open) {
            runs.last().right = width;
            runs.last().bottom = y;
        }
    }
}

void AddRectToRegion(QRegion& region, int left, int top, int right, int bottom)
{
    region += QRegion(left, top, right - left, bottom - top);
}

QImage WithKeyTransparent(const QImage& picture, QRgb key)
{
    QImage shown = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < shown.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shown.scanLine(y));
        for (int x = 0; x < shown.width(); ++x)
            line[x] = (line[x] & 0xFFFFFF) == (key & 0xFFFFFF) ? 0 : (line[x] | 0xFF000000u);
    }
    return shown;
}
