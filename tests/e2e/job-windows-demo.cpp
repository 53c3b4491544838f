// Shows one of a job's windows with sample contents, for screenshots of what a running job
// shows: `progress`, `password`, `password-again` or `overwrite`.
#include <QApplication>
#include <QDateTime>
#include <QTimer>

#include "services/ProgressWindow.h"
#include "services/QuestionDialogs.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tembrel"));
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("progress");
    if (what == QLatin1String("progress")) {
        ProgressWindow window(QStringLiteral("TEMBREL(解凍中)"));
        window.move(60, 60);
        window.show();
        // Half done after a little more than a second, as a job would be.
        QTimer::singleShot(1200, &window, [&window] {
            window.showState(QStringLiteral("写真 2024.zip"), 2, 3, QStringLiteral("写真 2024/旅行/IMG_0412.JPG"),
                             734003200, 1468006400);
        });
        return app.exec();
    }
    if (what.startsWith(QLatin1String("password"))) {
        PasswordDialog dialog(nullptr, QStringLiteral("給与明細 2024.zip"), what.endsWith(QLatin1String("again")));
        dialog.move(60, 60);
        return dialog.exec();
    }
    Pack::ExistingFile file;
    file.path = QStringLiteral("資料/報告書.docx");
    file.existingSize = 48213;
    file.existingTime = QDateTime(QDate(2024, 4, 2), QTime(9, 15, 3));
    file.newSize = 51877;
    file.newTime = QDateTime(QDate(2024, 5, 21), QTime(17, 42, 40));
    OverwriteDialog dialog(nullptr, QStringLiteral("/home/user/展開"), file);
    dialog.move(60, 60);
    return dialog.exec();
}
