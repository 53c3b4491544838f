// A desktop that records what the program asked of it and answers from a script.
#pragma once

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

#include "services/Desktop.h"

class FakeDesktop final : public Desktop {
public:
    struct Message {
        QString text;
        QString title;
        QString detail;
    };
    struct FileRequest {
        QStringList filters;
        QString initialDirectory, title;
    };

    int beeps = 0;
    QStringList soundsPlayed;
    QList<Message> messages;
    QList<FileRequest> fileRequests;
    QStringList folderRequests;
    QStringList folderStarts;  // where each pickFolder opened
    QStringList trashed;
    QStringList trashedFrom;      // the original path each trash entry names
    QStringList finishedFolders;  // the folder each finished message offered to open
    bool openTheFolder = false;   // whether ﾌｫﾙﾀﾞを開く is pressed on those messages
    QStringList openedFolders;

    QString nextFile;    // answer of the next pickFile ("" = cancelled)
    QString nextFolder;  // answer of the next pickFolder

    QStringList questions;                 // ask texts
    std::optional<bool> answerYes = true;  // answered at once; nullopt: the question waits for answer()
    int withdrawn = 0;                     // questions taken away unanswered
    QStringList continueQuestions;         // askContinue texts
    bool continueAnswer = true;
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
    void openFolder(const QString& folder) override { openedFolders << folder; }
    QObject* ask(QWidget*, const QString& text, const QString&, std::function<void(bool)> answered) override
    {
        questions << text;
        if (answerYes) {
            answered(*answerYes);
            return nullptr;
        }
        auto* handle = new QObject;
        auto done = std::make_shared<bool>(false);
        QObject::connect(handle, &QObject::destroyed, [this, done] { withdrawn += *done ? 0 : 1; });
        waiting_.append({handle, std::move(answered), done});
        return handle;
    }
    // Answers the oldest question still up; false when none is.
    bool answer(bool yes)
    {
        while (!waiting_.isEmpty()) {
            Waiting question = waiting_.takeFirst();
            if (!question.handle)
                continue;
            *question.done = true;
            question.answered(yes);
            delete question.handle.data();
            return true;
        }
        return false;
    }
    bool questionUp() const
    {
        for (const Waiting& question : waiting_) {
            if (question.handle)
                return true;
        }
        return false;
    }
    bool askContinue(QWidget*, const QString& text, const QString&) override
    {
        continueQuestions << text;
        return continueAnswer;
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
    QString pickFile(QWidget*, const QStringList& filters, const QString& initialDirectory,
                     const QString& title) override
    {
        fileRequests.append({filters, initialDirectory, title});
        return nextFile;
    }
    QString pickFolder(QWidget*, const QString& title, const QString& initialDirectory) override
    {
        folderRequests << title;
        folderStarts << initialDirectory;
        return nextFolder;
    }
    bool moveToTrash(const QString& path, const QString& originalPath) override
    {
        trashed << path;
        trashedFrom << originalPath;
        return QFile::remove(path);
    }

private:
    struct Waiting {
        QPointer<QObject> handle;
        std::function<void(bool)> answered;
        std::shared_ptr<bool> done;
    };
    QList<Waiting> waiting_;
};

// Installs a fake desktop for the lifetime of the scope.
class ScopedFakeDesktop {
public:
    ScopedFakeDesktop() { setDesktop(&fake); }
    ~ScopedFakeDesktop() { setDesktop(nullptr); }
    FakeDesktop fake;
};
