// A desktop that records what the program asked of it and answers from a script.
#pragma once

#include <QFile>
#include <QStringList>

#include "services/Desktop.h"

class FakeDesktop final : public Desktop {
public:
    struct Message {
        QString text;
        QString title;
    };
    struct FileRequest {
        QString description, patterns, initialDirectory, title;
    };

    int beeps = 0;
    QStringList soundsPlayed;
    QList<Message> messages;
    QList<FileRequest> fileRequests;
    QStringList folderRequests;
    QStringList trashed;

    QString nextFile;    // answer of the next pickFile ("" = cancelled)
    QString nextFolder;  // answer of the next pickFolder

    void beep() override { ++beeps; }
    void playSound(const QString& path) override { soundsPlayed << path; }
    void showMessage(QWidget*, const QString& text, const QString& title) override { messages.append({text, title}); }
    QString pickFile(QWidget*, const QString& description, const QString& patterns, const QString& initialDirectory,
                     const QString& title) override
    {
        fileRequests.append({description, patterns, initialDirectory, title});
        return nextFile;
    }
    QString pickFolder(const QString& title) override
    {
        folderRequests << title;
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
