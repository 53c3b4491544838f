// The seam for what a test must not really do: sounds, modal boxes, choosers and the trash.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

#include "services/Pack.h"

class QWidget;

class Desktop {
public:
    virtual ~Desktop() = default;

    virtual void beep() = 0;
    // Starts playing and returns at once; a missing file or audio device is silent.
    virtual void playSound(const QString& path) = 0;
    // A box with the text, the title (the application's name when empty), one OK button, no
    // icon; `detail`, when given, under the box's "詳細" part.
    virtual void showMessage(QWidget* parent, const QString& text, const QString& title,
                             const QString& detail = {}) = 0;
    // The message of a finished job, with a second button "ﾌｫﾙﾀﾞを開く" that opens `folder`
    // through openFolder.
    virtual void showFinished(QWidget* parent, const QString& text, const QString& title, const QString& folder) = 0;
    // Opens `folder` in the user's file manager; false when nothing could.
    virtual bool openFolder(const QString& folder) = 0;
    // A question with はい / いいえ; true for はい.
    virtual bool askYesNo(QWidget* parent, const QString& text, const QString& title) = 0;
    // One existing file; empty when cancelled. `patterns` is a ";"-separated list ("*.lzh;*.zip").
    virtual QString pickFile(QWidget* owner, const QString& filterDescription, const QString& patterns,
                             const QString& initialDirectory, const QString& title) = 0;
    // One existing directory; empty when cancelled.
    virtual QString pickFolder(const QString& title, const QString& initialDirectory) = 0;
    virtual bool moveToTrash(const QString& path) = 0;

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
