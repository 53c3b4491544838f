// The real desktop: Qt's dialogs, message boxes, beep, sound effect and freedesktop trash.
#include <QApplication>
#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "services/Desktop.h"
#include "services/QuestionDialogs.h"

namespace {

QString titleOr(const QString& title)
{
    return title.isEmpty() ? QApplication::applicationName() : title;
}

class QtDesktop final : public Desktop {
public:
    void beep() override { QApplication::beep(); }

    void playSound(const QString& path) override
    {
        playSoundThen(path, [] {});
    }

    void playSoundThen(const QString& path, std::function<void()> done) override
    {
        // With no audio device QSoundEffect claims to play forever; never start it then.
        if (path.isEmpty() || !QFile::exists(path) || QMediaDevices::audioOutputs().isEmpty()) {
            done();
            return;
        }
        auto* effect = new QSoundEffect(qApp);
        auto over = std::make_shared<std::function<void()>>(std::move(done));
        const auto finish = [effect, over] {
            if (*over)
                std::exchange(*over, nullptr)();
            effect->deleteLater();
        };
        QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect, finish] {
            if (!effect->isPlaying())
                finish();
        });
        QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect, finish] {
            if (effect->status() == QSoundEffect::Error)
                finish();
        });
        // A sound that never reports its end does not keep the caller waiting for long.
        QTimer::singleShot(10000, effect, finish);
        effect->setSource(QUrl::fromLocalFile(path));
        effect->play();
    }

    void showMessage(QWidget* parent, const QString& text, const QString& title, const QString& detail) override
    {
        QMessageBox box(QMessageBox::NoIcon, titleOr(title), text, QMessageBox::Ok, parent);
        box.setEscapeButton(QMessageBox::Ok);
        if (!detail.isEmpty())
            box.setDetailedText(detail);
        box.exec();
    }

    void showFinished(QWidget* parent, const QString& text, const QString& title, const QString& folder) override
    {
        QMessageBox box(QMessageBox::NoIcon, titleOr(title), text, QMessageBox::Ok, parent);
        QPushButton* open = box.addButton(QStringLiteral("ﾌｫﾙﾀﾞを開く"), QMessageBox::ActionRole);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        box.exec();
        if (box.clickedButton() == open)
            openFolder(folder);
    }

    void openFolder(const QString& folder) override
    {
        OpenFolderWith(QStringLiteral("xdg-open"), folder, [folder] {
            desktop().showMessage(
                nullptr,
                QStringLiteral("ﾌｫﾙﾀﾞ %1 を開けませんでした。ﾌｧｲﾙﾏﾈｰｼﾞｬを起動して開いてください。").arg(folder),
                QString());
        });
    }

    QObject* ask(QWidget* parent, const QString& text, const QString& title,
                 std::function<void(bool)> answered) override
    {
        auto* box = new QMessageBox(QMessageBox::Question, titleOr(title), text, QMessageBox::NoButton, parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QPushButton* yes = box->addButton(QStringLiteral("はい"), QMessageBox::YesRole);
        QPushButton* no = box->addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
        box->setDefaultButton(yes);
        box->setEscapeButton(no);
        QObject::connect(box, &QMessageBox::finished, box,
                         [box, yes, answered = std::move(answered)] { answered(box->clickedButton() == yes); });
        box->open();
        return box;
    }

    bool askContinue(QWidget* parent, const QString& text, const QString& title) override
    {
        QMessageBox box(QMessageBox::Question, titleOr(title), text, QMessageBox::NoButton, parent);
        QPushButton* go = box.addButton(QStringLiteral("続ける"), QMessageBox::AcceptRole);
        QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
        box.setDefaultButton(cancel);
        box.setEscapeButton(cancel);
        box.exec();
        return box.clickedButton() == go;
    }

    std::optional<QString> askPassword(QWidget* parent, const QString& archiveName, bool again) override
    {
        return AskPassword(parent, archiveName, again);
    }

    Pack::Overwrite askOverwrite(QWidget* parent, const QString& destination, const Pack::ExistingFile& file) override
    {
        return AskOverwrite(parent, destination, file);
    }

    QString pickFile(QWidget* owner, const QStringList& filters, const QString& initialDirectory,
                     const QString& title) override
    {
        QFileDialog dialog(owner, title, initialDirectory, filters.join(QStringLiteral(";;")));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // Only its own window waits: the icon and the other windows go on working.
        dialog.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }

    QString pickFolder(QWidget* owner, const QString& title, const QString& initialDirectory) override
    {
        QFileDialog dialog(owner, title, initialDirectory);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }

    bool moveToTrash(const QString& path, const QString& originalPath) override
    {
        // Qt 6.4 puts the trash in the working directory when the data home is missing.
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
        QString inTrash;
        if (!QFile::moveToTrash(path, &inTrash))
            return false;
        if (originalPath != path)
            SetTrashOrigin(inTrash, originalPath);
        return true;
    }
};

Desktop* installed = nullptr;

}  // namespace

Desktop& desktop()
{
    static QtDesktop real;
    return installed ? *installed : real;
}

void setDesktop(Desktop* replacement)
{
    installed = replacement;
}

void OpenFolderWith(const QString& opener, const QString& folder, std::function<void()> failed)
{
    // Never parented or deleted while it runs: deleting a QProcess kills it, and an opener may
    // run the file manager itself until the user closes it.
    auto* process = new QProcess;
    auto done = std::make_shared<bool>(false);
    auto fail = [process, done, failed = std::move(failed)] {
        if (*done)
            return;
        *done = true;
        process->deleteLater();
        failed();
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [fail](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail();
    });
    QObject::connect(process, &QProcess::finished, process,
                     [process, done, fail](int code, QProcess::ExitStatus status) {
                         if (code != 0 || status != QProcess::NormalExit) {
                             fail();
                         } else if (!*done) {
                             *done = true;
                             process->deleteLater();
                         }
                     });
    // A file manager that runs for a while answered; its own exit status says nothing of us.
    QTimer::singleShot(5000, process, [done] { *done = true; });
    process->start(opener, {folder});
}

bool SetTrashOrigin(const QString& pathInTrash, const QString& originalPath)
{
    // The trash keeps files/NAME and info/NAME.trashinfo side by side.
    const QFileInfo file(pathInTrash);
    const QString infoPath = file.absoluteDir().absoluteFilePath(QStringLiteral("../info/") + file.fileName() +
                                                                 QStringLiteral(".trashinfo"));
    QFile in(infoPath);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QList<QByteArray> lines = in.readAll().split('\n');
    in.close();
    const QByteArray path = "Path=" + QUrl::toPercentEncoding(QFileInfo(originalPath).absoluteFilePath(), "/");
    for (QByteArray& line : lines) {
        if (line.startsWith("Path="))
            line = path;
    }
    QSaveFile out(QDir::cleanPath(infoPath));
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(lines.join('\n'));
    return out.commit();
}
