// A desktop that records what the program asked of it and answers from a script.
#pragma once

#include <QFile>
#include <QStringList>
#include <functional>

#include "services/Desktop.h"

class FakeDesktop final : public Desktop {
public:
    struct Message {
        QString text;
        QString title;
        QString detail;
    };
    struct FileRequest {
        QString description, patterns, initialDirectory, title;
    };

    int beeps = 0;
    QStringList soundsPlayed;
    QList<Message> messages;
    QList<FileRequest> fileRequests;
    QStringList folderRequests;
    QStringList folderStarts;  // where each pickFolder opened
    QStringList trashed;
    QStringList finishedFolders;  // the folder each finished message offered to open
    bool openTheFolder = false;   // whether ﾌｫﾙﾀﾞを開く is pressed on those messages
    QStringList openedFolders;

    QString nextFile;    // answer of the next pickFile ("" = cancelled)
    QString nextFolder;  // answer of the next pickFolder

    QStringList questions;  // askYesNo texts
    bool answerYes = true;
    QList<bool> passwordPrompts;  // askPassword calls: whether each was a retry
    QStringList passwordArchives;
    QList<std::optional<QString>> passwords;  // answers, in order; none left: give up
    QList<Pack::ExistingFile> overwritePrompts;
    QList<Pack::Overwrite> overwriteAnswers;  // answers, in order; none left: Cancel
    std::function<void()> onQuestion;         // runs inside each password or overwrite question

    void beep() override { ++beeps; }
    void playSound(const QString& path) override { soundsPlayed << path; }
    void showMessage(QWidget*, const QString& text, const QString& title, const QString& detail) override
    {
        messages.append({text, title, detail});
    }
    void showFinished(QWidget* parent, const QString& text, const QString& title, const QString& folder) override
    {
        showMessage(parent, text, title, {});
        finishedFolders << folder;
        if (openTheFolder)
            openFolder(folder);
    }
    bool openFolder(const QString& folder) override
    {
        openedFolders << folder;
        return true;
    }
    bool askYesNo(QWidget*, const QString& text, const QString&) override
    {
        questions << text;
        return answerYes;
    }
    std::optional<QString> askPassword(QWidget*, const QString& archiveName, bool again) override
    {
        passwordPrompts << again;
        passwordArchives << archiveName;
        if (onQuestion)
            onQuestion();
        return passwords.isEmpty() ? std::nullopt : passwords.takeFirst();
    }
    Pack::Overwrite askOverwrite(QWidget*, const QString&, const Pack::ExistingFile& file) override
    {
        overwritePrompts << file;
        if (onQuestion)
            onQuestion();
        return overwriteAnswers.isEmpty() ? Pack::Overwrite::Cancel : overwriteAnswers.takeFirst();
    }
    QString pickFile(QWidget*, const QString& description, const QString& patterns, const QString& initialDirectory,
                     const QString& title) override
    {
        fileRequests.append({description, patterns, initialDirectory, title});
        return nextFile;
    }
    QString pickFolder(const QString& title, const QString& initialDirectory) override
    {
        folderRequests << title;
        folderStarts << initialDirectory;
        return nextFolder;
    }
    bool moveToTrash(const QString& path) override
    {
        trashed << path;
        return QFile::remove(path);
    }
};

// Installs a fake desktop for the lifetime of the scope.
class ScopedFakeDesktop {
public:
    ScopedFakeDesktop() { setDesktop(&fake); }
    ~ScopedFakeDesktop() { setDesktop(nullptr); }
    FakeDesktop fake;
};
