// Run scanning and the icon's shape, on synthetic pictures and on the real asset.
#include <QRegion>

#include "services/Session.h"
#include "shell/Region.h"
#include "shell/iconform.h"
#include "support/TestMain.h"

namespace {

constexpr QRgb kKey = qRgb(255, 0, 128);

QImage keyImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kKey);
    return image;
}

QVector<IconRun> runsOf(const QImage& image)
{
    QVector<IconRun> runs;
    ScanBitmapRuns(runs, image.pixel(0, 0), image);
    return runs;
}

}  // namespace

class RegionTest : public QObject {
    Q_OBJECT

private slots:
    void rowShapes()
    {
        QImage image = keyImage(8, 4);
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, 1, qRgb(0, 0, 0));  // row 1 fully opaque
        image.setPixel(7, 2, qRgb(1, 2, 3));      // row 2: last pixel opaque
        image.setPixel(3, 3, qRgb(9, 9, 9));      // row 3: one pixel, then a run to the end
        image.setPixel(5, 3, qRgb(9, 9, 9));
        image.setPixel(6, 3, qRgb(9, 9, 9));
        image.setPixel(7, 3, qRgb(9, 9, 9));
        image.setPixel(0, 0, kKey);
        QVector<IconRun> runs;
        ScanBitmapRuns(runs, kKey, image);
        const QVector<IconRun> expected = {{0, 1, 8, 1}, {7, 2, 8, 2}, {3, 3, 4, 3}, {5, 3, 8, 3}};
        QCOMPARE(runs, expected);
    }

    void nearKeyColoursAreOpaque()
    {
        QImage image = keyImage(4, 3);
        image.setPixel(1, 0, qRgb(254, 0, 128));
        image.setPixel(2, 1, qRgb(255, 1, 128));
        image.setPixel(3, 2, qRgb(255, 0, 127));
        const QVector<IconRun> expected = {{1, 0, 2, 0}, {2, 1, 3, 1}, {3, 2, 4, 2}};
        QCOMPARE(runsOf(image), expected);
    }

    void anAllKeyPictureHasNoRuns() { QVERIFY(runsOf(keyImage(5, 5)).isEmpty()); }

    void aRectangleCoversItsRowOnly()
    {
        QRegion region;
        AddRectToRegion(region, 3, 7, 4, 8);
        QCOMPARE(region, QRegion(3, 7, 1, 1));
        AddRectToRegion(region, 0, 0, 2, 1);
        QCOMPARE(region.rectCount(), 2);
    }

    void theAssetHasItsRowStructure()
    {
        const QImage picture = IconPicture();
        QCOMPARE(picture.size(), QSize(62, 45));
        QCOMPARE(picture.pixel(0, 0) & 0xFFFFFF, kKey & 0xFFFFFF);
        const QVector<IconRun> runs = runsOf(picture);
        QVector<int> perRow(45, 0);
        for (const IconRun& run : runs) {
            QCOMPARE(run.top, run.bottom);
            QVERIFY(run.left < run.right);
            ++perRow[run.top];
        }
        for (int y = 0; y < 45; ++y) {
            const int expected = (y <= 3 || (y >= 29 && y <= 31)) ? 0 : (y == 27 || y == 28) ? 2 : 1;
            QVERIFY2(perRow[y] == expected, qPrintable(QString("row %1 has %2 runs").arg(y).arg(perRow[y])));
        }
        for (const IconRun& run : runs) {
            if (run.top >= 32)
                QCOMPARE(run, (IconRun{0, run.top, 62, run.top}));
        }
    }

    void theIconRegionIsExactlyTheOpaquePixels()
    {
        Session session;
        iconform icon(session);
        icon.load();
        const QRegion region = icon.mask();
        const QImage picture = IconPicture();
        const QRgb key = picture.pixel(0, 0);
        const QImage shown = WithKeyTransparent(picture, key);
        for (int y = 0; y < 45; ++y)
            for (int x = 0; x < 62; ++x) {
                QCOMPARE(region.contains(QPoint(x, y)), (picture.pixel(x, y) & 0xFFFFFF) != (key & 0xFFFFFF));
                // Painted see-through exactly where the mask has its holes, the rest unchanged.
                QCOMPARE(shown.pixel(x, y), region.contains(QPoint(x, y)) ? picture.pixel(x, y) : QRgb(0));
            }
        QVERIFY(!region.contains(QPoint(0, 0)));
        QVERIFY(region.boundingRect().bottom() == 44);
    }
};

TEMBREL_TEST_MAIN(RegionTest)
#include "tst_region.moc"
