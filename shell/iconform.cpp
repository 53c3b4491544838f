// The icon window: shaped by its picture, dragged with the left button, polling for drops.
#include "shell/iconform.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include "services/ArchiveKind.h"
#include "services/JobWindow.h"
#include "services/Session.h"
#include "services/Settings.h"

QImage IconPicture()
{
    // The resources live in a static library: naming them here keeps them linked in.
    Q_INIT_RESOURCE(assets);
    return QImage(QStringLiteral(":/assets/tembrel-icon.bmp")).convertToFormat(QImage::Format_RGB32);
}

iconform::iconform(Session& session)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Tool | Qt::NoDropShadowWindowHint), session_(session)
{
    setObjectName(QStringLiteral("iconform"));
    setWindowTitle(QStringLiteral("tembrel"));
    Picture1 = IconPicture();
    setFixedSize(Picture1.size());
    // The mask shapes the window where the platform takes one (X11); where it does not
    // (Wayland), the key colour's pixels are see-through instead of showing as a magenta box.
    shown_ = WithKeyTransparent(Picture1, Picture1.pixel(0, 0));
    setAttribute(Qt::WA_TranslucentBackground);
    // The icon is never the active window, and its hint must show all the same.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setToolTip(QStringLiteral("ﾌｧｲﾙやﾌｫﾙﾀﾞをﾄﾞﾛｯﾌﾟすると圧縮、書庫をﾄﾞﾛｯﾌﾟすると解凍します。右ｸﾘｯｸでﾒﾆｭｰ"));

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(100);
    connect(Timer2, &QTimer::timeout, this, &iconform::onTimer2);
    Timer2->start();
}

void iconform::load()
{
    applyStacking(session_.options.AlwaysOnTop == 1);
    const QRgb key = Picture1.pixel(0, 0);
    ScanBitmapRuns(IconRuns, key, Picture1);
    IconRegion = BuildIconRegion();
    setMask(IconRegion);
    update();
    setform();
}

QRegion iconform::BuildIconRegion() const
{
    QRegion region;
    for (const IconRun& run : IconRuns)
        AddRectToRegion(region, run.left, run.top, run.right, run.bottom + 1);
    return region;
}

void iconform::setform()
{
    const qint16 left = GetPositionSetting(QStringLiteral("iconleft"), 0);
    const qint16 top = GetPositionSetting(QStringLiteral("icontop"), 0);
    move(left / kTwipsPerPixel, top / kTwipsPerPixel);
    session_.IconDropPending = kClear;
    session_.FreezeDropPending = kClear;
    emit dropReceptionWanted();
}

void iconform::applyStacking(bool onTop)
{
    Qt::WindowFlags flags = windowFlags() & ~(Qt::WindowStaysOnTopHint | Qt::WindowStaysOnBottomHint);
    flags |= onTop ? Qt::WindowStaysOnTopHint : Qt::WindowStaysOnBottomHint;
    if (windowHandle()) {
        // Changing a visible window's flags through QWidget would hide and re-create it; the
        // native window takes the new stacking state in place.
        overrideWindowFlags(flags);
        windowHandle()->setFlags(flags);
        if (!onTop)
            lower();
    } else {
        setWindowFlags(flags);
    }
}

void iconform::removeShape()
{
    clearMask();
}

void iconform::closeEvent(QCloseEvent* event)
{
    // A close from the window manager (Alt+F4 on the icon) ends the program as an unload does;
    // merely hiding the icon would leave a running program that nobody can reach.
    event->ignore();
    emit endWanted();
}

void iconform::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, shown_);
}

void iconform::mousePressEvent(QMouseEvent* event)
{
    if (event->buttons() == Qt::RightButton) {
        emit menuWanted(event->globalPosition().toPoint());
        return;
    }
    if (event->button() == Qt::LeftButton) {
        grabOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        dragging_ = true;
        systemMoveTried_ = false;
    }
}

void iconform::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    // The window manager moves the window as if its title bar were grabbed; without one
    // (startSystemMove refuses) the window follows the mouse itself.
    if (!systemMoveTried_) {
        systemMoveTried_ = true;
        if (windowHandle() && windowHandle()->startSystemMove()) {
            dragging_ = false;
            return;
        }
    }
    move(event->globalPosition().toPoint() - grabOffset_);
}

void iconform::mouseReleaseEvent(QMouseEvent*)
{
    dragging_ = false;
}

void iconform::onTimer2()
{
    Session& session = session_;
    if (session.IconDropPending == kClear)
        return;
    session.IconDropPending = kClear;
    if (RefusedWhileJobRuns(session, this))
        return;

    // The names alone decide: one name that is no archive sends the whole drop to compression.
    bool allArchives = true;
    QStringList names;
    for (int i = 0; i < session.DroppedCount; ++i) {
        if (ArchiveKindOf(session.DroppedFiles[i]) == ArchiveKind::None)
            allArchives = false;
        names << session.DroppedFiles[i];
    }
    if (allArchives)
        emit meltWanted(QuotedList(names));
    else
        emit freezeWanted();
}
