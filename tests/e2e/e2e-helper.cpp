// A second program for the end-to-end tests: a window that records clicks (to see what passes
// through the icon's holes) or starts a real drag of file URLs (to drop on the icon).
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>
#include <QWidget>

namespace {

class ClickRecorder final : public QWidget {
public:
    explicit ClickRecorder(QString logPath) : logPath_(std::move(logPath))
    {
        setWindowTitle(QStringLiteral("e2e-clicks"));
        setGeometry(QGuiApplication::primaryScreen()->geometry());
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        QFile log(logPath_);
        if (log.open(QIODevice::Append)) {
            const QPoint at = event->globalPosition().toPoint();
            log.write(QStringLiteral("press %1 %2\n").arg(at.x()).arg(at.y()).toUtf8());
        }
    }
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(40, 140, 120)); }

private:
    QString logPath_;
};

class DragSource final : public QWidget {
public:
    explicit DragSource(QStringList paths) : paths_(std::move(paths))
    {
        setWindowTitle(QStringLiteral("e2e-drag"));
        setGeometry(400, 300, 120, 80);
    }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& path : paths_)
            urls << QUrl::fromLocalFile(path);
        data->setUrls(urls);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        drag->exec(Qt::CopyAction);
    }
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(200, 120, 40)); }

private:
    QStringList paths_;
};

}  // namespace

// e2e-helper clicks LOGFILE | e2e-helper drag PATH...
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() >= 3 && arguments[1] == QLatin1String("clicks")) {
        ClickRecorder window(arguments[2]);
        window.show();
        return QApplication::exec();
    }
    if (arguments.size() >= 3 && arguments[1] == QLatin1String("drag")) {
        DragSource window(arguments.mid(2));
        window.show();
        return QApplication::exec();
    }
    qWarning("usage: e2e-helper clicks LOGFILE | e2e-helper drag PATH...");
    return 2;
}
