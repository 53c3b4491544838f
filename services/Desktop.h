// The seam for what a test must not really do: sounds, modal boxes, choosers and the trash.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "services/Pack.h"

class QObject;
class QWidget;

class Desktop {
public:
    virtual ~Desktop() = default;

    virtual void beep() = 0;
    // Starts playing and returns at once; a missing file or audio device is silent.
    virtual void playSound(const QString& path) = 0;
    // Plays as playSound does and calls `done` once the sound is over (at once when nothing
    // plays): for a program that ends right after it.
    virtual void playSoundThen(const QString& path, std::function<void()> done)
    {
        playSound(path);
        done();
    }
    // A box with the text, the title (the application's name when empty), one OK button, no
    // icon; `detail`, when given, under the box's "詳細" part. Esc closes it.
    virtual void showMessage(QWidget* parent, const QString& text, const QString& title,
                             const QString& detail = {}) = 0;
    // The message of a finished job, with a second button "ﾌｫﾙﾀﾞを開く" that opens `folder`
    // through openFolder. Esc closes it as OK does.
    virtual void showFinished(QWidget* parent, const QString& text, const QString& title, const QString& folder) = 0;
    // Opens `folder` in the user's file manager; when nothing could, says so in a message.
    virtual void openFolder(const QString& folder) = 0;
    // Asks with はい / いいえ and returns at once; `answered` later gets true for はい (Esc is
    // いいえ). Deleting the returned object withdraws the question unanswered; it is null when
    // the answer came at once.
    virtual QObject* ask(QWidget* parent, const QString& text, const QString& title,
                         std::function<void(bool yes)> answered) = 0;
    // A question with 続ける / キャンセル, waited for; true for 続ける (Esc is キャンセル).
    virtual bool askContinue(QWidget* parent, const QString& text, const QString& title) = 0;
    // One existing file; empty when cancelled. `filters` in Qt's form ("WAVﾌｧｲﾙ (*.wav)"), the
    // first one selected. The chooser is modal to `owner` only.
    virtual QString pickFile(QWidget* owner, const QStringList& filters, const QString& initialDirectory,
                             const QString& title) = 0;
    // One existing directory; empty when cancelled. The chooser is modal to `owner` only.
    virtual QString pickFolder(QWidget* owner, const QString& title, const QString& initialDirectory) = 0;
    // Moves `path` to the trash; its entry names `originalPath`, where a restore puts it back.
    virtual bool moveToTrash(const QString& path, const QString& originalPath) = 0;

    // The password for an encrypted archive; nullopt when the user gives up. `again` after a
    // wrong one.
    virtual std::optional<QString> askPassword(QWidget* parent, const QString& archiveName, bool again) = 0;
    // Whether an extracted file replaces the one already there.
    virtual Pack::Overwrite askOverwrite(QWidget* parent, const QString& destination,
                                         const Pack::ExistingFile& file) = 0;
};

// The desktop in use: the real one unless a test installed another.
Desktop& desktop();
// Installs `replacement` (not owned); nullptr goes back to the real desktop.
void setDesktop(Desktop* replacement);

// Opens `folder` with `opener` (xdg-open) and calls `failed` when the opener cannot start or
// reports that nothing opened it. Returns at once; an opener that keeps running is taken as
// having opened the folder.
void OpenFolderWith(const QString& opener, const QString& folder, std::function<void()> failed);

// Rewrites the trash entry of the file now at `pathInTrash` so that it names `originalPath`.
bool SetTrashOrigin(const QString& pathInTrash, const QString& originalPath);
