// The real desktop: Qt's dialogs, message boxes, beep, sound effect and freedesktop trash.
#include <QApplication>
#include <QAudioDevice>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMediaDevices>
#include <QMessageBox>
#include <QPushButton>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QUrl>

#include "services/Desktop.h"
#include "services/QuestionDialogs.h"

namespace {

class QtDesktop final : public Desktop {
public:
    void beep() override { QApplication::beep(); }

    void playSound(const QString& path) override
    {
        // With no audio device QSoundEffect claims to play forever; never start it then.
        if (path.isEmpty() || !QFile::exists(path) || QMediaDevices::audioOutputs().isEmpty())
            return;
        auto* effect = new QSoundEffect(qApp);
        QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
            if (!effect->isPlaying())
                effect->deleteLater();
        });
        effect->setSource(QUrl::fromLocalFile(path));
        effect->play();
    }

    void showMessage(QWidget* parent, const QString& text, const QString& title, const QString& detail) override
    {
        QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? QApplication::applicationName() : title, text,
                        QMessageBox::Ok, parent);
        if (!detail.isEmpty())
            box.setDetailedText(detail);
        box.exec();
    }

    void showFinished(QWidget* parent, const QString& text, const QString& title, const QString& folder) override
    {
        QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? QApplication::applicationName() : title, text,
                        QMessageBox::Ok, parent);
        QPushButton* open = box.addButton(QStringLiteral("ﾌｫﾙﾀﾞを開く"), QMessageBox::ActionRole);
        box.setDefaultButton(QMessageBox::Ok);
        box.exec();
        if (box.clickedButton() == open)
            openFolder(folder);
    }

    bool openFolder(const QString& folder) override { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); }

    bool askYesNo(QWidget* parent, const QString& text, const QString& title) override
    {
        QMessageBox box(QMessageBox::Question, title.isEmpty() ? QApplication::applicationName() : title, text,
                        QMessageBox::NoButton, parent);
        QPushButton* yes = box.addButton(QStringLiteral("はい"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("いいえ"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.exec();
        return box.clickedButton() == yes;
    }

    std::optional<QString> askPassword(QWidget* parent, const QString& archiveName, bool again) override
    {
        return AskPassword(parent, archiveName, again);
    }

    Pack::Overwrite askOverwrite(QWidget* parent, const QString& destination, const Pack::ExistingFile& file) override
    {
        return AskOverwrite(parent, destination, file);
    }

    QString pickFile(QWidget* owner, const QString& filterDescription, const QString& patterns,
                     const QString& initialDirectory, const QString& title) override
    {
        const QString filter = filterDescription + QStringLiteral(" (") +
                               patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' ')) +
                               QLatin1Char(')');
        QFileDialog dialog(owner, title, initialDirectory, filter);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }

    QString pickFolder(const QString& title, const QString& initialDirectory) override
    {
        return QFileDialog::getExistingDirectory(nullptr, title, initialDirectory, QFileDialog::ShowDirsOnly);
    }

    bool moveToTrash(const QString& path) override
    {
        // Qt 6.4 puts the trash in the working directory when the data home is missing.
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
        return QFile::moveToTrash(path);
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
